#pragma once

#include <string>

namespace raid {

// The folder of the running executable, or empty text when it cannot be told.
std::string ExecutableFolder();

// Where the day files of the event log go: `envValue` (RAIDGUI_LOG_DIR, as
// the front end read it) when set, otherwise the executable's folder.
std::string ChooseLogFolder(const char* envValue);

}  // namespace raid
