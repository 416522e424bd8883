#include "base/capture_kinds.h"

namespace tovasen {

std::optional<TCaptureMode> CaptureModeNamed(std::wstring_view scriptName) {
    for (const TModeInfo& row : kCaptureModes) {
        if (row.scriptName == scriptName) return row.mode;
    }
    return std::nullopt;
}

}  // namespace tovasen
