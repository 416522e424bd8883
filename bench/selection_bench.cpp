// Pixel work of the selection windows: the drag overlay's darkening at show against its
// reference and a bare copy, the picker's outline, the frame's key step.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
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

// The overlay's one-time darkening at show, the shipped code against the byte-by-byte
// reference and a bare copy of the same bytes (the floor: memory traffic), all at 4K.
void BM_DarkenOnce4K(benchmark::State& state) {
    Screen bright(3840, 2160), dark(3840, 2160);
    for (auto _ : state) {
        DarkenAll(bright.rows, dark.rows);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DarkenOnce4K)->Unit(benchmark::kMillisecond);

void BM_DarkenReference4K(benchmark::State& state) {
    Screen bright(3840, 2160), dark(3840, 2160);
    for (auto _ : state) {
        DarkenAllReference(bright.rows, dark.rows);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DarkenReference4K)->Unit(benchmark::kMillisecond);

void BM_MemcpyBaseline4K(benchmark::State& state) {
    Screen bright(3840, 2160), dark(3840, 2160);
    for (auto _ : state) {
        benchmark::DoNotOptimize(dark.data.data());
        std::memcpy(dark.data.data(), bright.data.data(), bright.data.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyBaseline4K)->Unit(benchmark::kMillisecond);

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
