#include "editor/document.h"

#include <algorithm>

namespace tovasen {

TDocument TDocument::ForPicture(int width, int height) {
    TDocument doc;
    doc.Width = width;
    doc.Height = height;
    doc.Crop = TBox{0, 0, width, height};
    return doc;
}

std::size_t TDocument::IndexOf(std::uint32_t id) const noexcept {
    for (std::size_t i = 0; i < Objects.size(); ++i) {
        if (Objects[i].Id == id) return i;
    }
    return npos;
}

const TAnnotation* TDocument::Find(std::uint32_t id) const noexcept {
    const std::size_t i = IndexOf(id);
    return i == npos ? nullptr : &Objects[i];
}

void TDocument::Register(TAnnotation& a) {
    a.Id = NextId++;
    if (a.Kind == TShapeKind::Step) a.Serial = NextSerial++;
}

TDocumentUse UseOf(const TDocument& doc) noexcept {
    TDocumentUse use;
    use.Objects = doc.Objects.size();
    for (const TAnnotation& a : doc.Objects) {
        use.Points += a.Points.size();
        use.TextUnits += a.Text.size();
    }
    return use;
}

void FitToLimits(const TDocument& doc, TAnnotation& a) {
    for (TPointI& p : a.Points) {
        p.x = std::clamp(p.x, -kMaxCoordinate, kMaxCoordinate);
        p.y = std::clamp(p.y, -kMaxCoordinate, kMaxCoordinate);
    }
    std::size_t others = 0;
    for (const TAnnotation& other : doc.Objects) {
        if (other.Id != a.Id) others += other.Text.size();
    }
    const std::size_t room = std::min(kMaxTextUnits, kMaxTextUnitsTotal - std::min(others, kMaxTextUnitsTotal));
    if (a.Text.size() > room) {
        std::size_t keep = room;
        // Never half a surrogate pair.
        if (keep > 0 && a.Text[keep - 1] >= 0xD800 && a.Text[keep - 1] <= 0xDBFF) --keep;
        a.Text.resize(keep);
    }
}

int StepNumber(const TDocument& doc, const TAnnotation& step) noexcept {
    int number = 1;
    for (const TAnnotation& other : doc.Objects) {
        if (other.Kind == TShapeKind::Step && other.Serial < step.Serial) ++number;
    }
    return number;
}

std::vector<const TAnnotation*> PaintOrder(const TDocument& doc) {
    std::vector<const TAnnotation*> order;
    order.reserve(doc.Objects.size());
    for (const TAnnotation& a : doc.Objects) {
        if (IsRedaction(a.Kind)) order.push_back(&a);
    }
    for (const TAnnotation& a : doc.Objects) {
        if (!IsRedaction(a.Kind)) order.push_back(&a);
    }
    return order;
}

std::uint32_t ObjectAt(const TDocument& doc, TPointI p, double tolerance) {
    const std::vector<const TAnnotation*> order = PaintOrder(doc);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (HitTest(**it, p, tolerance)) return (*it)->Id;
    }
    return 0;
}

}  // namespace tovasen
