#pragma once

#include <string>
#include <string_view>

namespace raid {

// Texts that go into the SMTP stream as they are must not be able to end a
// line there.
bool HasLineBreakOrNul(std::string_view text);

// An address as local@domain: one "@" with text on both sides, no blanks,
// control characters, angle brackets or line breaks.
bool IsPlainAddress(std::string_view address);

}  // namespace raid
