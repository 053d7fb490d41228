#include "notify/smtp/ehlo_features.h"

#include <algorithm>
#include <cctype>

namespace raid {

namespace {

std::string UpperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

void AddWords(const std::string& text, std::vector<std::string>& words) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string::npos) {
            break;
        }
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string word = text.substr(start, end - start);
        if (std::find(words.begin(), words.end(), word) == words.end()) {
            words.push_back(std::move(word));
        }
        pos = end;
    }
}

}  // namespace

bool EhloFeatures::Offers(const std::string& mechanism) const {
    return std::find(authMechanisms.begin(), authMechanisms.end(), mechanism) !=
           authMechanisms.end();
}

EhloFeatures ParseEhloReply(const std::vector<std::string>& lines) {
    EhloFeatures features;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string line = UpperCase(lines[i]);
        // "250-AUTH LOGIN PLAIN" and the older "250-AUTH=LOGIN PLAIN".
        if (line.size() >= 9 && line.compare(4, 4, "AUTH") == 0 &&
            (line[8] == ' ' || line[8] == '=')) {
            AddWords(line.substr(9), features.authMechanisms);
            continue;
        }
        const std::size_t end = line.find_last_not_of(' ');
        if (line.size() > 4 && end != std::string::npos &&
            line.compare(4, end + 1 - 4, "STARTTLS") == 0) {
            features.startTls = true;
        }
    }
    return features;
}

}  // namespace raid
