#include <windows.h>

#include <array>

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

}  // namespace raid
