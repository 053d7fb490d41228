#pragma once

#include <memory>
#include <string>

#include "notify/settings/settings_store.h"

namespace raid {

struct HostSettingsStore {
    std::unique_ptr<SettingsStore> store;
    std::string location;           // where the settings live, for messages
    std::string templateDirectory;  // the template folder while the key does not exist
    std::string problem;            // why the stored settings could not be used, or empty
};

// The platform's settings key: on Linux the settings file in `folder`
// (HostSettingsFolder()), on Windows the registry key of the program.
HostSettingsStore OpenHostSettingsStore(const std::string& folder);

}  // namespace raid
