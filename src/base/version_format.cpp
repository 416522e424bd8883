#include "base/version_format.h"

namespace tovasen {

std::wstring FormatVersion(std::wstring_view format, const std::array<unsigned, 4>& parts) {
    std::wstring out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size()) {
            if (format[i + 1] == L'd') {
                out += std::to_wstring(next < parts.size() ? parts[next] : 0u);
                ++next;
                ++i;
                continue;
            }
            if (format[i + 1] == L'%') {
                out += L'%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

}  // namespace tovasen
