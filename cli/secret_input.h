#pragma once

#include <string>

namespace raid::cli {

// One line of standard input without its line end. When standard input is a
// terminal, what is typed is not echoed. False when nothing could be read.
bool ReadSecretLine(std::string& line);

}  // namespace raid::cli
