// The moments a user waits for in the selection windows, measured under Wine: each row the
// median and the worst of RUNS, beside the bare platform operations measured in the same run
// (a screen copy, a memcpy of the same bytes, a SetWindowPos, a SetWindowRgn, a full-screen
// window shown and painted), so what is ours and what is the platform's floor can be told
// apart. Prints a table; asserts nothing.
//   selection_path_bench.exe [RUNS [SECTION...]]  the table (bench/selection_path.sh runs it);
//                                                 sections: darken overlay floating picker frame program
//                                                 capture memory start (the request paths);
//                                                 startup alone, in a fresh process
//   selection_path_bench.exe --idle MODE SECONDS  Tovasen idle in capture mode MODE with the
//                                                 mouse still, for the script's CPU figure
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/copydata_command.h"
#include "base/config.h"
#include "base/module_path.h"
#include "base/settings_schema.h"
#include "capture/capture.h"
#include "output/frm_floating.h"
#include "select/frm_area.h"
#include "select/frm_drag.h"
#include "select/frm_line.h"
#include "select/frm_size.h"
#include "select/selection_pixels.h"
#include "support/process.h"
#include "support/wait.h"
#include "ui/application.h"
#include "path_bench.h"

namespace tovasen {
namespace {

using namespace bench;

// --- The rows -----------------------------------------------------------------------------------

Baselines MeasureBaselines(int runs) {
    Baselines b;
    const RECT screen = VirtualScreen();
    const int w = screen.right - screen.left, h = screen.bottom - screen.top;
    TBitmap copy;
    copy.SetPixelFormat(TPixelFormat::pf32bit);
    copy.SetSize(w, h);
    b.copy = Measure(runs, [&](int) {
        WindowDC dc(nullptr);
        BitBlt(copy.Canvas().Handle(), 0, 0, w, h, dc.Get(), screen.left, screen.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
    });
    std::vector<std::uint8_t> target(static_cast<std::size_t>(copy.Stride()) * static_cast<std::size_t>(h));
    b.memcpyScreen = Measure(runs, [&](int) { std::memcpy(target.data(), copy.ScanLine(0), target.size()); });
    PlainWindow plain({100, 100, 592, 497}, RGB(255, 0, 0));
    plain.Show();
    Pump(100);
    b.setWindowPos = Measure(runs, [&](int i) {
        SetWindowPos(plain.Handle(), nullptr, 0, 0, 492 + (i & 1), 397, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    });
    b.setWindowRgn = Measure(runs, [&](int i) {
        HRGN outer = CreateRectRgn(0, 0, 492 + (i & 1), 397);
        HRGN hole = CreateRectRgn(6, 31, 486 + (i & 1), 391);
        CombineRgn(outer, outer, hole, RGN_DIFF);
        DeleteObject(hole);
        SetWindowRgn(plain.Handle(), outer, TRUE);
    });
    // A full-screen window that paints a ready picture: created, shown, painted.
    b.windowShown = Measure(runs, [&](int) {
        PlainWindow full(screen, 0, &copy);
        full.Show();
    });
    Pump(100);
    return b;
}

void DragOverlayRows(int runs, const Baselines& base) {
    std::vector<double> total, made, grab, darken, window, paint;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        TFrmDrag overlay(nullptr);
        made.push_back(Since(start));
        std::atomic<bool> stop{false};
        std::thread esc([&] {
            for (int n = 0; n < 500 && !stop; ++n) {
                Sleep(10);
                HWND shown = FindVisible(GetCurrentProcessId(), TFrmDrag::kClassName);
                if (shown && overlay.ShowTimes().firstPaint > 0) {
                    PostMessageW(shown, WM_KEYDOWN, VK_ESCAPE, 0);
                    return;
                }
            }
        });
        RECT rect{};
        overlay.Capture(rect);
        stop = true;
        esc.join();
        const TFrmDrag::TShowTimes& t = overlay.ShowTimes();
        grab.push_back(t.grab);
        darken.push_back(t.darken);
        window.push_back(t.window);
        paint.push_back(t.firstPaint);
        total.push_back(made.back() + t.grab + t.darken + t.window + t.firstPaint);
    }
    Pump(200);
    const Stats g = Summary(grab), d = Summary(darken), w = Summary(window), p = Summary(paint), all = Summary(total);
    PrintRow("drag overlay in process: made to first paint", all,
             Text("bare copy + bare window shown = %.2f", base.copy.median + base.windowShown.median));
    PrintRow("  window made (hidden)", Summary(made), "");
    PrintRow("  grab (two screen pictures made, screen copied)", g, Text("bare copy %.2f", base.copy.median));
    PrintRow("  darken", d, Text("bare memcpy %.2f", base.memcpyScreen.median));
    PrintRow("  window shown, to its first paint", w, "");
    PrintRow("  first paint", p, Text("bare window shown and painted %.2f", base.windowShown.median));
}

void DarkenRows(int runs, const Baselines& base) {
    const RECT screen = VirtualScreen();
    const int w = screen.right - screen.left, h = screen.bottom - screen.top;
    std::vector<std::uint8_t> source(static_cast<std::size_t>(w) * 4 * static_cast<std::size_t>(h)), dark(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    const TPixelRows from{source.data(), w, h, w * 4, 4}, to{dark.data(), w, h, w * 4, 4};
    PrintRow("darkening, this build, screen size", Measure(runs, [&](int) { DarkenAll(from, to); }),
             Text("bare memcpy %.2f; byte by byte %.2f", base.memcpyScreen.median,
                  Measure(std::min(runs, 5), [&](int) { DarkenAllReference(from, to); }).median));
}

void FloatingRows(int runs, const Baselines& base) {
    std::vector<double> grab, create, show, paint, total;
    TCapture capture;
    capture.ShowCursor = false;
    for (int i = 0; i < runs; ++i) {
        auto bitmap = std::make_shared<TBitmap>();
        RECT rect{};
        auto t = Clock::now();
        capture.Capture(*bitmap, nullptr, rect);
        grab.push_back(Since(t));
        t = Clock::now();
        auto floating = std::make_unique<TFrmFloating>(std::move(bitmap), rect);
        create.push_back(Since(t));
        t = Clock::now();
        floating->ShowFloating();
        show.push_back(Since(t));
        t = Clock::now();
        UpdateWindow(floating->Handle());
        GdiFlush();
        paint.push_back(Since(t));
        total.push_back(grab.back() + create.back() + show.back() + paint.back());
        floating.reset();
        Pump(50);
    }
    PrintRow("floating window in process: grab to first paint", Summary(total),
             Text("bare copy + bare window shown = %.2f", base.copy.median + base.windowShown.median));
    PrintRow("  grab (monitor under the mouse)", Summary(grab), Text("bare copy %.2f", base.copy.median));
    PrintRow("  window made (picture shared)", Summary(create), Text("bare memcpy %.2f", base.memcpyScreen.median));
    PrintRow("  shown", Summary(show), "");
    PrintRow("  first paint", Summary(paint), "");
}

void PickerRows(int runs, const Baselines& base) {
    const RECT screen = VirtualScreen();
    PlainWindow target({screen.left, screen.top, screen.right, screen.bottom}, RGB(0, 128, 255));
    target.Show();
    SetCursorPos((screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2);
    Pump(100);
    TFrmLine picker(nullptr, [] { return TCaptureMode::WindowControl; }, nullptr);
    picker.ShowPicker();
    picker.Timer1->SetEnabled(false);
    Pump(100);
    PrintRow("picker: full-screen outline redrawn (one dash step)", Measure(runs, [&](int) { picker.Timer1Timer(); }),
             Text("bare SetWindowPos %.2f", base.setWindowPos.median));
    PrintRow("  of it: looking again, nothing moved", Measure(runs, [&](int) { picker.Follow(); }), "");
    // The target moves by a pixel: the outline follows.
    std::vector<double> follow;
    for (int i = 0; i < runs; ++i) {
        SetWindowPos(target.Handle(), nullptr, screen.left + 1 - (i & 1), screen.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        const auto start = Clock::now();
        picker.Follow();
        follow.push_back(Since(start));
    }
    PrintRow("picker: outline follows a window moved by a pixel", Summary(follow),
             Text("bare SetWindowPos %.2f", base.setWindowPos.median));
}

void RegionFrameRows(int runs, const Baselines& base) {
    TSettings settings = DefaultSettings({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), L"", L""});
    settings.left = 100;
    settings.top = 100;
    TFrmSize dialog(nullptr, settings, TSettingsWriter());
    TFrmArea frame(nullptr, &dialog, settings, TSettingsWriter());
    frame.Show();
    Pump(100);
    const RECT w0 = [&] {
        RECT r{};
        GetWindowRect(frame.Handle(), &r);
        return r;
    }();
    // As the system's size loop does it: one SetWindowPos per mouse move between its start and end.
    SendMessageW(frame.Handle(), WM_ENTERSIZEMOVE, 0, 0);
    const Stats inLoop = Measure(runs, [&](int i) {
        SetWindowPos(frame.Handle(), nullptr, 0, 0, w0.right - w0.left + 1 + (i & 1), w0.bottom - w0.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(frame.Handle());
    });
    SendMessageW(frame.Handle(), WM_EXITSIZEMOVE, 0, 0);
    PrintRow("region frame: resize step of a drag (paint included)", inLoop,
             Text("bare SetWindowPos %.2f + bare SetWindowRgn %.2f", base.setWindowPos.median, base.setWindowRgn.median));
    const Stats keys = Measure(runs, [&](int i) {
        frame.SetSize(480 + (i & 1), 360, 0);
        UpdateWindow(frame.Handle());
    });
    PrintRow("region frame: resize outside a drag (keys, presets)", keys, "fields and settings written each step");
}

// The program itself, asked through WM_COPYDATA; "visible" is watched on the screen.
void ProgramRows(int runs, const Baselines& base) {
    const COLORREF marker = RGB(200, 120, 40);
    PlainWindow spot({40, 40, 240, 240}, marker);
    spot.Show();
    Pump(300);
    {
        Program program([](TConfig& c) {
            c.WriteInteger(L"area", 2);
            c.WriteInteger(L"saveto", 0);
        });
        if (!program.Ready()) {
            std::printf("Tovasen did not start\n");
            return;
        }
        const COLORREF dark = RGB(DarkenByte(200), DarkenByte(120), DarkenByte(40));
        std::vector<double> made, shown, visible;
        for (int i = 0; i < runs + 1; ++i) {
            for (int n = 0; n < 200 && ScreenPixel(140, 140) != marker; ++n) Pump(10);
            const std::vector<HWND> before = test::ProcessWindows(program.Id(), TFrmDrag::kClassName);
            program.RequestCapture();
            // Seen from here as it happens: the window exists, is shown, its darkened picture is on the screen.
            double madeAt = 0, shownAt = 0;
            bool seen = false;
            while (!seen && Since(program.Sent()) < 10000) {
                if (madeAt == 0 && HasNewWindow(program.Id(), TFrmDrag::kClassName, before)) madeAt = Since(program.Sent());
                if (shownAt == 0 && FindVisible(program.Id(), TFrmDrag::kClassName)) shownAt = Since(program.Sent());
                if (madeAt == 0) madeAt = shownAt;  // made and shown between two looks
                seen = ScreenPixel(140, 140) == dark;
            }
            const double shownAfter = Since(program.Sent());
            HWND overlay = nullptr;
            for (int n = 0; n < 500 && !(overlay = FindVisible(program.Id(), TFrmDrag::kClassName)); ++n) Sleep(10);
            if (overlay) PostMessageW(overlay, WM_KEYDOWN, VK_ESCAPE, 0);
            program.Join();
            if (!seen) std::printf("  the overlay never showed (run %d)\n", i);
            if (seen && i > 0) {  // the first run warms caches up
                visible.push_back(shownAfter);
                made.push_back(madeAt > 0 ? madeAt : shownAfter);
                shown.push_back(shownAt > 0 ? shownAt : shownAfter);
            }
            Pump(100);
        }
        PrintRow("request -> drag overlay visible (Tovasen.exe)", Summary(visible),
                 Text("bare copy + 15 = %.2f (goal)", base.copy.median + 15));
        PrintRow("  request -> overlay window exists (hidden)", Summary(made), "command, snapshot, window made");
        PrintRow("  request -> overlay window shown", Summary(shown),
                 Text("+ grab and darken; bare copy %.2f", base.copy.median));
        PrintRow("  request -> darkened picture on the screen", Summary(visible),
                 Text("+ first paint; bare window shown %.2f", base.windowShown.median));
    }
    std::vector<double> painted, made, visible;
    for (int batch = 0; static_cast<int>(painted.size()) < runs && batch < runs; ++batch) {
        // A few at a time: each floating window keeps a screen-sized picture.
        Program program([](TConfig& c) {
            c.WriteInteger(L"area", 0);
            c.WriteInteger(L"saveto", 10);
        });
        if (!program.Ready()) break;
        for (int i = 0; i < 5 && static_cast<int>(painted.size()) < runs; ++i) {
            const std::vector<HWND> before = test::ProcessWindows(program.Id(), TFrmFloating::kClassName);
            program.RequestCapture();
            HWND shown = nullptr;
            double at = 0, madeAt = 0, shownAt = 0;
            while (Since(program.Sent()) < 10000) {
                if (madeAt == 0 && HasNewWindow(program.Id(), TFrmFloating::kClassName, before)) {
                    madeAt = Since(program.Sent());
                }
                HWND w = FindVisible(program.Id(), TFrmFloating::kClassName);
                if (w && shownAt == 0) shownAt = Since(program.Sent());
                if (madeAt == 0) madeAt = shownAt;  // made and shown between two looks
                // Mapped and painted: nothing left in its update region.
                if (w && !GetUpdateRect(w, nullptr, FALSE)) {
                    shown = w;
                    at = Since(program.Sent());
                    break;
                }
            }
            if (shown && i > 0) {
                made.push_back(madeAt > 0 ? madeAt : at);
                visible.push_back(shownAt > 0 ? shownAt : at);
            }
            program.Join();
            if (shown) {
                if (i > 0) painted.push_back(at);
                // Gone before the next request, or that request would find this one and time
                // nothing (a busy machine may take a while to handle the close).
                PostMessageW(shown, WM_CLOSE, 0, 0);
                if (!test::WaitUntil([shown] { return !IsWindow(shown) || !IsWindowVisible(shown); })) {
                    std::printf("  a floating window did not close\n");
                    break;
                }
            }
            Pump(200);
        }
    }
    PrintRow("request -> floating window painted (Tovasen.exe)", Summary(painted),
             Text("bare copy + 15 = %.2f (goal)", base.copy.median + 15));
    PrintRow("  request -> window exists", Summary(made), Text("command, grab, picture copied; bare copy %.2f", base.copy.median));
    PrintRow("  request -> window shown", Summary(visible), "");
    PrintRow("  request -> painted", Summary(painted), Text("bare window shown %.2f", base.windowShown.median));
}

// How long Tovasen is left alone after use before its memory is read again: 60 s unless
// TOVASEN_BENCH_SETTLE says otherwise (a shorter check of the benchmark itself).
int SettleSeconds() {
    wchar_t value[16] = {};
    if (!GetEnvironmentVariableW(L"TOVASEN_BENCH_SETTLE", value, 16)) return 60;
    return std::max(0, _wtoi(value));
}

int RunTable(int runs, const std::vector<std::wstring>& only) {
    auto wanted = [&](const wchar_t* section) {
        return only.empty() || std::find(only.begin(), only.end(), section) != only.end();
    };
    TApplication app;
    app.Initialize();
    // Alone: the main window's start counts only in a process that has done nothing yet.
    if (only.size() == 1 && only[0] == L"startup") {
        StartupRows();
        return 0;
    }
    const RECT screen = VirtualScreen();
    std::printf("selection windows at %ldx%ld, %d runs each, milliseconds\n", screen.right - screen.left,
                screen.bottom - screen.top, runs);
    std::printf("%-52s %8s %8s   %s\n", "moment", "median", "worst", "beside it, same run (medians)");
    const Baselines base = MeasureBaselines(runs);
    PrintRow("bare screen copy (into a 32-bit DIB)", base.copy);
    PrintRow("bare memcpy of the same bytes", base.memcpyScreen);
    PrintRow("bare SetWindowPos (492x397 window, width +-1)", base.setWindowPos);
    PrintRow("bare SetWindowRgn (the same window, a frame region)", base.setWindowRgn);
    PrintRow("bare full-screen window made, shown and painted", base.windowShown);
    if (wanted(L"darken")) DarkenRows(runs, base);
    if (wanted(L"overlay")) DragOverlayRows(runs, base);
    if (wanted(L"floating")) FloatingRows(runs, base);
    if (wanted(L"picker")) PickerRows(runs, base);
    if (wanted(L"frame")) RegionFrameRows(runs, base);
    if (wanted(L"program")) ProgramRows(runs, base);
    if (wanted(L"capture")) CaptureRows(runs, base);
    if (wanted(L"start")) StartRows(std::min(runs, 7));
    if (wanted(L"memory")) MemoryRows(SettleSeconds());

    return 0;
}

// Tovasen idle in one capture mode with the mouse still over a still window, for the script
// that reads the process's CPU time from the host side.
int RunIdle(int mode, int seconds) {
    PlainWindow still({300, 300, 700, 600}, RGB(90, 90, 90));
    still.Show();
    SetCursorPos(500, 450);
    Pump(200);
    Program program([mode](TConfig& c) {
        c.WriteInteger(L"area", mode);
        c.WriteInteger(L"saveto", 0);
    });
    if (!program.Ready()) {
        std::printf("Tovasen did not start\n");
        return 1;
    }
    Pump(3000);
    std::printf("IDLE_START %lu\n", program.Id());
    std::fflush(stdout);
    Pump(static_cast<DWORD>(seconds) * 1000);
    std::printf("IDLE_END\n");
    std::fflush(stdout);
    return 0;
}

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"--idle") return tovasen::RunIdle(_wtoi(argv[2]), _wtoi(argv[3]));
    std::vector<std::wstring> only(argv + std::min(argc, 2), argv + argc);
    return tovasen::RunTable(argc > 1 ? std::max(3, _wtoi(argv[1])) : 20, only);
}
