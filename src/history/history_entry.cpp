#include "history/history_entry.h"

namespace tovasen {
std::wstring ModeName(TCaptureMode mode) { return std::wstring(InfoOf(mode).historyName); }
std::wstring TargetName(TSaveTarget target) { return std::wstring(InfoOf(target).historyName); }

bool RecordedTarget(const std::wstring& targetName) {
    for (const TTargetInfo& row : kSaveTargets) {
        if (row.historyName == targetName) return row.records;
    }
    return false;
}

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace tovasen
