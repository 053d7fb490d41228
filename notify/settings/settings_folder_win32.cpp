#include "device/environment_text.h"
#include "notify/settings/settings_folder.h"

namespace raid {

SettingsPlace HostSettingsPlace() {
    if (std::string named = EnvironmentText("RAIDGUI_CONFIG_DIR"); !named.empty()) {
        return {.folder = std::move(named), .registry = false};
    }
    return {.folder = {}, .registry = true};
}

}  // namespace raid
