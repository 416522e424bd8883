// The joining work of a scrolling capture, without the screen: a 6000-row text document seen
// through a 500-row view with a header and a footer, stepped by about half the view. Against
// it, the bare copies of the same views into the stitcher's form, which every capture pays
// anyway: the ratio of the two is what matching and joining add.
#include <benchmark/benchmark.h>

#include <vector>

#include "scroll/scroll_stitcher.h"
#include "scrolled_document.h"

namespace {

using namespace tovasen;

struct Views {
    Views() : doc(test::ScrolledDocument::Text(800, 6000)) {
        doc.band = 500 - doc.header - doc.footer;
        for (int p = 0;; p = std::min(doc.MaxPosition(), p + 215)) {
            views.push_back(doc.View(p));
            if (p == doc.MaxPosition()) break;
        }
    }
    test::ScrolledDocument doc;
    std::vector<ViewPixels> views;
};

const Views& Document() {
    static const Views views;
    return views;
}

void BM_StitchDocument(benchmark::State& state) {
    const Views& d = Document();
    for (auto _ : state) {
        ScrollStitcher stitcher(d.views.front(), 65500);
        for (std::size_t i = 1; i < d.views.size(); ++i) benchmark::DoNotOptimize(stitcher.Add(d.views[i]));
        if (stitcher.Height() != d.doc.header + d.doc.docHeight + d.doc.footer) state.SkipWithError("picture not whole");
    }
    state.counters["views"] = static_cast<double>(d.views.size());
}
BENCHMARK(BM_StitchDocument)->Unit(benchmark::kMillisecond);

// The baseline: each view copied once, as the grabber hands it over.
void BM_CopyViews(benchmark::State& state) {
    const Views& d = Document();
    for (auto _ : state) {
        for (const ViewPixels& view : d.views) {
            ViewPixels copy = view;
            benchmark::DoNotOptimize(copy.Row(0));
        }
    }
}
BENCHMARK(BM_CopyViews)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
