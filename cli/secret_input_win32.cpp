#include <windows.h>

#include <iostream>

#include "cli/secret_input.h"
#include "device/windows_text.h"

namespace raid::cli {
namespace {

// A line typed at the console, read as UTF-16 so that it reaches the program
// as UTF-8 whatever the console's code page.
bool ReadConsoleLine(HANDLE input, std::string& line) {
    std::wstring typed;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        if (ReadConsoleW(input, &c, 1, &got, nullptr) == 0) {
            return false;
        }
        if (got == 0 || c == L'\n') {
            break;
        }
        typed += c;
    }
    line = Utf8(typed);
    return true;
}

}  // namespace

bool ReadSecretLine(std::string& line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
    if (console && SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) == 0) {
        return false;  // never read a password that would be shown
    }
    // A pipe or a file is taken as the UTF-8 bytes it holds.
    const bool read = console ? ReadConsoleLine(input, line)
                              : static_cast<bool>(std::getline(std::cin, line)) || std::cin.eof();
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
