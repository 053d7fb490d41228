#pragma once

#include <string>
#include <string_view>

namespace raid {

// Whether `text` can stand in a header as it is (printable ASCII only).
bool IsPlainHeaderText(std::string_view text);

// A header text with every word that is not printable ASCII written as RFC 2047 encoded words
// ("=?UTF-8?B?...?="). Neighbouring such words are encoded together with the blank between
// them, because readers drop the blanks between two encoded words. Each encoded word stays
// within 75 characters and never splits a UTF-8 character.
std::string EncodeHeaderText(std::string_view text);

// All of `text` as encoded words, for a display name, where a plain word with quotes or other
// specials beside an encoded word would be taken apart by the reader.
std::string EncodedWords(std::string_view text);

}  // namespace raid
