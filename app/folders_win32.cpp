#include <windows.h>

#include <array>
#include <cstdlib>

#include "app/folders.h"

namespace raid {

std::string ExecutableFolder() {
    std::array<char, MAX_PATH> path{};
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) {
        return {};
    }
    std::string text(path.data(), n);
    const auto slash = text.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

// Windows keeps the logs next to the executable, as the program always did.
LogFolder HostLogFolder() {
    const char* named = std::getenv("RAIDGUI_LOG_DIR");
    if (named != nullptr && named[0] != '\0') {
        return PrepareLogFolder(named, 0700);
    }
    const std::string folder = ExecutableFolder();
    return {folder.empty() ? std::string(".") : folder, {}};
}

}  // namespace raid
