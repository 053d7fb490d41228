#include <windows.h>

#include <iostream>

#include "cli/secret_input.h"

namespace raid::cli {

bool ReadSecretLine(std::string& line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
    if (console && SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) == 0) {
        return false;  // never read a password that would be shown
    }
    const bool read = static_cast<bool>(std::getline(std::cin, line)) || std::cin.eof();
    if (console) {
        SetConsoleMode(input, mode);
        std::cout << std::endl;
    }
    if (read && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return read;
}

}  // namespace raid::cli
