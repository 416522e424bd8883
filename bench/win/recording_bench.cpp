// Recording a 1920x1080 region under Wine, measured on the thread that paints the frames: the
// worst, 99th-percentile and median time it takes to answer WM_NULL from another thread while
// the recording runs, next to the same thread idle for as long in the same run; and what one
// frame's painting costs next to a bare screen copy of that size. Prints figures; asserts
// nothing.
//   recording_bench.exe [SECONDS]     (run it through bench/recording.sh)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/module_path.h"
#include "capture/capture.h"
#include "record/recorder.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

struct Answers {
    double median = 0, p99 = 0, worst = 0;
    std::size_t count = 0;
};

Answers Summary(std::vector<double> times) {
    Answers a;
    if (times.empty()) return a;
    std::sort(times.begin(), times.end());
    a.count = times.size();
    a.median = times[times.size() / 2];
    a.p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    a.worst = times.back();
    return a;
}

// Asks a window of this thread from another thread every 20 ms for seconds, handling this
// thread's messages meanwhile (the recording's timers run here).
Answers AnswerTimes(double seconds) {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    std::atomic<bool> done{false};
    std::vector<double> times;
    std::thread asker([&] {
        while (!done) {
            const auto start = Clock::now();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(probe, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            times.push_back(Ms(start));
            Sleep(20);
        }
    });
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Application->ProcessMessages();
    }
    done = true;
    asker.join();
    DestroyWindow(probe);
    return Summary(times);
}

void Print(const char* what, const Answers& a) {
    std::printf("%-34s %6zu asks  median %6.1f ms  p99 %6.1f ms  worst %6.1f ms\n", what, a.count, a.median, a.p99, a.worst);
}

struct Measured {
    Answers answers, paint, bare;
    std::wstring failure;
};

// Records the region for seconds with the mirror at mirror (none: where it ships, beyond every
// monitor, where Wine paints nothing) and measures this thread meanwhile.
Measured Record(int width, int height, double seconds, std::optional<POINT> mirror) {
    Measured m;
    TCapture capture;
    TRecorder recorder(nullptr, mirror);
    recorder.FFMpeg = ExeFolder() + L"..\\bin\\ffmpeg.exe";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    recorder.Output = std::wstring(temp) + L"tovasen_recording_bench.mp4";
    recorder.Mouse = false;
    recorder.Start(&capture, [=] { return RECT{0, 0, width, height}; });
    const auto started = Clock::now();
    while (!recorder.Encoding() && recorder.IsRunning() && Ms(started) < 30000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Application->ProcessMessages();
    }
    m.answers = AnswerTimes(seconds);

    // One frame's painting against a bare copy of the same screen rectangle into memory.
    std::vector<double> paint, bare;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int i = 0; i < 20; ++i) {
        auto start = Clock::now();
        recorder.PaintFrame();
        paint.push_back(Ms(start));
        start = Clock::now();
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        bare.push_back(Ms(start));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    m.paint = Summary(paint);
    m.bare = Summary(bare);

    recorder.Stop();
    while (recorder.IsRunning()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Application->ProcessMessages();
    }
    m.failure = recorder.Failure();
    DeleteFileW(recorder.Output.c_str());
    return m;
}

void Print(const char* what, const Measured& m, const Answers& idle) {
    Print(what, m.answers);
    std::printf("%-34s worst / worst idle %.2f; one frame painted here: median %.1f ms (bare screen copy %.1f ms)\n", "",
                idle.worst > 0 ? m.answers.worst / idle.worst : 0.0, m.paint.median, m.bare.median);
    if (!m.failure.empty()) std::wprintf(L"  the encoder said: %ls\n", m.failure.c_str());
}

int Run(double seconds) {
    TApplication app;
    app.Initialize();
    const int width = std::min(1920, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    const int height = std::min(1080, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    std::printf("screen %dx%d, region %dx%d, %.0f s each\n", GetSystemMetrics(SM_CXVIRTUALSCREEN),
                GetSystemMetrics(SM_CYVIRTUALSCREEN), width, height, seconds);
    if (width < 1920 || height < 1080) std::printf("the screen is smaller than the region: it is capped to the screen\n");

    const Answers idle = AnswerTimes(seconds);
    Print("WM_NULL, this thread idle", idle);
    Print("WM_NULL, mirror where it ships", Record(width, height, seconds, std::nullopt), idle);
    // On screen every frame is copied in full, as Windows does for the layered mirror anywhere.
    Print("WM_NULL, mirror on screen", Record(width, height, seconds, POINT{0, 0}), idle);
    return 0;
}

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    const double seconds = argc > 1 ? std::wcstod(argv[1], nullptr) : 10;
    return tovasen::Run(seconds > 0 ? seconds : 10);
}
