// Pixel work of the selection windows: the drag overlay's recompose per mouse move, against
// the straightforward full recompute, the one-time darkening at show, and the picker's outline.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "select/area_geometry.h"
#include "select/selection_pixels.h"

namespace {

using namespace tovasen;

struct Screen {
    Screen(int w, int h) : data(static_cast<std::size_t>(w) * 4 * static_cast<std::size_t>(h)) {
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
        rows = {data.data(), w, h, w * 4, 4};
    }
    std::vector<std::uint8_t> data;
    TPixelRows rows;
};

// A drag across a 4K screen: each move grows the selection by a few pixels each way.
void BM_ComposeStrips4K(benchmark::State& state) {
    Screen bright(3840, 2160), dark(3840, 2160), shown(3840, 2160);
    DarkenAll(bright.rows, dark.rows);
    DarkenAll(bright.rows, shown.rows);
    int step = 0;
    TRectI before{};
    for (auto _ : state) {
        const int d = step % 600;
        const TRectI after{400, 300, 410 + d * 5, 305 + d * 3};
        benchmark::DoNotOptimize(ComposeSelection(bright.rows, dark.rows, shown.rows, before, after));
        before = after;
        ++step;
    }
}
BENCHMARK(BM_ComposeStrips4K)->Unit(benchmark::kMillisecond);

void BM_ComposeFull4K(benchmark::State& state) {
    Screen bright(3840, 2160), shown(3840, 2160);
    int step = 0;
    for (auto _ : state) {
        const int d = step % 600;
        ComposeSelectionFull(bright.rows, shown.rows, {400, 300, 410 + d * 5, 305 + d * 3});
        benchmark::ClobberMemory();
        ++step;
    }
}
BENCHMARK(BM_ComposeFull4K)->Unit(benchmark::kMillisecond);

// The worst single move: the selection jumps from nothing to nearly the whole screen.
void BM_ComposeStripsJump4K(benchmark::State& state) {
    Screen bright(3840, 2160), dark(3840, 2160), shown(3840, 2160);
    DarkenAll(bright.rows, dark.rows);
    bool big = false;
    for (auto _ : state) {
        const TRectI small{10, 10, 20, 20}, large{0, 0, 3800, 2100};
        benchmark::DoNotOptimize(ComposeSelection(bright.rows, dark.rows, shown.rows, big ? large : small, big ? small : large));
        big = !big;
    }
}
BENCHMARK(BM_ComposeStripsJump4K)->Unit(benchmark::kMillisecond);

void BM_DarkenOnce4K(benchmark::State& state) {
    Screen bright(3840, 2160), dark(3840, 2160);
    for (auto _ : state) {
        DarkenAll(bright.rows, dark.rows);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DarkenOnce4K)->Unit(benchmark::kMillisecond);

// The picker's outline of a maximised 1920 x 1080 window.
void BM_OutlineMaximised(benchmark::State& state) {
    std::uint8_t pattern = 0;
    for (auto _ : state) benchmark::DoNotOptimize(DrawOutline(1922, 1082, pattern));
}
BENCHMARK(BM_OutlineMaximised)->Unit(benchmark::kMicrosecond);

// One resize step's geometry (the Win32 part is measured by the frame's test under Wine).
void BM_AreaKeyResize(benchmark::State& state) {
    TRectI window{100, 100, 592, 497};
    int i = 0;
    for (auto _ : state) {
        window = AreaKeyMove(window, (i++ & 1) ? AreaKey::Right : AreaKey::Left, true, false, 25);
        benchmark::DoNotOptimize(AreaCaptureRect(window, 25));
    }
}
BENCHMARK(BM_AreaKeyResize);

}  // namespace

BENCHMARK_MAIN();
