#include "notify/compose/encoded_words.h"

#include <vector>

#include "notify/smtp/base64.h"

namespace raid {

namespace {

// 75 characters less "=?UTF-8?B?" and "?=" leave 63 for Base64: 45 bytes of text.
constexpr std::size_t kMaxEncodedBytes = 45;

bool NeedsEncoding(std::string_view word) {
    // A plain word that looks like an encoded word would be decoded by the reader; one too
    // long for a header line of its own (SMTP allows 998 bytes) is split as encoded words.
    return !IsPlainHeaderText(word) || word.find("=?") != std::string_view::npos ||
           word.size() > kLongestPlainHeaderWord;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

void AppendEncoded(std::string_view text, std::string& out) {
    while (!text.empty()) {
        std::size_t take = text.size();
        if (take > kMaxEncodedBytes) {
            take = kMaxEncodedBytes;
            while (take > 1 && IsContinuationByte(text[take])) {
                --take;
            }
        }
        if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
        out += "=?UTF-8?B?";
        out += Base64Encode(text.substr(0, take));
        out += "?=";
        text.remove_prefix(take);
    }
}

}  // namespace

std::string EncodedWords(std::string_view text) {
    std::string out;
    AppendEncoded(text, out);
    return out;
}

bool IsPlainHeaderText(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string EncodeHeaderText(std::string_view text) {
    if (!NeedsEncoding(text)) {
        return std::string(text);
    }
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (true) {
        const std::size_t blank = text.find(' ', pos);
        words.push_back(text.substr(pos, blank == std::string_view::npos ? blank : blank - pos));
        if (blank == std::string_view::npos) {
            break;
        }
        pos = blank + 1;
    }
    std::string out;
    std::size_t i = 0;
    while (i < words.size()) {
        if (i > 0) {
            out += ' ';
        }
        if (!NeedsEncoding(words[i])) {
            out += words[i];
            ++i;
            continue;
        }
        // The run of words to encode, with the blanks between them.
        const char* runStart = words[i].data();
        std::size_t j = i;
        while (j + 1 < words.size() && NeedsEncoding(words[j + 1])) {
            ++j;
        }
        const char* runEnd = words[j].data() + words[j].size();
        std::string encoded;
        AppendEncoded(std::string_view(runStart, static_cast<std::size_t>(runEnd - runStart)),
                      encoded);
        out += encoded;
        i = j + 1;
    }
    return out;
}

}  // namespace raid
