#pragma once

#include <string>
#include <vector>

namespace raid::cli {

// The program's arguments in UTF-8, the program's own text. On Windows they
// are read again from the wide command line: `argv` holds them in the ANSI
// code page, which garbles what it cannot hold and which mail would label as
// UTF-8. Elsewhere `argv` as given.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show the program's UTF-8 output as such (Windows: the
// console's output code page); nothing elsewhere.
void UseUtf8Console();

}  // namespace raid::cli
