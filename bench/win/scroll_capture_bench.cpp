// The scrolling capture under Wine, measured: a 6000-pixel document in a 500-pixel view (its
// wheel moving by uneven steps), captured whole several times. Prints the total time, the
// steps and retries, and next to it the bare grabbing of the same view as often as the capture
// took views, measured in the same run. Asserts nothing but that the picture is whole.
//   scroll_capture_bench.exe [RUNS]     (run it through bench/scroll_capture.sh)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "scroll/scroll_capture.h"
#include "scroll/scroll_test_window.h"
#include "scroll/view_grabber.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Pump(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    } while (GetTickCount64() < until && MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT) != WAIT_FAILED);
}

int Run(int runs) {
    TApplication app;
    app.Initialize();
    test::ScrollTestWindow::Options options;
    options.header = 40;
    options.footer = 30;
    options.band = 500 - options.header - options.footer;
    options.docHeight = 6000;
    test::ScrollTestWindow window(options);
    const int expected = options.header + options.docHeight + options.footer;

    std::vector<double> totals, baselines;
    ScrollProgress progress;
    for (int run = 0; run < runs; ++run) {
        window.SetPosition(0);
        Pump(100);
        const auto start = Clock::now();
        const ScrollCaptureResult result = CaptureScrollingWindow(window.Centre());
        totals.push_back(Since(start));
        progress = result.Progress;
        if (!result.Bitmap || result.Bitmap->Height() != expected) {
            std::printf("run %d: the picture is %d rows, not %d\n", run, result.Bitmap ? result.Bitmap->Height() : 0,
                        expected);
            return 1;
        }
        // The same number of views, grabbed until settled, without scrolling or joining.
        TViewGrabber grabber(result.Rect, Pump);
        const auto bare = Clock::now();
        for (int i = 0; i <= progress.steps; ++i) grabber.Settle(1500);
        baselines.push_back(Since(bare));
    }
    const double total = Median(totals), baseline = Median(baselines);
    std::printf("[ figures  ] scrolling capture, %d-pixel document in a %d-pixel view, median of %d runs\n",
                options.docHeight, window.ViewHeight(), runs);
    std::printf("[ figures  ] total %.0f ms, %d steps, %d retries, %.1f ms a step (goal: total under 10000 ms)\n", total,
                progress.steps, progress.retries, total / std::max(1, progress.steps));
    std::printf("[ figures  ] bare settled grabs of the view, as many: %.0f ms; ratio %.2f\n", baseline,
                total / baseline);
    return 0;
}

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 5;
    try {
        return tovasen::Run(runs);
    } catch (const tovasen::Exception& e) {
        std::fwprintf(stderr, L"%ls\n", e.Message().c_str());
        return 1;
    }
}
