#include <unistd.h>

#include <array>

#include "app/folders.h"

namespace raid {

std::string ExecutableFolder() {
    std::array<char, 4096> path{};
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) {
        return {};
    }
    std::string text(path.data(), static_cast<std::size_t>(n));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace raid
