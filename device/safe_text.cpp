#include "device/safe_text.h"

#include <cstdint>

namespace raid {
namespace {

constexpr char kReplacement = '?';

bool IsControl(std::uint32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

}  // namespace

std::size_t Utf8SequenceAt(std::string_view bytes, std::uint32_t& codePoint) {
    if (bytes.empty()) {
        return 0;
    }
    const auto at = [&bytes](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = at(0);
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t b = at(i);
        // Only the second byte has the narrowed range; the rest are plain continuations.
        if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) {
            return 0;
        }
        codePoint = (codePoint << 6) | (b & 0x3F);
    }
    return length;
}

std::string SafeText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = Utf8SequenceAt(bytes, codePoint);
        if (length == 0 || IsControl(codePoint)) {
            // One replacement per stray byte or control character.
            out += kReplacement;
            bytes.remove_prefix(length == 0 ? 1 : length);
            continue;
        }
        out.append(bytes.substr(0, length));
        bytes.remove_prefix(length);
    }
    return out;
}

}  // namespace raid
