#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace raid {

// Windows' wide strings at the edge, UTF-8 inside. Text that does not convert comes back empty.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The system's message for a Win32, Winsock or SSPI code, or the code in hex when it has none.
std::string WindowsErrorText(std::uint32_t code);

}  // namespace raid
