#include "app/folders.h"

#include <filesystem>
#include <system_error>

namespace raid {

std::string ChooseLogFolder(const char* envValue) {
    if (envValue != nullptr && envValue[0] != '\0') {
        // A folder named for the logs is made when missing; if that fails
        // too, the first save says why and the lines stay in memory.
        std::error_code ignored;
        std::filesystem::create_directories(envValue, ignored);
        return envValue;
    }
    const std::string folder = ExecutableFolder();
    return folder.empty() ? std::string(".") : folder;
}

}  // namespace raid
