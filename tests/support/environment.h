#pragma once

#include <cstdlib>

namespace raid::testing {

// Sets or removes an environment variable of this process.
inline int SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    return ::_putenv_s(name, value);
#else
    return ::setenv(name, value, 1);
#endif
}
inline int UnsetEnvironment(const char* name) {
#ifdef _WIN32
    return ::_putenv_s(name, "");
#else
    return ::unsetenv(name);
#endif
}

}  // namespace raid::testing
