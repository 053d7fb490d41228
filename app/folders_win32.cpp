#include <windows.h>

#include <array>

#include "app/folders.h"
#include "device/environment_text.h"
#include "device/windows_text.h"

namespace raid {

std::string ExecutableFolder() {
    // Wide, so that a folder named outside the ANSI code page is found;
    // long paths are allowed by the manifest.
    std::array<wchar_t, 32768> path{};
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) {
        return {};
    }
    const std::string text = Utf8(std::wstring_view(path.data(), n));
    const auto slash = text.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

// Windows keeps the logs next to the executable, as the program always did.
LogFolder HostLogFolder() {
    if (const std::string named = EnvironmentText("RAIDGUI_LOG_DIR"); !named.empty()) {
        return PrepareLogFolder(named, 0700);
    }
    const std::string folder = ExecutableFolder();
    return {folder.empty() ? std::string(".") : folder, {}};
}

}  // namespace raid
