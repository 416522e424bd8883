// The editor's core on a full-HD picture: memory of 1000 undo steps against keeping a copy of
// the object list per step, one drag step (model and picture refresh) against redoing the whole
// picture, hit-testing among 200 objects, pixelating, and saving an editable PNG against a
// plain one. The painter here fills boxes: the real one (GDI+) is measured under Wine.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "editor/editable_png.h"
#include "editor_objects.h"
#include "editor/editor_scene.h"
#include "editor/redaction.h"
#include "encode/png_encoder.h"

// Live heap bytes, counted by this program's own operator new.
namespace {
std::atomic<long long> gLive{0};
constexpr std::size_t kHeader = 16;
}  // namespace

void* operator new(std::size_t n) {
    auto* p = static_cast<unsigned char*>(std::malloc(n + kHeader));
    if (!p) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(p) = n;
    gLive += static_cast<long long>(n);
    return p + kHeader;
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept {
    if (!p) return;
    auto* base = static_cast<unsigned char*>(p) - kHeader;
    gLive -= static_cast<long long>(*reinterpret_cast<std::size_t*>(base));
    std::free(base);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using namespace tovasen;

constexpr int kW = 1920, kH = 1080;

TPixelBuffer Picture() {
    TPixelBuffer p(kW, kH);
    std::uint32_t s = 1;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            s = s * 1664525u + 1013904223u;
            p.At(x, y) = 0xFF000000u | ((x * 7 + y) & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | (s >> 28);
        }
    }
    return p;
}

void PaintBoxes(TPixelBuffer& picture, const TDocument& doc, const TBox& clip, std::uint32_t) {
    for (const TAnnotation* a : PaintOrder(doc)) {
        if (IsRedaction(a->Kind)) continue;
        const TBox box = Intersection(Intersection(PaintBounds(*a), clip), picture.Bounds());
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) picture.At(x, y) = (picture.At(x, y) >> 1 & 0x7F7F7F7F) | a->Color;
        }
    }
}

void AddObjects(TEditorModel& model, int count) { bench::AddSampleObjects(model, count, kW, kH); }

// 1000 actions as a user makes them: drawing, moving, resizing, pen strokes, deleting.
void ThousandSteps(TEditorModel& model, std::vector<std::vector<TAnnotation>>* snapshots) {
    const TToolStyle style;
    for (int i = 0; i < 1000; ++i) {
        const int x = 100 + (i * 37) % 1600, y = 100 + (i * 23) % 800;
        const int kind = i % 5;
        const TTool tool = kind == 0 ? TTool::Rectangle : kind == 1 ? TTool::Pen : kind == 2 ? TTool::Arrow : TTool::Select;
        model.PointerDown({x, y}, tool, style, 3);
        for (int k = 1; k <= 60; ++k) model.PointerMove({x + k * 3, y + (k * 7) % 50});
        model.PointerUp({x + 180, y + 40});
        if (kind == 4 && !model.Selection().empty()) model.DeleteSelection();
        if (snapshots) snapshots->push_back(model.Document().Objects);
    }
}

void BM_ThousandUndoSteps(benchmark::State& state) {
    for (auto _ : state) {
        TEditorModel model(TDocument::ForPicture(kW, kH));
        AddObjects(model, 200);
        const long long before = gLive;
        ThousandSteps(model, nullptr);
        const long long undo = gLive - before;
        std::vector<std::vector<TAnnotation>> snapshots;
        TEditorModel naive(TDocument::ForPicture(kW, kH));
        AddObjects(naive, 200);
        const long long naiveBefore = gLive;
        ThousandSteps(naive, &snapshots);
        const long long copies = gLive - naiveBefore - undo;  // the same history plus a copy per step
        state.counters["undo_MB"] = static_cast<double>(undo) / (1 << 20);
        state.counters["steps"] = static_cast<double>(model.UndoSteps());
        state.counters["copy_per_step_MB"] = static_cast<double>(copies) / (1 << 20);
        state.counters["ratio"] = static_cast<double>(undo) / static_cast<double>(copies);
    }
}
BENCHMARK(BM_ThousandUndoSteps)->Iterations(1)->Unit(benchmark::kMillisecond);

