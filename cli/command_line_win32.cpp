#include <windows.h>
// CommandLineToArgvW
#include <shellapi.h>

#include "cli/command_line.h"
#include "device/windows_text.h"

namespace raid::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        args.push_back(Utf8(wide[i]));
    }
    LocalFree(wide);
    return args;
}

void UseUtf8Console() {
    // Only the console's own code page changes; output to a file or a pipe
    // is UTF-8 bytes either way.
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace raid::cli
