#pragma once
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "editor/annotation.h"

namespace tovasen {

// A stored list of objects that cannot be read: wrong shape, unknown kind, values out of range.
class TAnnotationFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Objects as JSON: [{"id":1,"kind":"rectangle","color":"#FF0000","size":3,"points":[[x,y],...]},
// ...], with "text" for text and "serial" for steps. Texts are UTF-8.
nlohmann::json ObjectsToJson(const std::vector<TAnnotation>& objects);
// Reads what ObjectsToJson wrote. The input may come from any file: every value is checked and
// the amounts are bounded; anything else raises TAnnotationFormatError.
std::vector<TAnnotation> ObjectsFromJson(const nlohmann::json& json);

}  // namespace tovasen
