#include <unistd.h>

#include <cstdlib>

#include "notify/settings/settings_folder.h"

namespace raid {

SettingsPlace HostSettingsPlace() {
    return {.folder = ChooseSettingsFolder({
                .configDirOverride = std::getenv("RAIDGUI_CONFIG_DIR"),
                .runAsRoot = ::geteuid() == 0,
                .xdgConfigHome = std::getenv("XDG_CONFIG_HOME"),
                .home = std::getenv("HOME"),
            }),
            .registry = false};
}

}  // namespace raid
