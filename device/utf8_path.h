#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace raid {

// The program keeps paths as UTF-8 text. std::filesystem reads a plain char
// string in the system's narrow encoding, which on Windows is the ANSI code
// page, not UTF-8: every conversion between the two goes through these, so a
// folder named beyond ASCII stays the same folder.
inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace raid
