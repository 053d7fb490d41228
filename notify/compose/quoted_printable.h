#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace raid {

// One text line (no line break inside) in quoted-printable (RFC 2045): bytes outside printable
// ASCII, "=" and a blank or tab at the end as =XX, cut into lines of at most 76 characters
// with soft line breaks ("=" at the end).
std::vector<std::string> QuotedPrintableLines(std::string_view line);

}  // namespace raid
