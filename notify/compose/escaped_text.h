#pragma once

#include <string>
#include <string_view>

namespace raid {

// `text` for one line of a log or a terminal: control characters become
// escapes (\r, \n, \t, \0, \xNN), so a stored text cannot start a line of its
// own or move the cursor. Everything else, UTF-8 included, stays.
std::string EscapedText(std::string_view text);

}  // namespace raid
