#pragma once
// What the selection and request benchmarks share: times and their medians, the table's rows,
// plain windows to draw a known screen, and Tovasen.exe started and asked as a script asks it.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/copydata_command.h"
#include "base/config.h"
#include "base/handles.h"
#include "base/module_path.h"
#include "image/bitmap.h"
#include "support/process.h"
#include "support/wait.h"

namespace tovasen::bench {

using Clock = std::chrono::steady_clock;

inline double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
inline double Between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Stats {
    double median = 0, worst = 0;
};

inline Stats Summary(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

template <class F>
Stats Measure(int runs, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f(i);
        times.push_back(Since(start));
    }
    return Summary(times);
}

// Handles this thread's messages for ms milliseconds (or those pending, for 0).
inline void Pump(DWORD ms = 0) {
    if (ms == 0) test::PumpMessages();
    else test::WaitUntil([] { return false; }, ms);
}

// Waits for condition, handling this thread's messages, looking again every millisecond (the
// tests' 20 ms steps would be the figure's resolution); false when timeoutMs passed first.
inline bool WaitClosely(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    const auto start = Clock::now();
    while (!condition()) {
        if (Since(start) > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        test::PumpMessages();
    }
    return true;
}

inline void PrintRow(const char* what, const Stats& s, const std::string& beside = {}) {
    std::printf("%-52s %8.2f %8.2f   %s\n", what, s.median, s.worst, beside.c_str());
    std::fflush(stdout);
}

inline std::string Text(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char buffer[256];
    std::snprintf(buffer, sizeof(buffer), format, a, b, c, d);
    return buffer;
}

inline RECT VirtualScreen() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// A plain topmost popup in one colour, or painting a given bitmap.
class PlainWindow {
public:
    PlainWindow(RECT r, COLORREF color, TBitmap* picture = nullptr) : FColor(color), FPicture(picture) {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"SelectionBenchPlain";
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        FHandle.Reset(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"SelectionBenchPlain", L"", WS_POPUP, r.left,
                                      r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), this));
    }
    HWND Handle() const { return FHandle.Get(); }
    void Show() {
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
        UpdateWindow(Handle());
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        }
        auto* self = reinterpret_cast<PlainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_ERASEBKGND) return 1;
        if (msg == WM_PAINT && self) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            const RECT& r = ps.rcPaint;
            if (self->FPicture) {
                BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, self->FPicture->Canvas().Handle(), r.left,
                       r.top, SRCCOPY);
            } else {
                SetDCBrushColor(dc, self->FColor);
                FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    COLORREF FColor;
    TBitmap* FPicture;
    UniqueWindow FHandle;
};

inline COLORREF ScreenPixel(int x, int y) {
    WindowDC screen(nullptr);
    return GetPixel(screen.Get(), x, y);
}

