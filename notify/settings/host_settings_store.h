#pragma once

#include <memory>
#include <string>

#include "notify/settings/settings_folder.h"
#include "notify/settings/settings_store.h"

namespace raid {

struct HostSettingsStore {
    std::unique_ptr<SettingsStore> store;
    std::string location;           // where the settings live, for messages
    std::string templateDirectory;  // the template folder while the key does not exist
    std::string problem;            // why the stored settings could not be used, or empty
};

// The settings at `place` (HostSettingsPlace()): the settings file in its
// folder, or the registry key of the program (Windows). A place that is not
// known gives an empty store that is never saved, with the problem told.
HostSettingsStore OpenHostSettingsStore(const SettingsPlace& place);

// The settings file in `folder`, the part both platforms share.
HostSettingsStore OpenSettingsFile(const std::string& folder);

}  // namespace raid
