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

// Where the running process keeps its settings: the settings file in
// `folder`, or on Windows the program's registry key.
struct SettingsPlace {
    std::string folder;
    bool registry = false;
    bool Known() const { return registry || !folder.empty(); }
};

// Why a process has no settings place (Linux without a home folder).
inline constexpr const char* kNoSettingsFolder =
    "no settings folder: set RAIDGUI_CONFIG_DIR or HOME";

// RAIDGUI_CONFIG_DIR when set (tests and a second set of settings use it on
// Windows too); otherwise on Linux the folder ChooseSettingsFolder tells, on
// Windows the registry key.
SettingsPlace HostSettingsPlace();

// The template folder as the settings store keeps it ("FilePath"): the folder
// with its trailing separator.
std::string TemplateFolderText(const std::string& folder);

}  // namespace raid