inline HWND FindVisible(DWORD pid, const wchar_t* className) {
    for (HWND w : test::ProcessWindows(pid, className)) {
        if (IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// A window of the class that was not among those before (a closed window may stay, hidden, a
// while after it was closed).
inline bool HasNewWindow(DWORD pid, const wchar_t* className, const std::vector<HWND>& before) {
    for (HWND w : test::ProcessWindows(pid, className)) {
        if (std::find(before.begin(), before.end(), w) == before.end()) return true;
    }
    return false;
}

// A process's resident memory in MB, as the system counts its working set (under Wine the
// host's resident set of the process).
inline double ResidentMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return 0;
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// Tovasen.exe, started with these settings on top of the prefix's and asked as a script asks.
class Program {
public:
    // arguments "/start": in the tray, as at log-on; the window is looked for until it exists.
    explicit Program(const std::function<void(TConfig&)>& settings, const std::wstring& arguments = L"/start") {
        {
            TConfig config;
            config.WriteInteger(L"sound", 1);  // no sound: it would only add its own time
            config.WriteBoolean(L"mouse", false);
            config.WriteBoolean(L"autocopy", false);
            config.WriteInteger(L"append", 3);
            settings(config);
        }
        const std::wstring exe = ExeFolder() + L"..\\bin\\Tovasen.exe";
        std::wstring line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        FLaunched = Clock::now();
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &FInfo)) return;
        WaitClosely([this] { return (FWindow = FindWindowW(L"TFrmTovasen", nullptr)) != nullptr; }, 30000);
        Pump(1500);  // its start-up ends
    }
    ~Program() {
        if (FThread.joinable()) FThread.join();
        if (FReplyWindow) DestroyWindow(FReplyWindow);
        if (FWindow) PostMessageW(FWindow, WM_USER, 2, 0);
        if (FInfo.hProcess) {
            if (WaitForSingleObject(FInfo.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(FInfo.hProcess, 1);
            CloseHandle(FInfo.hThread);
            CloseHandle(FInfo.hProcess);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Ready() const { return FWindow != nullptr; }
    DWORD Id() const { return FInfo.dwProcessId; }
    HWND Window() const { return FWindow; }
    Clock::time_point Launched() const { return FLaunched; }
    double ResidentMb() const { return bench::ResidentMb(FInfo.hProcess); }

    // Sends "capture" (with mode, the mode a script names) from another thread and returns at
    // once; Sent is when the send began.
    void RequestCapture(const std::wstring& mode = {}) {
        Join();
        FSent = {};
        FThread = std::thread([this, mode] {
            RemoteRequest request;
            request.command = RemoteCommand::Capture;
            if (!mode.empty()) request.mode = mode;
            const std::wstring json = RemoteRequestJson(request);
            COPYDATASTRUCT data{kCommandData, static_cast<DWORD>((json.size() + 1) * 2), const_cast<wchar_t*>(json.c_str())};
            DWORD_PTR taken = 0;
            FSent = Clock::now();
            FSentSet = true;
            SendMessageTimeoutW(FWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), 0, 60000, &taken);
        });
        while (!FSentSet) Sleep(0);
        FSentSet = false;
    }
    Clock::time_point Sent() const { return FSent; }
    void Join() {
        if (FThread.joinable()) FThread.join();
    }

    // A capture whose reply comes to a window of this thread, as tovasen-cmd waits for it: the
    // send, the moment the command was taken (the send returns), and the reply's arrival.
    struct Replied {
        bool ok = false;
        double taken = 0, replied = 0;
        std::wstring text;
    };
    Replied CaptureWithReply(DWORD timeoutMs = 30000) {
        if (!FReplyWindow) MakeReplyWindow();
        FReply.reset();
        const std::wstring json = RemoteCommandJson(L"capture", reinterpret_cast<std::uintptr_t>(FReplyWindow));
        COPYDATASTRUCT data{kCommandData, static_cast<DWORD>((json.size() + 1) * 2), const_cast<wchar_t*>(json.c_str())};
        DWORD_PTR taken = 0;
        Replied result;
        const auto sent = Clock::now();
        SendMessageTimeoutW(FWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(FReplyWindow), reinterpret_cast<LPARAM>(&data),
                            0, timeoutMs, &taken);
        result.taken = Since(sent);
        if (taken != 1) return result;
        WaitClosely([this] { return FReply.has_value(); }, timeoutMs);
        result.replied = Since(sent);
        if (FReply) {
            result.ok = FReply->ok;
            result.text = FReply->text;
        }
        return result;
    }

private:
    void MakeReplyWindow() {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
                if (msg == WM_COPYDATA) {
                    auto* self = reinterpret_cast<Program*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
                    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
                    if (self && data->dwData == kReplyData) {
                        self->FReply = ParseRemoteReply(CopyDataText(data->lpData, data->cbData));
                    }
                    return 1;
                }
                return DefWindowProcW(hwnd, msg, wp, lp);
            };
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"PathBenchReply";
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        FReplyWindow = CreateWindowExW(0, L"PathBenchReply", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(FReplyWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    PROCESS_INFORMATION FInfo{};
    HWND FWindow = nullptr;
    HWND FReplyWindow = nullptr;
    std::optional<RemoteReply> FReply;
    Clock::time_point FLaunched{};
    std::thread FThread;
    Clock::time_point FSent{};
    std::atomic<bool> FSentSet{false};
};

// The rows of the request paths (request_path_rows.cpp): the capture path split step by step in
// this process and through Tovasen.exe, resident memory and start beside a bare window.
struct Baselines {
    Stats copy, memcpyScreen, setWindowPos, setWindowRgn, windowShown;
};
void CaptureRows(int runs, const Baselines& base);
void MemoryRows(int settleSeconds);
void StartRows(int runs);
// The main window started in this process, step by step: run it in a fresh process.
void StartupRows();

}  // namespace tovasen::bench
