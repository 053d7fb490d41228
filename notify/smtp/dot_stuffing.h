#pragma once

#include <string>
#include <string_view>

namespace raid {

// A body line as it goes after DATA: one more "." in front of a line that starts with ".",
// so the server never takes it for the end of the message.
std::string DotStuffed(std::string_view line);

}  // namespace raid
