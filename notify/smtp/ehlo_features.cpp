#include "notify/smtp/ehlo_features.h"

#include <cctype>
#include <string_view>

namespace raid {

namespace {

bool SameWord(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) {
            return false;
        }
    }
    return true;
}

bool HasWord(std::string_view words, std::string_view upper) {
    while (!words.empty()) {
        const std::size_t start = words.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            return false;
        }
        words.remove_prefix(start);
        const std::size_t end = std::min(words.find(' '), words.size());
        if (SameWord(words.substr(0, end), upper)) {
            return true;
        }
        words.remove_prefix(end);
    }
    return false;
}

}  // namespace

EhloFeatures ParseEhloReply(const std::vector<std::string>& lines) {
    EhloFeatures features;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        // "250-AUTH LOGIN PLAIN" and the older "250-AUTH=LOGIN PLAIN".
        if (line.size() >= 9 && SameWord(line.substr(4, 4), "AUTH") &&
            (line[8] == ' ' || line[8] == '=')) {
            features.authLogin = features.authLogin || HasWord(line.substr(9), "LOGIN");
            continue;
        }
        const std::size_t end = line.find_last_not_of(' ');
        if (line.size() > 4 && end != std::string_view::npos && end >= 4 &&
            SameWord(line.substr(4, end + 1 - 4), "STARTTLS")) {
            features.startTls = true;
        }
    }
    return features;
}

}  // namespace raid
