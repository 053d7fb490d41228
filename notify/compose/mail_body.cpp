#include "notify/compose/mail_body.h"

#include <string_view>

#include "notify/compose/quoted_printable.h"
#include "notify/smtp/dot_stuffing.h"

namespace raid {

namespace {

void SplitAtLineEnds(std::string_view text, std::vector<std::string>& out) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    out.emplace_back(text.substr(start));
}

// SMTP's limit for a line without its CR LF.
constexpr std::size_t kMaxWireLine = 998;

bool IsPlainBodyLine(std::string_view line) {
    // One byte more for the dot-stuffing of a line that starts with ".".
    if (line.size() + 1 > kMaxWireLine) {
        return false;
    }
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t') || u > 0x7E) {
            return false;
        }
    }
    return true;
}

}  // namespace

WireBody PrepareBody(const std::vector<std::string>& bodyLines) {
    std::vector<std::string> lines;
    for (const std::string& stored : bodyLines) {
        SplitAtLineEnds(stored, lines);
    }
    WireBody body;
    for (const std::string& line : lines) {
        if (!IsPlainBodyLine(line)) {
            body.quotedPrintable = true;
            break;
        }
    }
    for (const std::string& line : lines) {
        if (!body.quotedPrintable) {
            body.lines.push_back(DotStuffed(line));
            continue;
        }
        for (const std::string& piece : QuotedPrintableLines(line)) {
            body.lines.push_back(DotStuffed(piece));
        }
    }
    return body;
}

}  // namespace raid
