// tovasen-cmd as scripts use it: the capture's file path comes back through a WM_COPYDATA
// reply; errors, refusals, a hung or vanishing instance each end in their own exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "app/copydata_command.h"
#include "base/config.h"
#include "base/errors.h"
#include "base/utf_convert.h"
#include "support/files.h"
#include "support/program.h"
#include "support/wait.h"

namespace tovasen {
namespace {

struct CmdResult {
    DWORD exitCode = 0;
    std::wstring out, err;
    double ms = 0;
};

// Runs tovasen-cmd with its standard output and error going to files, and reads them back.
CmdResult RunCmd(const std::wstring& args, const test::TempFolder& scratch, DWORD timeoutMs = 30000) {
    static int run = 0;
    const std::wstring outPath = scratch.Path() + L"out" + std::to_wstring(run) + L".txt";
    const std::wstring errPath = scratch.Path() + L"err" + std::to_wstring(run++) + L".txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    const std::wstring exe = test::DistFolder() + L"tovasen-cmd.exe";
    std::wstring line = L"\"" + exe + L"\" " + args;
    PROCESS_INFORMATION info{};
    CmdResult result;
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "CreateProcessW failed";
        return result;
    }
    CloseHandle(out);
    CloseHandle(err);
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "tovasen-cmd did not finish";
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    result.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    GetExitCodeProcess(info.hProcess, &result.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    auto text = [](const std::wstring& path) {
        const auto bytes = test::ReadFileBytes(path);
        std::wstring wide = Utf8ToWide(std::string(bytes.begin(), bytes.end()));
        while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
        return wide;
    };
    result.out = text(outPath);
    result.err = text(errPath);
    return result;
}

std::string Narrow(const std::wstring& w) { return WideToUtf8(w); }

class RemoteCapture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(nullptr, FindWindowW(L"TFrmTovasen", nullptr)) << "an instance is still running";
        Settings(0, 0, 1);
        TConfig config;
        config.WriteString(L"path", folder.Path());
        config.WriteString(L"language", L"ko");
        config.WriteInteger(L"sound", 1);
        config.WriteBoolean(L"mouse", false);
        config.WriteBoolean(L"autocopy", false);
    }
    static void Settings(int area, int saveto, int append) {
        TConfig config;
        config.WriteInteger(L"area", area);
        config.WriteInteger(L"saveto", saveto);
        config.WriteInteger(L"append", append);
    }
    test::TempFolder folder;
    test::TempFolder scratch;
};

TEST_F(RemoteCapture, PrintsThePathOfTheFileItWrote) {
    auto program = test::StartTovasen(L"/start", false);
    const CmdResult first = RunCmd(L"capture", scratch);
    EXPECT_EQ(0u, first.exitCode) << Narrow(first.err);
    EXPECT_EQ(folder.Path() + L"T-001.png", first.out);
    EXPECT_TRUE(test::FileExists(first.out));
    const CmdResult second = RunCmd(L"capture", scratch);
    EXPECT_EQ(folder.Path() + L"T-002.png", second.out);

    const CmdResult help = RunCmd(L"--help", scratch);
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_NE(std::wstring::npos, help.out.find(L"Exit codes")) << Narrow(help.out);
    EXPECT_EQ(64u, RunCmd(L"capture about", scratch).exitCode);
    EXPECT_EQ(64u, RunCmd(L"--timeout 0 capture", scratch).exitCode);
}

