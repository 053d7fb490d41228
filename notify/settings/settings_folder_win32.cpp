#include "notify/settings/settings_folder.h"

namespace raid {

// The settings live in the registry; the folder only matters for the file
// backend, which Windows does not use.
std::string HostSettingsFolder() {
    return {};
}

}  // namespace raid
