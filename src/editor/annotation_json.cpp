#include "editor/annotation_json.h"

#include <array>
#include <cstdio>
#include <set>
#include <string>

#include "base/untrusted_json.h"
#include "base/utf_convert.h"

namespace tovasen {
namespace {

using nlohmann::json;

constexpr std::array<const char*, 10> kKindNames = {"rectangle", "ellipse", "arrow", "line", "pen",
                                                    "highlighter", "text", "step", "pixelate", "blackout"};

[[noreturn]] void Fail(const std::string& what) { throw TAnnotationFormatError("annotations: " + what); }

std::string ColorText(std::uint32_t color) {
    char text[8];
    std::snprintf(text, sizeof(text), "#%06X", color & 0xFFFFFFu);
    return text;
}

std::uint32_t ParseColor(const json& value) {
    const std::string& text = StringOf(value, "a colour");
    if (text.size() != 7 || text[0] != '#') Fail("a colour is not #RRGGBB");
    std::uint32_t color = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = text[i];
        int digit = 0;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else Fail("a colour is not #RRGGBB");
        color = color * 16 + static_cast<std::uint32_t>(digit);
    }
    return color;
}

TShapeKind ParseKind(const json& value) {
    const std::string& name = StringOf(value, "a kind");
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        if (name == kKindNames[i]) return static_cast<TShapeKind>(i);
    }
    Fail("unknown kind \"" + name.substr(0, 40) + "\"");
}

// How many points each kind needs: exactly two, exactly one, or at least one.
void CheckPointCount(TShapeKind kind, std::size_t count) {
    const bool ok = kind == TShapeKind::Step ? count == 1 : IsStrokeKind(kind) ? count >= 1 : count == 2;
    if (!ok) Fail("wrong number of points for a " + std::string(kKindNames[static_cast<std::size_t>(kind)]));
}

}  // namespace

json ObjectsToJson(const std::vector<TAnnotation>& objects) {
    json list = json::array();
    for (const TAnnotation& a : objects) {
        json points = json::array();
        for (const TPointI& p : a.Points) points.push_back({p.x, p.y});
        json item = {{"id", a.Id},
                     {"kind", kKindNames[static_cast<std::size_t>(a.Kind)]},
                     {"color", ColorText(a.Color)},
                     {"size", a.Size},
                     {"points", std::move(points)}};
        if (a.Kind == TShapeKind::Text) item["text"] = WideToUtf8(a.Text);
        if (a.Kind == TShapeKind::Step) item["serial"] = a.Serial;
        list.push_back(std::move(item));
    }
    return list;
}

namespace {

std::vector<TAnnotation> ReadObjects(const json& list) {
    const json::array_t& items = ArrayOf(list, "the object list");
    if (items.size() > kMaxObjects) Fail("too many objects");
    std::vector<TAnnotation> objects;
    objects.reserve(items.size());
    std::set<std::uint32_t> ids, serials;
    std::size_t totalPoints = 0, totalText = 0;
    for (const json& item : items) {
        if (!item.is_object()) Fail("an object is not a JSON object");
        TAnnotation a;
        a.Id = static_cast<std::uint32_t>(IntegerIn(Member(item, "id"), "\"id\"", 1, 0xFFFFFFF0LL));
        if (!ids.insert(a.Id).second) Fail("two objects share an id");
        a.Kind = ParseKind(Member(item, "kind"));
        a.Color = ParseColor(Member(item, "color"));
        a.Size = ClampSize(a.Kind, static_cast<int>(IntegerIn(Member(item, "size"), "\"size\"", -1000000, 1000000)));
        const json::array_t& points = ArrayOf(Member(item, "points"), "\"points\"");
        totalPoints += points.size();
        if (totalPoints > kMaxPoints) Fail("too many points");
        CheckPointCount(a.Kind, points.size());
        a.Points.reserve(points.size());
        for (const json& p : points) {
            const json::array_t& xy = ArrayOf(p, "a point");
            if (xy.size() != 2) Fail("a point is not [x, y]");
            a.Points.push_back({static_cast<int>(IntegerIn(xy[0], "a point", -kMaxCoordinate, kMaxCoordinate)),
                                static_cast<int>(IntegerIn(xy[1], "a point", -kMaxCoordinate, kMaxCoordinate))});
        }
        if (a.Kind == TShapeKind::Text) {
            const json* text = OptionalMember(item, "text");
            if (!text) Fail("a text object has no text");
            a.Text = Utf8ToWide(StringOf(*text, "a text"));
            totalText += a.Text.size();
            if (a.Text.size() > kMaxTextUnits || totalText > kMaxTextUnitsTotal) Fail("a text is too long");
        }
        if (a.Kind == TShapeKind::Step) {
            a.Serial = static_cast<std::uint32_t>(IntegerIn(Member(item, "serial"), "\"serial\"", 1, 0xFFFFFFF0LL));
            if (!serials.insert(a.Serial).second) Fail("two steps share a serial");
        }
        objects.push_back(std::move(a));
    }
    return objects;
}

}  // namespace

std::vector<TAnnotation> ObjectsFromJson(const json& list) {
    try {
        return ReadObjects(list);
    } catch (const EUntrustedJson& e) {
        Fail(WideToUtf8(e.Message()));
    }
}

}  // namespace tovasen
