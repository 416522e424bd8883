// The editor under Wine on a full-HD capture, measured: time until the editor is up and painted
// next to a bare window that only shows the same picture; one drag step among 200 objects
// (model, picture refresh and repaint) next to the repaint of the same area alone; and the
// memory 1000 drags add. Prints a table; asserts nothing.
//   editor_window_bench.exe [RUNS]     (run it through bench/editor_window.sh)
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "../editor_objects.h"
#include "editor/editor_entry.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kW = 1920, kH = 1080;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

template <class F>
double TimeMs(F&& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::unique_ptr<TBitmap> Capture() {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetSize(kW, kH);
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < kW; ++x) row[x] = static_cast<std::uint32_t>(((x * 7 + y) & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | (x & 0xFF));
    }
    return bitmap;
}

// The least a viewer does: a window that copies the picture to the screen when painted.
TBitmap* gShown = nullptr;
LRESULT CALLBACK ViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        BitBlt(dc, 0, 0, kW, kH, gShown->Canvas().Handle(), 0, 0, SRCCOPY);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

double BareViewerMs(TBitmap& capture, const RECT& like) {
    return TimeMs([&] {
        auto copy = std::make_unique<TBitmap>();  // a viewer keeps its own copy too
        copy->SetPixelFormat(TPixelFormat::pf32bit);
        copy->SetSize(kW, kH);
        BitBlt(copy->Canvas().Handle(), 0, 0, kW, kH, capture.Canvas().Handle(), 0, 0, SRCCOPY);
        gShown = copy.get();
        HWND w = CreateWindowExW(0, L"BareViewer", L"viewer", WS_OVERLAPPEDWINDOW, like.left, like.top,
                                 like.right - like.left, like.bottom - like.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                                 nullptr);
        ShowWindow(w, SW_SHOW);
        UpdateWindow(w);
        GdiFlush();
        DestroyWindow(w);
    });
}

void AddObjects(TFrmEditor& editor, int count) {
    bench::AddSampleObjects(editor.Scene().Model(), count, kW, kH);
    editor.Canvas().Changed(TBox{0, 0, kW, kH});
    UpdateWindow(editor.Canvas().Handle());
}

double PagefileMb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.PagefileUsage) / (1 << 20);
}

void Drag(HWND canvas, POINT from, POINT to, int moves) {
    SendMessageW(canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    for (int k = 1; k <= moves; ++k) {
        SendMessageW(canvas, WM_MOUSEMOVE, MK_LBUTTON,
                     MAKELPARAM(from.x + (to.x - from.x) * k / moves, from.y + (to.y - from.y) * k / moves));
    }
    SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
}

int Run(int runs) {
    TApplication app;
    app.Initialize();
    WNDCLASSW viewer{};
    viewer.lpfnWndProc = ViewerProc;
    viewer.hInstance = GetModuleHandleW(nullptr);
    viewer.lpszClassName = L"BareViewer";
    RegisterClassW(&viewer);
    auto capture = Capture();

    std::vector<double> editorMs, viewerMs;
    for (int i = 0; i < runs; ++i) {
        RECT placed{};
        editorMs.push_back(TimeMs([&] {
            TFrmEditor& editor = EditForOutput(*capture, [](TEditedPicture&) {}, [] {});
            UpdateWindow(editor.Handle());
            UpdateWindow(editor.Toolbar().Handle());
            UpdateWindow(editor.Canvas().Handle());
            GdiFlush();
            GetWindowRect(editor.Handle(), &placed);
            editor.Close();
        }));
        Pump();
        viewerMs.push_back(BareViewerMs(*capture, placed));
        Pump();
    }
    const double open = Median(editorMs), bare = Median(viewerMs);
    std::printf("[ figures  ] editor up and painted, 1920x1080: median %.1f ms; bare viewer %.1f ms; ratio %.2f (%d runs)\n",
                open, bare, open / bare, runs);

    TFrmEditor& editor = EditForOutput(*capture, [](TEditedPicture&) {}, [] {});
    AddObjects(editor, 200);
    HWND canvas = editor.Canvas().Handle();
    editor.SelectTool(TTool::Rectangle);
    Drag(canvas, {100, 100}, {200, 160}, 4);
    UpdateWindow(canvas);
    editor.SelectTool(TTool::Select);
    SendMessageW(canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 100));
    std::vector<double> step, repaint;
    RECT dirty{};
    for (int k = 1; k <= 100; ++k) {
        step.push_back(TimeMs([&] {
            SendMessageW(canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150 + k % 40, 100 + k % 23));
            GetUpdateRect(canvas, &dirty, FALSE);
            UpdateWindow(canvas);
            GdiFlush();
        }));
        repaint.push_back(TimeMs([&] {
            InvalidateRect(canvas, &dirty, FALSE);
            UpdateWindow(canvas);
            GdiFlush();
        }));
    }
    SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(190, 120));
    const double dragMedian = Median(step), dragMax = *std::max_element(step.begin(), step.end());
    const double repaintMedian = Median(repaint);
    std::printf("[ figures  ] drag step among 200 objects: median %.2f ms, worst %.2f ms; repaint of the same area alone "
                "%.2f ms; ratio %.2f\n",
                dragMedian, dragMax, repaintMedian, dragMedian / repaintMedian);

    Pump();
    const double before = PagefileMb();
    const std::size_t stepsBefore = editor.Scene().Model().UndoSteps();
    const TTool tools[] = {TTool::Rectangle, TTool::Pen, TTool::Arrow, TTool::Select};
    for (int i = 0; i < 1000; ++i) {
        editor.SelectTool(tools[i % 4]);
        const POINT from{40 + (i * 37) % 900, 40 + (i * 23) % 600};
        Drag(canvas, from, POINT{from.x + 120, from.y + 50}, 20);
        if (i % 50 == 0) Pump();
    }
    Pump();
    const double after = PagefileMb();
    std::printf("[ figures  ] 1000 drags: %zu undo steps, process memory %.1f MB -> %.1f MB (+%.1f MB); each copy of "
                "the 1920x1080 picture the editor keeps (two, three with a redaction) is %.1f MB\n",
                editor.Scene().Model().UndoSteps() - stepsBefore, before, after, after - before, 1.0 * kW * kH * 4 / (1 << 20));
    editor.Scene().Model().MarkSaved();
    editor.Close();
    Pump();
    return 0;
}

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 9;
    return tovasen::Run(runs);
}
