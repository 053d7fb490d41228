#include "notify/compose/header_folding.h"

namespace raid {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

}  // namespace

std::string FoldHeader(std::string_view name, std::string_view value, std::size_t width) {
    std::string whole;
    whole.reserve(name.size() + 2 + value.size());
    whole.append(name).append(": ").append(value);
    // The line being cut is `lead` blanks (0 on the first line, 1 on a
    // continuation) followed by `whole` from `pos`: it is never copied, so
    // folding stays linear in the length of the value.
    std::size_t pos = 0;
    std::size_t lead = 0;
    const auto at = [&](std::size_t i) { return i < lead ? ' ' : whole[pos + i - lead]; };
    const auto size = [&] { return lead + whole.size() - pos; };
    // Breaks only inside the value, so the field name always keeps a word beside it; on a
    // continuation line, never right after its leading blank.
    std::size_t minCut = name.size() + 2;
    std::string out;
    out.reserve(whole.size() + whole.size() / width * 3 + 3);
    while (size() > width) {
        std::size_t cut = std::string::npos;
        for (std::size_t i = width; i > minCut; --i) {
            if (IsBlank(at(i))) {
                cut = i;
                break;
            }
        }
        for (std::size_t i = width + 1; cut == std::string::npos && i < size(); ++i) {
            if (IsBlank(at(i))) {
                cut = i;
            }
        }
        if (cut == std::string::npos) {
            break;
        }
        const std::string_view rest = std::string_view(whole).substr(pos);
        const std::string_view piece = TrimTrailingBlanks(rest.substr(0, cut - lead));
        const std::string_view next = TrimLeadingBlanks(rest.substr(cut - lead));
        if (next.empty() || lead + piece.size() <= minCut) {
            break;
        }
        out.append(lead, ' ').append(piece).append("\r\n");
        pos = whole.size() - next.size();
        lead = 1;
        minCut = 1;
    }
    out.append(lead, ' ').append(std::string_view(whole).substr(pos));
    return out;
}

}  // namespace raid
