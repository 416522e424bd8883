#pragma once
// The history's settings, as the program's settings table holds them: whether to keep it, and
// how much of it.
#include "history/history_store.h"

namespace tovasen {

struct THistorySettings {
    bool Keep = true;
    THistoryLimits Limits;
};

// Read now from the stored settings; a value outside its limits is brought within them, a
// missing one is its default.
THistorySettings ReadHistorySettings();
void WriteKeepHistory(bool keep);

}  // namespace tovasen
