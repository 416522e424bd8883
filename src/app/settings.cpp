#include "app/settings.h"

#include <windows.h>

#include "base/config.h"
#include "base/settings_registry.h"
#include "i18n/translate_component.h"

namespace tovasen {

TSettingsEnvironment SystemSettingsEnvironment() {
    TSettingsEnvironment env = ScreenSettingsEnvironment();
    env.userLanguage = GetUserLanguage();
    env.desktopFolder = DesktopFolder();
    return env;
}

}  // namespace tovasen
