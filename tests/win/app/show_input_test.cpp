// "Show Clicks and Keys" end to end: the main window records with the real encoder while the X
// server's own pointer and keyboard (xdotool) click and press a shortcut in the recorded area;
// the frames the encoder wrote, decoded by the encoder, show the ring and the caption or not.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/module_path.h"
#include "record/command_line.h"
#include "record/encoder_output.h"
#include "record/input_overlay.h"
#include "select/frm_area.h"
#include "support/files.h"
#include "support/main_form.h"
#include "support/wait.h"

namespace tovasen {
namespace {

constexpr wchar_t kTargetTitle[] = L"ShowInputTarget";

std::string UnixPath(const std::wstring& file) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* path = toUnix ? toUnix(file.c_str()) : nullptr;
    if (!path) return {};
    std::string out(path);
    HeapFree(GetProcessHeap(), 0, path);
    return out;
}

// Runs a shell command on the X side and waits for its end, handling this thread's messages
// (the hooks under test run on it). Wine gives a Linux program no process handle: its end is a
// file it writes last.
bool RunOnX(const std::string& command, const std::wstring& folder) {
    const std::wstring done = folder + L"x-done";
    DeleteFileW(done.c_str());
    std::string line = "/bin/sh -c \"" + command + "; touch '" + UnixPath(done) + "'\"";
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\bin\\sh", wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return false;
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    return test::WaitUntil([&] { return test::FileExists(done); }, 20000);
}

// What the frames of a video show: the most amber pixels near a point in one frame, and the most
// dark pixels (the caption's box) in the bottom fifth of one frame, with where that box's centre is.
struct Seen {
    int frames = 0;
    int amberNear = 0, amberAnywhere = 0;
    int darkLow = 0;
    double darkCentreX = 0;
};

Seen LookAtFrames(const std::wstring& video, int width, int height, POINT click) {
    const std::wstring raw = video + L".rgb";
    test::RunEncoder(L"-v error -i " + QuoteArgument(video) + L" -f rawvideo -pix_fmt rgb24 -y " + QuoteArgument(raw));
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(raw);
    DeleteFileW(raw.c_str());
    Seen seen;
    const std::size_t frameSize = static_cast<std::size_t>(width) * height * 3;
    for (std::size_t at = 0; frameSize && at + frameSize <= bytes.size(); at += frameSize) {
        ++seen.frames;
        int close = 0, anywhere = 0, dark = 0;
        long long darkX = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = &bytes[at + (static_cast<std::size_t>(y) * width + x) * 3];
                const int r = p[0], g = p[1], b = p[2];
                // #FFC800 after the encoder's colour subsampling.
                if (r >= 170 && g >= 110 && g <= 235 && b <= 110 && r - b >= 120) {
                    ++anywhere;
                    const int dx = x - click.x, dy = y - click.y;
                    if (dx * dx + dy * dy <= 40 * 40) ++close;
                }
                if (y >= height * 4 / 5 && r <= 64 && g <= 64 && b <= 64) {
                    ++dark;
                    darkX += x;
                }
            }
        }
        seen.amberNear = std::max(seen.amberNear, close);
        seen.amberAnywhere = std::max(seen.amberAnywhere, anywhere);
        if (dark > seen.darkLow) {
            seen.darkLow = dark;
            seen.darkCentreX = static_cast<double>(darkX) / dark;
        }
    }
    return seen;
}

// A white window over the recorded area with a plain and a password field, of this thread.
class Target {
public:
    explicit Target(const RECT& area) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"ShowInputTargetClass";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, kTargetTitle, WS_POPUP | WS_VISIBLE, area.left, area.top,
                                 area.right - area.left, area.bottom - area.top, nullptr, nullptr, wc.hInstance, nullptr);
        plain = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 20, 200, 28, window, nullptr,
                                nullptr, nullptr);
        password = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_PASSWORD, 20, 70, 200, 28,
                                   window, nullptr, nullptr, nullptr);
    }
    ~Target() { DestroyWindow(window); }
    std::wstring Text(HWND edit) const {
        wchar_t text[64] = {};
        GetWindowTextW(edit, text, 64);
        return text;
    }

    HWND window, plain, password;
};

class ShowInput : public test::MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        // The program looks for the encoder beside itself: here, beside the test.
        ASSERT_TRUE(CopyFileW(test::EncoderPath().c_str(), encoder.c_str(), FALSE));
        TConfig config;
        config.WriteString(L"path", folder.Path());
        config.WriteInteger(L"append", 1);
        config.WriteInteger(L"saveto", 5);
        config.WriteBoolean(L"mouse_rec", false);
        config.WriteInteger(L"left", 100);
        config.WriteInteger(L"top", 100);
        config.WriteInteger(L"width", 400);
        config.WriteInteger(L"height", 300);
    }
    void TearDown() override {
        MainFormTest::TearDown();
        DeleteFileW(encoder.c_str());
    }

    const std::wstring encoder = ExeFolder() + L"ffmpeg.exe";
    test::TempFolder folder;
};