TEST_F(RemoteCapture, AFailurePrintsTheErrorAndExitsOne) {
    TConfig().WriteString(L"path", folder.Path() + L"gone");
    auto program = test::StartTovasen(L"/start", false);
    std::thread user([&] {
        HWND box = test::WaitForMessageBox(*program);
        if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    const CmdResult result = RunCmd(L"capture", scratch);
    user.join();
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_EQ(0u, result.err.find(L"캡쳐가 실패하였습니다.")) << Narrow(result.err);
    EXPECT_NE(std::wstring::npos, result.err.find(SystemErrorText(ERROR_PATH_NOT_FOUND))) << Narrow(result.err);
    EXPECT_TRUE(result.out.empty());
}

TEST_F(RemoteCapture, TargetsWithoutAFileAnswerWithAnEmptyPath) {
    Settings(0, 7, 1);  // clipboard
    auto program = test::StartTovasen(L"/start", false);
    const CmdResult result = RunCmd(L"capture", scratch);
    EXPECT_EQ(0u, result.exitCode) << Narrow(result.err);
    EXPECT_TRUE(result.out.empty()) << Narrow(result.out);
    EXPECT_TRUE(folder.Files().empty());
}

// Back to back, in every naming scheme: each capture its own file, none overwritten.
TEST_F(RemoteCapture, TwentyCapturesGiveTwentyDistinctFiles) {
    for (const int scheme : {1, 2, 3}) {
        Settings(0, 3, scheme);  // BMP: the naming is the point here, not the encoder
        test::TempFolder out;
        TConfig().WriteString(L"path", out.Path());
        auto program = test::StartTovasen(L"/start", false);
        HWND main = test::MainWindowOf(*program);
        std::set<std::wstring> paths;
        // A few from separate tovasen-cmd runs, the rest as a burst of sends from this process.
        for (int i = 0; i < 4; ++i) {
            const CmdResult r = RunCmd(L"capture", scratch);
            EXPECT_EQ(0u, r.exitCode) << "scheme " << scheme << ", run " << i << ": " << Narrow(r.err);
            paths.insert(r.out);
        }
        struct Box {
            std::vector<RemoteReply> replies;
        } box;
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
            if (msg == WM_COPYDATA) {
                const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
                auto* b = reinterpret_cast<Box*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
                if (auto reply = ParseRemoteReply(CopyDataText(data->lpData, data->cbData))) b->replies.push_back(*reply);
                return 1;
            }
            return DefWindowProcW(hwnd, msg, wp, lp);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"RemoteCaptureReply";
        RegisterClassW(&wc);
        HWND reply = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(reply, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
        const std::wstring json = RemoteCommandJson(L"capture", reinterpret_cast<std::uintptr_t>(reply));
        for (int i = 0; i < 16; ++i) {
            COPYDATASTRUCT data{kCommandData, static_cast<DWORD>((json.size() + 1) * 2), const_cast<wchar_t*>(json.c_str())};
            EXPECT_EQ(1, SendMessageW(main, WM_COPYDATA, reinterpret_cast<WPARAM>(reply), reinterpret_cast<LPARAM>(&data)));
        }
        DestroyWindow(reply);
        ASSERT_EQ(16u, box.replies.size()) << "scheme " << scheme;
        for (const RemoteReply& r : box.replies) {
            EXPECT_TRUE(r.ok) << Narrow(r.text);
            paths.insert(r.text);
        }
        EXPECT_EQ(20u, paths.size()) << "scheme " << scheme;
        EXPECT_EQ(20u, out.Files().size()) << "scheme " << scheme;
        for (const std::wstring& path : paths) {
            const test::DecodedImage image = test::DecodeWithGdiplus(path);
            EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), image.width) << Narrow(path);
        }
        PostMessageW(main, WM_USER, 2, 0);
        EXPECT_TRUE(program->WaitForExit(10000));
    }
}

TEST_F(RemoteCapture, ARefusedCombinationIsAnErrorAfterItsMessage) {
    Settings(3, 5, 1);  // active window to MP4
    auto program = test::StartTovasen(L"/start", false);
    std::thread user([&] { test::AnswerMessageBox(*program, L"지원하지 않는 캡쳐영역입니다.", IDOK); });
    const CmdResult result = RunCmd(L"capture", scratch);
    user.join();
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_EQ(L"지원하지 않는 캡쳐영역입니다.", result.err);
}

// A window that takes the place of Tovasen's and misbehaves on purpose.
class FakeInstance {
public:
    enum Behaviour { kHang, kVanish };
    explicit FakeInstance(Behaviour behaviour) : behaviour_(behaviour) {
        thread_ = std::thread([this] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TFrmTovasen";
            RegisterClassW(&wc);
            window_ = CreateWindowExW(0, wc.lpszClassName, L"fake", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      wc.hInstance, nullptr);
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            threadId_ = GetCurrentThreadId();
            ready_ = true;
            MSG msg;
            while (!stop_ && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            if (IsWindow(window_)) DestroyWindow(window_);
            UnregisterClassW(wc.lpszClassName, wc.hInstance);
        });
        test::WaitUntil([this] { return ready_.load(); });
    }
    ~FakeInstance() {
        stop_ = true;
        PostThreadMessageW(threadId_, WM_NULL, 0, 0);
        thread_.join();
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<FakeInstance*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_COPYDATA && self) {
            if (self->behaviour_ == kHang) {
                Sleep(6000);
                return 1;
            }
            PostMessageW(hwnd, WM_CLOSE, 0, 0);  // takes the command, then ends without a reply
            return 1;
        }
        if (msg == WM_CLOSE) {
            DestroyWindow(hwnd);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    Behaviour behaviour_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::atomic<bool> ready_{false}, stop_{false};
    std::thread thread_;
};

TEST(RemoteCaptureFaults, AHungInstanceEndsInTheTimeOutWithExitCodeThree) {
    ASSERT_EQ(nullptr, FindWindowW(L"TFrmTovasen", nullptr));
    test::TempFolder scratch;
    FakeInstance hung(FakeInstance::kHang);
    const CmdResult result = RunCmd(L"--timeout 2 capture", scratch);
    EXPECT_EQ(3u, result.exitCode);
    EXPECT_NE(std::wstring::npos, result.err.find(L"did not answer within 2 seconds")) << Narrow(result.err);
    EXPECT_LT(result.ms, 5500.0) << "well before the instance answers";
}

TEST(RemoteCaptureFaults, AnInstanceThatEndsMidCommandIsToldApart) {
    ASSERT_EQ(nullptr, FindWindowW(L"TFrmTovasen", nullptr));
    test::TempFolder scratch;
    FakeInstance vanishing(FakeInstance::kVanish);
    const CmdResult result = RunCmd(L"--timeout 20 capture", scratch);
    EXPECT_EQ(3u, result.exitCode);
    EXPECT_NE(std::wstring::npos, result.err.find(L"ended before it answered")) << Narrow(result.err);
    EXPECT_LT(result.ms, 10000.0) << "it does not wait for the whole time-out";
}

}  // namespace
}  // namespace tovasen
