#include "notify/compose/quoted_printable.h"

namespace raid {

namespace {

constexpr std::size_t kMaxLine = 76;

}  // namespace

std::vector<std::string> QuotedPrintableLines(std::string_view line) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::vector<std::string> out;
    std::string current;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        const bool literal =
            (c >= 0x21 && c <= 0x7E && c != '=') || ((c == ' ' || c == '\t') && !last);
        std::string piece;
        if (literal) {
            piece = static_cast<char>(c);
        } else {
            piece = {'=', kHex[c >> 4], kHex[c & 0x0F]};
        }
        // The last piece may use the whole width; others leave room for the soft break.
        const std::size_t room = last ? kMaxLine : kMaxLine - 1;
        if (current.size() + piece.size() > room) {
            current += '=';
            out.push_back(std::move(current));
            current.clear();
        }
        current += piece;
    }
    out.push_back(std::move(current));
    return out;
}

}  // namespace raid
