#include <unistd.h>

#include <cstdlib>

#include "notify/settings/settings_folder.h"

namespace raid {

std::string HostSettingsFolder() {
    return ChooseSettingsFolder({
        .configDirOverride = std::getenv("RAIDGUI_CONFIG_DIR"),
        .runAsRoot = ::geteuid() == 0,
        .xdgConfigHome = std::getenv("XDG_CONFIG_HOME"),
        .home = std::getenv("HOME"),
    });
}

}  // namespace raid
