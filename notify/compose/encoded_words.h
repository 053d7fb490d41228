#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace raid {

// The longest word a header keeps plain: folding breaks only at blanks, and a longer word
// could not stand on a line within SMTP's 998 bytes beside a field name.
inline constexpr std::size_t kLongestPlainHeaderWord = 900;

// Whether `text` can stand in a header as it is (printable ASCII only).
bool IsPlainHeaderText(std::string_view text);

// A header text with every word that is not printable ASCII (or is longer than
// kLongestPlainHeaderWord) written as RFC 2047 encoded words
// ("=?UTF-8?B?...?="). Neighbouring such words are encoded together with the blank between
// them, because readers drop the blanks between two encoded words. Each encoded word stays
// within 75 characters and never splits a UTF-8 character.
std::string EncodeHeaderText(std::string_view text);

// All of `text` as encoded words, for a display name, where a plain word with quotes or other
// specials beside an encoded word would be taken apart by the reader.
std::string EncodedWords(std::string_view text);

}  // namespace raid
