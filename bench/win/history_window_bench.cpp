// The history under Wine with 10,000 entries, measured: the window from "History…" until it is
// painted, one keystroke in its search box until the grid is painted again, and what recording
// one full-HD capture costs the user-interface thread, next to a bare copy of the same pixels
// made here in the same run. Prints medians in milliseconds; asserts nothing.
//   history_window_bench.exe [RUNS]     (run it through bench/history_window.sh)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "history/frm_history.h"
#include "history/history.h"
#include "history/history_format.h"
#include "history/thumbnail.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kEntries = 10000;

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

std::unique_ptr<TBitmap> FullHd(TPixelFormat format) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(1920, 1080);
    PatBlt(bitmap->Canvas().Handle(), 0, 0, 1920, 1080, WHITENESS);
    return bitmap;
}

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    using namespace tovasen;
    const int runs = argc > 1 ? std::max(3, _wtoi(argv[1])) : 9;
    TApplication app;
    app.Initialize();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tovasen-history-bench";

    std::printf("history under Wine, %d entries, median of %d runs, milliseconds\n", kEntries, runs);
    const THistorySettings settings{true, THistoryLimits{100000, std::int64_t{64} << 30}};
    auto history = std::make_unique<THistory>(folder, settings);
    if (history->Store().Count() < static_cast<std::size_t>(kEntries)) {
        // Rows as the writer stores them, with one shared thumbnail, to fill the store quickly.
        const auto start = Clock::now();
        auto picture = FullHd(TPixelFormat::pf32bit);
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(picture->Stride()) * 1080);
        std::memcpy(pixels.data(), picture->ScanLine(0), pixels.size());
        const std::vector<std::uint8_t> thumbnail =
            EncodeThumbnail(PixelView{pixels.data(), 1920, 1080, picture->Stride(), 4});
        for (int i = static_cast<int>(history->Store().Count()); i < kEntries; ++i) {
            THistoryEntry entry;
            entry.TimeUtcMs = 1700000000000 + static_cast<std::int64_t>(i) * 60000;
            entry.Mode = L"fullscreen";
            entry.Target = L"png";
            entry.Path = L"C:\\Users\\someone\\Desktop\\Capture_" + std::to_wstring(i) + L".png";
            entry.WindowTitle = L"Quarterly report " + std::to_wstring(i) + L" - Excel";
            entry.ProcessName = L"EXCEL.EXE";
            history->Store().Add(entry, thumbnail);
        }
        std::printf("filled in %.1f s\n", std::chrono::duration<double>(Clock::now() - start).count());
    }

    std::vector<double> open, search, baseline, reused, recordDib, recordDevice, read, prepare;
    for (int run = 0; run < runs; ++run) {
        std::vector<THistoryEntry> entries;
        read.push_back(TimeMs([&] { entries = history->Store().Recent(kEntries); }));
        prepare.push_back(TimeMs([&] {
            for (const THistoryEntry& entry : entries) SearchText(entry);
        }));
    }
    std::vector<double> create, show, paint;
    for (int run = 0; run < runs; ++run) {
        std::unique_ptr<TFrmHistory> form;
        create.push_back(TimeMs([&] { form = std::make_unique<TFrmHistory>(*history); }));
        show.push_back(TimeMs([&] { form->ShowHistory(); }));
        paint.push_back(TimeMs([&] { UpdateWindow(form->GrdHistory->Handle()); }));
        while (!form->Complete()) Pump();
    }
    for (int run = 0; run < runs; ++run) {
        // The window from nothing, as at the first "History…" of a session.
        open.push_back(TimeMs([&] {
            history->ShowWindow();
            UpdateWindow(history->Window()->GrdHistory->Handle());
        }));
        TFrmHistory& window = *history->Window();
        while (!window.Complete()) Pump();
        search.push_back(TimeMs([&] {
            SendMessageW(window.EditSearch->Handle(), WM_CHAR, L'9', 0);
            UpdateWindow(window.GrdHistory->Handle());
        }));
        Pump();
        // A new history object: the next run opens a new window again.
        history = std::make_unique<THistory>(folder, settings);
    }
    auto dib = FullHd(TPixelFormat::pf32bit);
    auto device = FullHd(TPixelFormat::pfDevice);
    std::vector<std::uint8_t> reusable(static_cast<std::size_t>(dib->Stride()) * 1080, 1);
    for (int run = 0; run < runs; ++run) {
        recordDib.push_back(TimeMs([&] { history->Record({TCaptureMode::FullScreen, TSaveTarget::Clipboard, L"", nullptr}, dib.get()); }));
        recordDevice.push_back(TimeMs([&] { history->Record({TCaptureMode::FullScreen, TSaveTarget::Clipboard, L"", nullptr}, device.get()); }));
        baseline.push_back(TimeMs([&] {
            std::vector<std::uint8_t> copy(static_cast<std::size_t>(dib->Stride()) * 1080);
            std::memcpy(copy.data(), dib->ScanLine(0), copy.size());
        }));
        reused.push_back(TimeMs([&] { std::memcpy(reusable.data(), dib->ScanLine(0), reusable.size()); }));
        history->WaitIdle(600000);
    }
    const double floor = Median(baseline);
    std::printf("%-44s %8.1f\n", "window shown and painted", Median(open));
    std::printf("%-44s %8.1f\n", "  of which creating the window", Median(create));
    std::printf("%-44s %8.1f\n", "  of which showing it with the first page", Median(show));
    std::printf("%-44s %8.1f\n", "  of which painting the grid", Median(paint));
    std::printf("%-44s %8.1f\n", "reading all entries (on another thread)", Median(read));
    std::printf("%-44s %8.1f\n", "preparing their search texts (same thread)", Median(prepare));
    std::printf("%-44s %8.1f\n", "one search keystroke until painted", Median(search));
    std::printf("%-44s %8.2f  (%.2fx a new buffer's copy)\n", "Record, 32-bit full-HD capture (UI thread)",
                Median(recordDib), floor > 0 ? Median(recordDib) / floor : 0.0);
    std::printf("%-44s %8.2f  (%.2fx a new buffer's copy)\n", "Record, device full-HD capture (UI thread)",
                Median(recordDevice), floor > 0 ? Median(recordDevice) / floor : 0.0);
    std::printf("%-44s %8.2f\n", "bare copy of the same 8 MB, new buffer", floor);
    std::printf("%-44s %8.2f\n", "bare copy of the same 8 MB, buffer used before", Median(reused));
    return 0;
}
