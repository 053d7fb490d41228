#pragma once

// Windows only (the *_win32.cpp files): the program keeps text in UTF-8 and
// converts at the Windows API, whose wide functions take UTF-16.
#include <string>
#include <string_view>

namespace raid {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring Wide(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view wide);
// The system's text for a GetLastError()/Winsock/HRESULT code, in UTF-8 and
// without the trailing line break; the number when the system has no text.
std::string WindowsErrorText(unsigned long code);

}  // namespace raid
