#include "cli/command_line.h"

namespace raid::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8Console() {}

}  // namespace raid::cli
