#pragma once

#include <string>
#include <string_view>

namespace raid {

// Texts that go into the SMTP stream as they are must not be able to end a
// line there.
bool HasLineBreakOrNul(std::string_view text);

// An address as local@domain that every server and every To: header take as
// it is: an ASCII dot-atom local part (letters, digits and !#$%&'*+-/=?^_`{|}~,
// no quotes, commas, parentheses or blanks) of at most 64 characters, "@", a
// host name of letters, digits and hyphens; at most 254 characters in all.
// Anything else (non-ASCII, "a,b@x", a quoted or commented local part) would
// be refused by the server or mean something else in a header.
bool IsPlainAddress(std::string_view address);

}  // namespace raid
