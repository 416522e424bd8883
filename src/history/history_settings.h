#pragma once
// The history's settings: whether to keep it, and how much of it. Names, defaults and limits
// sit together here so that they can join the program's settings table in one move.
#include <cstdint>

#include "history/history_store.h"

namespace tovasen {

class TConfig;

struct THistorySettingSpec {
    const wchar_t* Name;
    int Default;
    int Min;
    int Max;
};

inline constexpr THistorySettingSpec kKeepHistory{L"history_keep", 1, 0, 1};
inline constexpr THistorySettingSpec kHistoryMaxEntries{L"history_max_entries", 1000, 10, 100000};
// Megabytes of the copies of captures that wrote no file of their own (2 GB by default).
inline constexpr THistorySettingSpec kHistoryMaxCopyMegabytes{L"history_max_copy_mb", 2048, 16, 1048576};

struct THistorySettings {
    bool Keep = true;
    THistoryLimits Limits;
};

// A stored value outside its limits is brought within them; a missing one is its default.
THistorySettings ReadHistorySettings(const TConfig& config);
void WriteKeepHistory(TConfig& config, bool keep);

}  // namespace tovasen
