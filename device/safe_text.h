#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace raid {

// Bytes that came from outside (an enclosure's names, a server's reply) as
// text for a log line, a terminal, a metrics label or a message box: valid
// UTF-8 stays, every control character (C0, DEL, C1) and every byte that is
// not part of a well-formed UTF-8 sequence becomes '?'. The result holds no
// line break, cannot move a cursor and is always valid UTF-8, whatever a
// broken device or a hostile server sent.
std::string SafeText(std::string_view bytes);

// The length of the well-formed UTF-8 sequence that starts `bytes` (RFC 3629:
// no overlong form, no surrogate, nothing past U+10FFFF) and its code point
// in `codePoint`; 0 when there is none.
std::size_t Utf8SequenceAt(std::string_view bytes, std::uint32_t& codePoint);

}  // namespace raid
