// The capture path under Wine, measured: for each save target, the median time of one capture
// asked for through WM_COPYDATA (as tovasen-cmd asks), next to the bare steps of the same
// path done here on the same screen in the same run: the screen copy into a DIB section, the
// encoding of those pixels, and the file write. Prints a table; asserts nothing.
//   capture_path_bench.exe [RUNS]     (run it through bench/capture_path.sh)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/copydata_command.h"
#include "base/config.h"
#include "base/module_path.h"
#include "capture/capture.h"
#include "image/bitmap_pixels.h"
#include "encode/bmp_encoder.h"
#include "output/clipboard.h"
#include "output/file_replace.h"
#include "encode/gif_encoder.h"
#include "output/image_writers.h"
#include "encode/jpeg_encoder.h"
#include "encode/png_encoder.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class F>
double TimeMs(F&& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::wstring TempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"tovasen-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + data.cFileName).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// A running Tovasen.exe with one save target, asked for captures as tovasen-cmd asks.
class Instance {
public:
    Instance(int saveTo, const std::wstring& folder) {
        TConfig config;
        config.WriteString(L"path", folder);
        config.WriteInteger(L"area", 0);
        config.WriteInteger(L"saveto", saveTo);
        config.WriteInteger(L"append", 3);
        config.WriteInteger(L"sound", 1);
        config.WriteBoolean(L"mouse", false);
        config.WriteBoolean(L"autocopy", false);
        const std::wstring exe = ExeFolder() + L"..\\bin\\Tovasen.exe";
        std::wstring line = L"\"" + exe + L"\" /start";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
            return;
        }
        for (int i = 0; i < 300 && !window_; ++i, Sleep(50)) window_ = FindWindowW(L"TFrmTovasen", nullptr);
        Sleep(500);  // let it finish its start-up
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
            if (msg == WM_COPYDATA) {
                auto* self = reinterpret_cast<Instance*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
                const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
                self->reply_ = ParseRemoteReply(CopyDataText(data->lpData, data->cbData));
                return 1;
            }
            return DefWindowProcW(hwnd, msg, wp, lp);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CapturePathBenchReply";
        RegisterClassW(&wc);
        replyWindow_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(replyWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Instance() {
        if (replyWindow_) DestroyWindow(replyWindow_);
        if (window_) PostMessageW(window_, WM_USER, 2, 0);
        if (info_.hProcess) {
            if (WaitForSingleObject(info_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 1);
            CloseHandle(info_.hThread);
            CloseHandle(info_.hProcess);
        }
    }
    bool Ready() const { return window_ && replyWindow_; }
    // One capture, from the send until its reply; false when it failed.
    bool Capture() {
        reply_.reset();
        const std::wstring json = RemoteCommandJson(L"capture", reinterpret_cast<std::uintptr_t>(replyWindow_));
        COPYDATASTRUCT data{kCommandData, static_cast<DWORD>((json.size() + 1) * 2), const_cast<wchar_t*>(json.c_str())};
        DWORD_PTR taken = 0;
        SendMessageTimeoutW(window_, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow_), reinterpret_cast<LPARAM>(&data),
                            0, 60000, &taken);
        if (reply_ && !reply_->ok) std::printf("  error: %ls\n", reply_->text.c_str());
        return taken == 1 && reply_ && reply_->ok;
    }

private:
    PROCESS_INFORMATION info_{};
    HWND window_ = nullptr;
    HWND replyWindow_ = nullptr;
    std::optional<RemoteReply> reply_;
};

struct Target {
    const char* name;
    int saveTo;
    std::function<std::vector<std::uint8_t>(const PixelView&)> encode;  // null: no file
    std::function<void(TBitmap&, const std::wstring&)> whole;           // encode and write in one
};

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    using namespace tovasen;
    const int runs = argc > 1 ? std::max(3, _wtoi(argv[1])) : 9;
    const std::wstring folder = TempFolder();
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    std::printf("capture path at %dx%d, median of %d runs, milliseconds\n", width, height, runs);
    std::printf("%-10s %9s %9s %9s %9s %11s %7s\n", "target", "capture", "grab", "encode", "write", "grab+enc", "ratio");

    const Target targets[] = {
        {"PNG", 0, [](const PixelView& v) { return EncodePng(v); }, nullptr},
        {"JPG", 1, [](const PixelView& v) { return EncodeJpeg(v, 90); }, nullptr},
        {"GIF", 2, [](const PixelView& v) { return EncodeGif(v); }, nullptr},
        {"BMP", 3, [](const PixelView& v) { return EncodeBmp(v); }, nullptr},
        {"WebP", 4, nullptr, [](TBitmap& b, const std::wstring& f) { SaveWebP(b, f, 90); }},
        {"clipboard", 7, nullptr, [](TBitmap& b, const std::wstring&) { CopyBitmapToClipboard(b); }},
    };
    TCapture grabber;
    grabber.ShowCursor = false;
    for (const Target& target : targets) {
        std::vector<double> capture, grab, encode, write;
        {
            Instance instance(target.saveTo, folder);
            if (!instance.Ready()) {
                std::printf("%-10s Tovasen did not start\n", target.name);
                continue;
            }
            instance.Capture();  // warm-up
            for (int i = 0; i < runs; ++i) {
                bool ok = true;
                capture.push_back(TimeMs([&] { ok = instance.Capture(); }));
                if (!ok) std::printf("%-10s capture %d failed\n", target.name, i);
                EmptyFolder(folder);
            }
        }
        for (int i = 0; i < runs; ++i) {
            TBitmap bitmap;
            RECT rect{};
            grab.push_back(TimeMs([&] { grabber.Capture(bitmap, nullptr, rect); }));
            const std::wstring file = folder + L"bare." + std::to_wstring(i);
            if (target.encode) {
                std::vector<std::uint8_t> bytes;
                encode.push_back(TimeMs([&] { bytes = target.encode(BitmapPixels(bitmap).View()); }));
                write.push_back(TimeMs([&] { ReplaceFileWith(file, bytes); }));
            } else {
                try {
                    encode.push_back(TimeMs([&] { target.whole(bitmap, file); }));
                } catch (...) {
                    std::printf("%-10s the bare step failed (libwebp.dll beside the benchmark?)\n", target.name);
                }
            }
            EmptyFolder(folder);
        }
        const double floor = Median(grab) + Median(encode);
        std::printf("%-10s %9.1f %9.1f %9.1f %9s %11.1f %7.2f\n", target.name, Median(capture), Median(grab),
                    Median(encode), write.empty() ? "-" : std::to_string(Median(write)).substr(0, 6).c_str(), floor,
                    floor > 0 ? Median(capture) / floor : 0.0);
    }
    std::printf("capture: send to reply through WM_COPYDATA (grab, encode, name, write, reply); "
                "WebP and clipboard: encode holds encode and write/copy.\n");
    EmptyFolder(folder);
    RemoveDirectoryW(folder.c_str());
    return 0;
}
