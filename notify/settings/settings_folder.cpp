#include "notify/settings/settings_folder.h"

namespace raid {
namespace {

bool Set(const char* value) {
    return value != nullptr && value[0] != '\0';
}

}  // namespace

std::string ChooseSettingsFolder(const SettingsFolderInputs& inputs) {
    if (Set(inputs.configDirOverride)) {
        return inputs.configDirOverride;
    }
    if (inputs.runAsRoot) {
        return "/etc/raidgui";
    }
    // A relative XDG_CONFIG_HOME is invalid by the standard and ignored.
    if (Set(inputs.xdgConfigHome) && inputs.xdgConfigHome[0] == '/') {
        return std::string(inputs.xdgConfigHome) + "/raidgui";
    }
    if (Set(inputs.home)) {
        return std::string(inputs.home) + "/.config/raidgui";
    }
    return {};
}

std::string TemplateFolderText(const std::string& folder) {
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') {
        return folder;
    }
    return folder + "/";
}

}  // namespace raid
