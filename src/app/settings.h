#pragma once
#include "base/settings_schema.h"

namespace tovasen {

// What the settings' defaults depend on, from this system: the primary screen's size, the
// user's language and Desktop folder.
TSettingsEnvironment SystemSettingsEnvironment();

}  // namespace tovasen