TEST_F(ShowInput, ClicksAndShortcutsAreRecordedOnlyWhenAskedAndNeverFromAPasswordField) {
    const struct {
        const char* name;
        bool on;
        TCaptureMode mode;
        bool intoPassword;  // the password field has the focus and takes the click and keys
        bool shown;
    } rows[] = {
        {"region, on", true, TCaptureMode::Region, false, true},
        {"region, off", false, TCaptureMode::Region, false, false},
        {"region, a password field focused", true, TCaptureMode::Region, true, false},
        {"full screen, on", true, TCaptureMode::FullScreen, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TConfig config;
        config.WriteBoolean(L"show_input", row.on);
        config.WriteInteger(L"area", StoredIndex(row.mode));
        CreateForm();
        const bool region = row.mode == TCaptureMode::Region;
        const RECT area = region ? form->Selection().FrmArea->GetRect()
                                 : RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        Target target(area);
        form->Start();
        ASSERT_TRUE(form->IsRecording());
        if (region) {
            // Off screen the mirror records black here: put it beside the region.
            SetWindowPos(form->Controller().Recorder()->MirrorWindow(), nullptr, area.right + 40, area.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        ASSERT_TRUE(test::WaitUntil([&] { return form->Controller().Recorder()->Encoding(); }, 20000));
        ASSERT_EQ(row.on, form->Controller().InputOverlay() != nullptr);

        ASSERT_TRUE(RunOnX("xdotool search --onlyvisible --name '^ShowInputTarget$' windowfocus --sync", folder.Path()));
        SetFocus(row.intoPassword ? target.password : target.window);
        const HWND edit = row.intoPassword ? target.password : target.plain;
        RECT box;
        GetWindowRect(edit, &box);
        const POINT click{box.left + 30, box.top + 14};
        ASSERT_TRUE(RunOnX("xdotool mousemove " + std::to_string(click.x) + " " + std::to_string(click.y) +
                               " click 1 sleep 0.3 key ctrl+s sleep 0.2 type abc",
                           folder.Path()));
        test::WaitUntil([] { return false; }, 700);  // frames of what shows now
        // The click went through to the field and the keys after it, wherever the marks showed.
        EXPECT_EQ(edit, GetFocus());
        EXPECT_EQ(L"abc", target.Text(edit));
        if (TInputOverlay* overlay = form->Controller().InputOverlay()) {
            EXPECT_EQ(row.shown, overlay->FramesDrawn() > 0);
            // The guard ran: the press and every key were seen and held back.
            if (row.intoPassword) EXPECT_GE(overlay->HeldBack(), 5);
            else EXPECT_EQ(0, overlay->HeldBack());
        }

        form->Start();
        ASSERT_TRUE(test::WaitUntil([&] { return !form->IsRecording(); }, 20000));
        EXPECT_EQ(nullptr, FindWindowW(L"TInputOverlay", nullptr)) << "the overlay outlived its recording";
        std::wstring video;
        for (const std::wstring& name : folder.Files()) {
            if (name.size() > 4 && name.substr(name.size() - 4) == L".mp4") video = folder.Path() + name;
        }
        ASSERT_FALSE(video.empty()) << "no recording";
        const int width = (area.right - area.left) / 2 * 2, height = (area.bottom - area.top) / 2 * 2;
        const Seen seen = LookAtFrames(video, width, height, POINT{click.x - area.left, click.y - area.top});
        EXPECT_GT(seen.frames, 10);
        if (row.shown) {
            EXPECT_GE(seen.amberNear, 20) << "no amber ring within 40 px of the click";
            EXPECT_GE(seen.darkLow, 300) << "no caption box in the bottom fifth";
            EXPECT_NEAR(width / 2.0, seen.darkCentreX, width * 0.1) << "the caption is not centred";
        } else {
            EXPECT_LT(seen.amberAnywhere, 5);
            EXPECT_LT(seen.darkLow, 50);
        }
        std::printf("%s: %d frames, amber near the click %d (anywhere %d), dark in the bottom fifth %d at x %.0f\n",
                    row.name, seen.frames, seen.amberNear, seen.amberAnywhere, seen.darkLow, seen.darkCentreX);
        DeleteFileW(video.c_str());
        form = nullptr;
        app.reset();
    }
}

}  // namespace
}  // namespace tovasen

