#pragma once

#include <cstdlib>

#ifdef _WIN32
#include "device/windows_text.h"
#endif

namespace raid::testing {

// Sets or removes an environment variable of this process. Names and values
// are UTF-8, as everywhere in the program; Windows keeps them in its wide
// environment.
inline int SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    return ::_wputenv_s(Wide(name).c_str(), Wide(value).c_str());
#else
    return ::setenv(name, value, 1);
#endif
}
inline int UnsetEnvironment(const char* name) {
#ifdef _WIN32
    return ::_wputenv_s(Wide(name).c_str(), L"");
#else
    return ::unsetenv(name);
#endif
}

}  // namespace raid::testing
