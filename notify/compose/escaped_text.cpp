#include "notify/compose/escaped_text.h"

namespace raid {

std::string EscapedText(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    out += "\\x";
                    out += kHex[u >> 4];
                    out += kHex[u & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

}  // namespace raid