// The editor's pictures for a full-HD capture (base, with redactions, shown), for scale.
void BM_ScenePictures(benchmark::State& state) {
    for (auto _ : state) {
        const long long before = gLive;
        TEditorScene scene(Picture(), TDocument::ForPicture(kW, kH), PaintBoxes);
        state.counters["pictures_MB"] = static_cast<double>(gLive - before) / (1 << 20);
    }
}
BENCHMARK(BM_ScenePictures)->Iterations(1)->Unit(benchmark::kMillisecond);

// One mouse move while dragging a selected object among 200, redoing only what changed.
// 200 objects and a rectangle among them, grabbed by its edge.
std::unique_ptr<TEditorScene> DraggingAmong200() {
    auto scene = std::make_unique<TEditorScene>(Picture(), TDocument::ForPicture(kW, kH), PaintBoxes);
    AddObjects(scene->Model(), 200);
    scene->Refresh(TBox{0, 0, kW, kH});
    scene->Model().PointerDown({900, 500}, TTool::Rectangle, TToolStyle{}, 3);
    scene->Model().PointerMove({1000, 560});
    scene->Model().PointerUp({1000, 560});
    scene->Model().PointerDown({900, 530}, TTool::Select, TToolStyle{}, 3);
    return scene;
}

void BM_DragStep200(benchmark::State& state) {
    const auto owned = DraggingAmong200();
    TEditorScene& scene = *owned;
    int step = 0;
    for (auto _ : state) {
        ++step;
        benchmark::DoNotOptimize(scene.Refresh(scene.Model().PointerMove({900 + step % 200, 530 + step % 37})));
    }
}
BENCHMARK(BM_DragStep200)->Unit(benchmark::kMicrosecond);

// The same step redoing the whole picture: what a repaint of everything costs.
void BM_DragStep200Full(benchmark::State& state) {
    const auto owned = DraggingAmong200();
    TEditorScene& scene = *owned;
    int step = 0;
    for (auto _ : state) {
        ++step;
        scene.Model().PointerMove({900 + step % 200, 530 + step % 37});
        benchmark::DoNotOptimize(scene.Refresh(TBox{0, 0, kW, kH}));
    }
}
BENCHMARK(BM_DragStep200Full)->Unit(benchmark::kMicrosecond);

void BM_HitTest200(benchmark::State& state) {
    TEditorModel model(TDocument::ForPicture(kW, kH));
    AddObjects(model, 200);
    int i = 0;
    for (auto _ : state) {
        ++i;
        benchmark::DoNotOptimize(ObjectAt(model.Document(), {(i * 131) % kW, (i * 71) % kH}, 3));
    }
}
BENCHMARK(BM_HitTest200)->Unit(benchmark::kMicrosecond);

void BM_PixelateFullHd(benchmark::State& state) {
    const TPixelBuffer source = Picture();
    for (auto _ : state) {
        TPixelBuffer image = source;
        Pixelate(image, image.Bounds(), 12, 7);
        benchmark::DoNotOptimize(image.Data());
    }
}
BENCHMARK(BM_PixelateFullHd)->Unit(benchmark::kMillisecond);

void BM_CopyFullHd(benchmark::State& state) {
    const TPixelBuffer source = Picture();
    for (auto _ : state) {
        TPixelBuffer image = source;
        benchmark::DoNotOptimize(image.Data());
    }
}
BENCHMARK(BM_CopyFullHd)->Unit(benchmark::kMillisecond);

// Saving with 50 objects and their restore tiles, against the plain PNG of the same picture.
void BM_SaveEditablePng(benchmark::State& state) {
    TEditorScene scene(Picture(), TDocument::ForPicture(kW, kH), PaintBoxes);
    AddObjects(scene.Model(), 50);
    std::size_t size = 0;
    for (auto _ : state) size = EncodeEditablePng(scene.Flatten()).Png.size();
    state.counters["file_KB"] = static_cast<double>(size) / 1024;
}
BENCHMARK(BM_SaveEditablePng)->Unit(benchmark::kMillisecond);

void BM_SavePlainPng(benchmark::State& state) {
    const TPixelBuffer picture = Picture();
    std::size_t size = 0;
    for (auto _ : state) size = EncodePng(picture.View()).size();
    state.counters["file_KB"] = static_cast<double>(size) / 1024;
}
BENCHMARK(BM_SavePlainPng)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
