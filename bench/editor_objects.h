#pragma once
// The objects the editor benchmarks draw over a picture, native and under Wine alike.
#include <string>

#include "editor/editor_model.h"

namespace tovasen::bench {

// count objects of every drawn kind spread over a width x height picture.
inline void AddSampleObjects(TEditorModel& model, int count, int width, int height) {
    static const TShapeKind kinds[] = {TShapeKind::Rectangle, TShapeKind::Arrow, TShapeKind::Ellipse, TShapeKind::Line,
                                       TShapeKind::Pen, TShapeKind::Step, TShapeKind::Text, TShapeKind::Highlighter};
    for (int i = 0; i < count; ++i) {
        TAnnotation a;
        a.Kind = kinds[i % 8];
        const int x = (i * 97) % (width - 200), y = (i * 53) % (height - 120);
        a.Points = {{x, y}, {x + 120, y + 80}};
        if (a.Kind == TShapeKind::Step) a.Points = {{x, y}};
        if (a.Kind == TShapeKind::Pen || a.Kind == TShapeKind::Highlighter) {
            for (int k = 2; k < 40; ++k) a.Points.push_back({x + 3 * k, y + (k * k) % 60});
        }
        if (a.Kind == TShapeKind::Text) {
            a.Size = 20;
            a.Text = L"Step " + std::to_wstring(i);
        }
        model.Add(a);
    }
}

}  // namespace tovasen::bench
