#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"

namespace tovasen {

// A recogniser language as the engine names it. All four names take part in a match: two
// languages may share a tag and differ only in their script.
struct TLanguage {
    std::wstring DisplayName;
    std::wstring LanguageTag;
    std::wstring NativeName;
    std::wstring Script;
};
using TLanguages = std::vector<TLanguage>;

// In pixels of the recognised picture.
struct TSRect {
    float X = 0, Y = 0, Width = 0, Height = 0;
};

struct TWord {
    std::wstring Text;
    TSRect Rect;
};
using TWords = std::vector<TWord>;

struct TLine {
    std::wstring Text;
    TWords Words;
};
using TLines = std::vector<TLine>;

enum class TStatus { stCompleted, stCanceled, stError };

struct TResult {
    TStatus Status = TStatus::stError;
    TLines Lines;
    std::wstring Text;
    double TextAngle = 0;  // 0 when the engine reports no angle
};

// A usage error of the recogniser: a bad rectangle, a language it does not offer, a second
// recognition while one runs.
class ERtOcrError : public Exception {
public:
    using Exception::Exception;
};

// A failed Windows Runtime call: the message is "Error $XXXXXXXX: " and the system's text.
class EWinRtError : public Exception {
public:
    EWinRtError(std::wstring message, std::int32_t code) : Exception(std::move(message)), FErrorCode(code) {}
    std::int32_t ErrorCode() const noexcept { return FErrorCode; }

private:
    std::int32_t FErrorCode;
};

}  // namespace tovasen
