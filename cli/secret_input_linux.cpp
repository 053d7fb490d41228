#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/secret_input.h"

namespace raid::cli {

bool ReadSecretLine(std::string& line) {
    termios saved{};
    const bool terminal = ::isatty(STDIN_FILENO) == 1 && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
            return false;  // never read a password that would be shown
        }
    }
    const bool read = static_cast<bool>(std::getline(std::cin, line)) || std::cin.eof();
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    }
    if (read && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return read;
}

}  // namespace raid::cli
