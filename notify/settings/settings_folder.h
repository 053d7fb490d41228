#pragma once

#include <string>

namespace raid {

// What decides where the settings live, as the front end read it from the
// environment (null or empty: not set).
struct SettingsFolderInputs {
    const char* configDirOverride = nullptr;  // RAIDGUI_CONFIG_DIR
    bool runAsRoot = false;
    const char* xdgConfigHome = nullptr;  // XDG_CONFIG_HOME
    const char* home = nullptr;           // HOME
};

// RAIDGUI_CONFIG_DIR when set; "/etc/raidgui" for root; otherwise the user's
// config folder ($XDG_CONFIG_HOME or $HOME/.config) + "/raidgui". Empty text
// when none can be told (no home folder).
std::string ChooseSettingsFolder(const SettingsFolderInputs& inputs);

// The same for the running process.
std::string HostSettingsFolder();

// The template folder as the settings store keeps it ("FilePath"): the folder
// with its trailing separator.
std::string TemplateFolderText(const std::string& folder);

}  // namespace raid
