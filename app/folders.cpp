#include "app/folders.h"

namespace raid {

std::string ChooseLogFolder(const char* envValue) {
    if (envValue != nullptr && envValue[0] != '\0') {
        return envValue;
    }
    const std::string folder = ExecutableFolder();
    return folder.empty() ? std::string(".") : folder;
}

}  // namespace raid
