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
    std::string current;
    current.reserve(name.size() + 2 + value.size());
    current.append(name).append(": ").append(value);
    // Breaks only inside the value, so the field name always keeps a word beside it; on a
    // continuation line, never right after its leading blank.
    std::size_t minCut = name.size() + 2;
    std::string out;
    while (current.size() > width) {
        std::size_t cut = std::string::npos;
        for (std::size_t i = width; i > minCut; --i) {
            if (IsBlank(current[i])) {
                cut = i;
                break;
            }
        }
        for (std::size_t i = width + 1; cut == std::string::npos && i < current.size(); ++i) {
            if (IsBlank(current[i])) {
                cut = i;
            }
        }
        if (cut == std::string::npos) {
            break;
        }
        const std::string_view whole = current;
        const std::string_view piece = TrimTrailingBlanks(whole.substr(0, cut));
        const std::string_view next = TrimLeadingBlanks(whole.substr(cut));
        if (next.empty() || piece.size() <= minCut) {
            break;
        }
        out.append(piece).append("\r\n");
        current = " " + std::string(next);
        minCut = 1;
    }
    out.append(current);
    return out;
}

}  // namespace raid
