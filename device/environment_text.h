#pragma once

#include <string>

namespace raid {

// An environment variable's value in UTF-8; empty when it is not set. On
// Windows it is read from the wide environment, so a folder name outside the
// ANSI code page stays whole.
std::string EnvironmentText(const char* name);

}  // namespace raid
