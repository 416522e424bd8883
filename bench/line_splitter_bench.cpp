// Figures are in bytes the child wrote. How fast child-process output becomes lines: UTF-8 decoding plus line splitting, the work the
// runner's worker does for every chunk an encoder or tool prints.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/utf_convert.h"
#include "record/line_splitter.h"
#include "record/stream_decoder.h"

namespace {

// Encoder-like output: progress lines ended by a bare CR, log lines by CR LF, some Hangul.
std::string SampleOutput(std::size_t bytes) {
    std::string out;
    for (int i = 0; out.size() < bytes; ++i) {
        out += "frame=  " + std::to_string(i) + " fps= 30 q=25.0 size=    1024kB time=00:00:" +
               std::to_string(i % 60) + ".00 bitrate= 512.0kbits/s speed=1.00x    \r";
        if (i % 10 == 0) out += "Output #0, mp4, to 'C:\\\xeb\x85\xb9\xed\x99\x94\\T-001.mp4':\r\n";
    }
    out.resize(bytes);
    return out;
}

void BM_SplitLines(benchmark::State& state) {
    const std::string bytes = SampleOutput(1 << 20);
    const std::wstring text = tovasen::Utf8ToWide(bytes);
    std::vector<tovasen::TSplitLine> lines;
    for (auto _ : state) {
        tovasen::TLineSplitter splitter;
        for (std::size_t i = 0; i < text.size(); i += 1024) {
            lines.clear();
            splitter.Feed(std::wstring_view(text).substr(i, 1024), lines);
        }
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_SplitLines);

void BM_DecodeAndSplit(benchmark::State& state) {
    const std::string bytes = SampleOutput(1 << 20);
    std::vector<tovasen::TSplitLine> lines;
    for (auto _ : state) {
        tovasen::TUtf8StreamDecoder decoder;
        tovasen::TLineSplitter splitter;
        for (std::size_t i = 0; i < bytes.size(); i += 1024) {
            lines.clear();
            splitter.Feed(decoder.Decode(std::string_view(bytes).substr(i, 1024)), lines);
        }
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeAndSplit);

}  // namespace

BENCHMARK_MAIN();
