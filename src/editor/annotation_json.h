#pragma once
#include <stdexcept>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/untrusted_json.h"
#include "editor/document.h"

namespace tovasen {

// A stored list of objects that cannot be read: wrong shape, unknown kind, values out of range.
class TAnnotationFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Objects as JSON: [{"id":1,"kind":"rectangle","color":"#FF0000","size":3,"points":[[x,y],...]},
// ...], with "text" for text and "serial" for steps. Texts are UTF-8.
nlohmann::json ObjectsToJson(const std::vector<TAnnotation>& objects);
// Reads what ObjectsToJson wrote, from a tree that ReadUntrustedJson made. The input may come
// from any file: every value is checked against the document limits the editor draws within;
// anything else raises TAnnotationFormatError.
std::vector<TAnnotation> ObjectsFromJson(const nlohmann::json& json);

// The stored annotation text of a picture at most this long, inflated: the largest the editor can
// write within the document limits (every point at its widest, every text unit escaped) is
// about 6.5 MB. The values bound the tree the reader may build: about 14 per object and 3 per
// point at the limits.
inline constexpr std::size_t kMaxAnnotationJsonBytes = 8u << 20;
inline constexpr TJsonLimits kAnnotationJsonLimits{kMaxAnnotationJsonBytes, 8, 20 * kMaxObjects + 3 * kMaxPoints + 64,
                                                   4 * kMaxTextUnits + 64};

}  // namespace tovasen
