#include "device/environment_text.h"

#include <cstdlib>

namespace raid {

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace raid
