#include "editor/annotation_json.h"

#include <array>
#include <cstdio>
#include <set>
#include <string>

#include "base/utf_convert.h"

namespace tovasen {
namespace {

using nlohmann::json;

// Generous for any real picture, small enough that a hostile file cannot exhaust memory.
constexpr std::size_t kMaxObjects = 20000;
constexpr std::size_t kMaxPoints = 2000000;  // over all objects
constexpr std::size_t kMaxTextBytes = 65536;
constexpr long long kMaxCoordinate = 1000000;

constexpr std::array<const char*, 10> kKindNames = {"rectangle", "ellipse", "arrow", "line", "pen",
                                                    "highlighter", "text", "step", "pixelate", "blackout"};

[[noreturn]] void Fail(const std::string& what) { throw TAnnotationFormatError("annotations: " + what); }

std::string ColorText(std::uint32_t color) {
    char text[8];
    std::snprintf(text, sizeof(text), "#%06X", color & 0xFFFFFFu);
    return text;
}

std::uint32_t ParseColor(const json& value) {
    if (!value.is_string()) Fail("a colour is not a string");
    const std::string text = value.get<std::string>();
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

long long Integer(const json& object, const char* key, long long low, long long high) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer()) Fail(std::string("\"") + key + "\" is missing or not a whole number");
    const long long v = it->get<long long>();
    if (v < low || v > high) Fail(std::string("\"") + key + "\" is out of range");
    return v;
}

TShapeKind ParseKind(const json& value) {
    if (!value.is_string()) Fail("a kind is not a string");
    const std::string name = value.get<std::string>();
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

std::vector<TAnnotation> ObjectsFromJson(const json& list) {
    if (!list.is_array()) Fail("the object list is not a list");
    if (list.size() > kMaxObjects) Fail("too many objects");
    std::vector<TAnnotation> objects;
    objects.reserve(list.size());
    std::set<std::uint32_t> ids, serials;
    std::size_t totalPoints = 0;
    for (const json& item : list) {
        if (!item.is_object()) Fail("an object is not a JSON object");
        TAnnotation a;
        a.Id = static_cast<std::uint32_t>(Integer(item, "id", 1, 0xFFFFFFF0LL));
        if (!ids.insert(a.Id).second) Fail("two objects share an id");
        a.Kind = ParseKind(item.value("kind", json()));
        a.Color = ParseColor(item.value("color", json()));
        a.Size = ClampSize(a.Kind, static_cast<int>(Integer(item, "size", -1000000, 1000000)));
        const auto points = item.find("points");
        if (points == item.end() || !points->is_array()) Fail("\"points\" is missing or not a list");
        totalPoints += points->size();
        if (totalPoints > kMaxPoints) Fail("too many points");
        CheckPointCount(a.Kind, points->size());
        a.Points.reserve(points->size());
        for (const json& p : *points) {
            if (!p.is_array() || p.size() != 2 || !p[0].is_number_integer() || !p[1].is_number_integer()) {
                Fail("a point is not [x, y]");
            }
            const long long x = p[0].get<long long>(), y = p[1].get<long long>();
            if (x < -kMaxCoordinate || x > kMaxCoordinate || y < -kMaxCoordinate || y > kMaxCoordinate) {
                Fail("a point is out of range");
            }
            a.Points.push_back({static_cast<int>(x), static_cast<int>(y)});
        }
        if (a.Kind == TShapeKind::Text) {
            const auto text = item.find("text");
            if (text == item.end() || !text->is_string()) Fail("a text object has no text");
            const std::string utf8 = text->get<std::string>();
            if (utf8.size() > kMaxTextBytes) Fail("a text is too long");
            a.Text = Utf8ToWide(utf8);
        }
        if (a.Kind == TShapeKind::Step) {
            a.Serial = static_cast<std::uint32_t>(Integer(item, "serial", 1, 0xFFFFFFF0LL));
            if (!serials.insert(a.Serial).second) Fail("two steps share a serial");
        }
        objects.push_back(std::move(a));
    }
    return objects;
}

}  // namespace tovasen
