#pragma once

#include <string>
#include <string_view>

namespace raid {

// RFC 4648 standard alphabet with "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);

}  // namespace raid
