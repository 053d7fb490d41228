#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace raid {

constexpr std::size_t kHeaderFoldWidth = 78;

// `name: value` as one header field, folded when longer than the width: broken at a blank or
// tab, each continuation starting with one blank, trailing blanks of every piece removed.
// A word longer than the width is never cut; its line breaks at the next blank after it.
// Pieces are joined with CR LF; no CR LF at the end.
std::string FoldHeader(std::string_view name, std::string_view value,
                       std::size_t width = kHeaderFoldWidth);

}  // namespace raid
