#include <cstdlib>

#include "device/environment_text.h"
#include "device/windows_text.h"

namespace raid {

std::string EnvironmentText(const char* name) {
    const wchar_t* value = _wgetenv(Wide(name).c_str());
    return value != nullptr ? Utf8(value) : std::string();
}

}  // namespace raid
