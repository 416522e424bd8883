// The history's costs with 10,000 entries: loading the list the window shows, preparing and
// answering a search, storing one capture's row on the history's thread, and what the
// capturing thread pays (one copy of a full-HD picture) next to a bare memcpy of its bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "history/file_path.h"
#include "history/history_format.h"
#include "history/history_store.h"
#include "history/thumbnail.h"
#include "synthetic_image.h"

namespace {

using namespace tovasen;
constexpr std::size_t kEntries = 10000;

// A store of kEntries plausible captures, made once for the whole run.
class Filled {
public:
    Filled() {
        std::random_device random;
        folder_ = std::filesystem::temp_directory_path() / ("tovasen-history-bench-" + std::to_string(random()));
        store_ = std::make_unique<THistoryStore>(WidePath(folder_));
        const test::OwnedImage picture = test::ScreenshotLike(1920, 1080, 4);
        const std::vector<std::uint8_t> thumbnail = EncodeThumbnail(picture.View());
        const wchar_t* titles[] = {L"Quarterly report.xlsx - Excel", L"받은 편지함 - Outlook", L"Terminal",
                                   L"Проект — Visual Studio Code", L"YouTube - Chrome"};
        const wchar_t* processes[] = {L"EXCEL.EXE", L"OUTLOOK.EXE", L"WindowsTerminal.exe", L"Code.exe", L"chrome.exe"};
        for (std::size_t i = 0; i < kEntries; ++i) {
            THistoryEntry entry;
            entry.TimeUtcMs = 1700000000000 + static_cast<std::int64_t>(i) * 60000;
            entry.UtcOffsetMinutes = 540;
            entry.Mode = L"fullscreen";
            entry.Target = i % 3 ? L"png" : L"clipboard";
            entry.Path = L"C:\\Users\\someone\\Desktop\\Capture_" + std::to_wstring(i) + L".png";
            entry.WindowTitle = titles[i % 5] + std::wstring(L" ") + std::to_wstring(i);
            entry.ProcessName = processes[i % 5];
            entry.Width = 1920;
            entry.Height = 1080;
            store_->Add(entry, thumbnail);
        }
    }
    ~Filled() {
        store_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    THistoryStore& Store() { return *store_; }

private:
    std::filesystem::path folder_;
    std::unique_ptr<THistoryStore> store_;
};

Filled& Shared() {
    static Filled filled;
    return filled;
}

// What the window does when it opens: every entry, newest first, and their search texts.
void BM_LoadAllForTheWindow(benchmark::State& state) {
    THistoryStore& store = Shared().Store();
    for (auto _ : state) {
        std::vector<THistoryEntry> entries = store.Recent(kEntries);
        std::vector<std::wstring> texts;
        texts.reserve(entries.size());
        for (const THistoryEntry& entry : entries) texts.push_back(SearchText(entry));
        benchmark::DoNotOptimize(texts.data());
    }
}
BENCHMARK(BM_LoadAllForTheWindow)->Unit(benchmark::kMillisecond);

// One keystroke's search over the prepared texts.
void BM_SearchAsYouType(benchmark::State& state) {
    std::vector<std::wstring> texts;
    for (const THistoryEntry& entry : Shared().Store().Recent(kEntries)) texts.push_back(SearchText(entry));
    const wchar_t* queries[] = {L"e", L"excel 2023-11", L"편지", L"проект code", L"capture_99"};
    std::size_t q = 0, shown = 0;
    for (auto _ : state) {
        const std::vector<std::wstring> words = SearchWords(queries[q++ % 5]);
        shown = 0;
        for (const std::wstring& text : texts) shown += MatchesSearch(text, words) ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    }
}
BENCHMARK(BM_SearchAsYouType)->Unit(benchmark::kMillisecond);

// The "Recent" menu and one tovasen-cmd history line each.
void BM_RecentTen(benchmark::State& state) {
    for (auto _ : state) {
        std::wstring lines;
        for (const THistoryEntry& entry : Shared().Store().Recent(10)) lines += HistoryLine(entry) + L"\n";
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_RecentTen)->Unit(benchmark::kMicrosecond);

// On the history's own thread, per capture: the thumbnail, the row, and retention at 10,000.
void BM_StoreOneCaptureRow(benchmark::State& state) {
    const test::OwnedImage picture = test::ScreenshotLike(1920, 1080, 4);
    THistoryStore& store = Shared().Store();
    THistoryEntry entry;
    entry.Target = L"png";
    entry.TimeUtcMs = 1800000000000;
    for (auto _ : state) {
        const std::vector<std::uint8_t> thumbnail = EncodeThumbnail(picture.View());
        ++entry.TimeUtcMs;
        store.Add(entry, thumbnail);
        benchmark::DoNotOptimize(store.Prune(THistoryLimits{kEntries, std::int64_t{2} << 30}));
    }
}
BENCHMARK(BM_StoreOneCaptureRow)->Unit(benchmark::kMillisecond);

// What the capturing thread pays: one copy of a full-HD 32-bit picture...
void BM_CaptureThreadCopy(benchmark::State& state) {
    const test::OwnedImage picture = test::ScreenshotLike(1920, 1080, 4);
    for (auto _ : state) {
        TPixels copy = CopyPixels(picture.View());
        benchmark::DoNotOptimize(copy.Bytes.data());
    }
}
BENCHMARK(BM_CaptureThreadCopy)->Unit(benchmark::kMillisecond);

// ...next to the floor: allocating and copying the same bytes with nothing else.
void BM_BaselineMemcpy(benchmark::State& state) {
    const test::OwnedImage picture = test::ScreenshotLike(1920, 1080, 4);
    for (auto _ : state) {
        std::vector<std::uint8_t> copy(picture.pixels.size());
        std::memcpy(copy.data(), picture.pixels.data(), copy.size());
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_BaselineMemcpy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
