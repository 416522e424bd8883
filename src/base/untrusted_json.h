#pragma once
#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/errors.h"

namespace tovasen {

// Every JSON text the program did not write in this very process goes through ReadUntrustedJson:
// commands from other programs, the annotations stored in a picture file, anything added later.
// What a reader may take from one text. Each reader names its own limits beside the reason
// they are enough; the defaults suit a small message.
struct TJsonLimits {
    std::size_t MaxBytes = 64 * 1024;   // checked before a byte is parsed
    std::size_t MaxDepth = 64;          // arrays and objects inside each other
    std::size_t MaxValues = 4096;       // every value, member key and element counted once
    std::size_t MaxStringBytes = 64 * 1024;  // one string or key, in UTF-8 bytes
};

// The one error of an untrusted JSON text: broken, over a limit, or of the wrong shape for the
// reader that asked. The message says which, for the person who has to understand the refusal.
class EUntrustedJson : public Exception {
public:
    using Exception::Exception;
};

// The text as a tree, or EUntrustedJson. The limits are checked while the text is read, so a
// refused text never costs more than its first MaxValues values: a deep or huge text is stopped
// at the value that crosses the line, never first built and then measured. The tree that comes
// back is at most MaxDepth deep, so copying or destroying it costs bounded stack.
nlohmann::json ReadUntrustedJson(std::string_view text, const TJsonLimits& limits);

// Accessors for reading a tree that came from ReadUntrustedJson: a missing member or one of
// the wrong type is EUntrustedJson naming the member, never a copy or a library exception.
const nlohmann::json& Member(const nlohmann::json& object, const char* name);
const nlohmann::json* OptionalMember(const nlohmann::json& object, const char* name);
long long IntegerIn(const nlohmann::json& value, const char* what, long long low, long long high);
const std::string& StringOf(const nlohmann::json& value, const char* what);
const nlohmann::json::array_t& ArrayOf(const nlohmann::json& value, const char* what);

}  // namespace tovasen
