#include "notify/settings/stored_text.h"

#include "device/safe_text.h"

#include <array>
#include <cstdint>

namespace raid {
namespace {

// Code points of Windows-1252 bytes 0x80-0x9F; 0 marks an unassigned byte.
constexpr std::array<std::uint16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool IsUtf8(std::string_view text) {
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = Utf8SequenceAt(text, codePoint);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 && u <= 0x9F && kHighControls[u - 0x80] != 0) {
            AppendUtf8(kHighControls[u - 0x80], out);
        } else {
            AppendUtf8(u, out);
        }
    }
    return out;
}

std::string CleanStoredText(std::string_view text) {
    std::string out = IsUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
    std::erase_if(out, [](char c) { return c == '\r' || c == '\0'; });
    return out;
}

}  // namespace raid
