#pragma once

#include <string>
#include <string_view>

namespace raid {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool IsUtf8(std::string_view text);

// Text saved in the Windows ANSI code page (Windows-1252) as UTF-8. The five
// bytes that code page leaves unassigned are kept as the C1 characters of the
// same value.
std::string Windows1252ToUtf8(std::string_view text);

// A stored text as the program uses it: UTF-8 (text that is not valid UTF-8
// was saved in the ANSI code page and is decoded as such), with every CR and
// NUL dropped. An editor's stray CR ("\r\r\n") or a NUL must not cost the
// mail; only LF ends a template line.
std::string CleanStoredText(std::string_view text);

}  // namespace raid
