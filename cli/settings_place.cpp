#include "cli/settings_place.h"

#include <cstdio>

namespace raid::cli {

std::optional<SettingsPlace> SettingsPlaceOrComplain() {
    SettingsPlace place = HostSettingsPlace();
    if (!place.Known()) {
        std::fprintf(stderr, "raidcli: %s\n", kNoSettingsFolder);
        return std::nullopt;
    }
    return place;
}

}  // namespace raid::cli
