#include "app/folders.h"

#include "device/utf8_path.h"

#include <filesystem>
#include <system_error>

namespace raid {
namespace {

bool Set(const char* value) {
    return value != nullptr && value[0] != '\0';
}

}  // namespace

std::string ChooseLogFolder(const LogFolderInputs& inputs) {
    if (Set(inputs.logDirOverride)) {
        return inputs.logDirOverride;
    }
    if (inputs.runAsRoot) {
        return "/var/log/raidgui";
    }
    // A relative XDG_STATE_HOME is invalid by the standard and ignored.
    if (Set(inputs.xdgStateHome) && inputs.xdgStateHome[0] == '/') {
        return std::string(inputs.xdgStateHome) + "/raidgui";
    }
    if (Set(inputs.home)) {
        return std::string(inputs.home) + "/.local/state/raidgui";
    }
    return {};
}

LogFolder PrepareLogFolder(const std::string& path, unsigned mode) {
    LogFolder result{path, {}};
    if (path.empty()) {
        result.problem = "No folder for the event log: set RAIDGUI_LOG_DIR or HOME";
        return result;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = PathFromUtf8(path);
    if (fs::is_directory(folder, error)) {
        return result;
    }
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        fs::create_directories(folder.parent_path(), error);
    }
    if (!error && fs::create_directory(folder, error) && !error) {
        fs::permissions(folder, static_cast<fs::perms>(mode), fs::perm_options::replace, error);
    }
    if (error || !fs::is_directory(folder)) {
        result.problem = "The event log folder " + path +
                         " cannot be made: " + (error ? error.message() : "not a folder");
    }
    return result;
}

}  // namespace raid
