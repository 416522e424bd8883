#include "history/history_settings.h"

#include "base/settings_registry.h"

namespace tovasen {

THistorySettings ReadHistorySettings() {
    // The history's values depend on nothing of the system's.
    const TSettings stored = ReadRegistrySettings(TSettingsEnvironment{});
    THistorySettings settings;
    settings.Keep = stored.history_keep;
    settings.Limits.MaxEntries = static_cast<std::size_t>(stored.history_max_entries);
    settings.Limits.MaxCopyBytes = std::int64_t{stored.history_max_copy_mb} << 20;
    return settings;
}

void WriteKeepHistory(bool keep) { RegistrySettingsWriter().Write(&TSettings::history_keep, keep); }

}  // namespace tovasen
