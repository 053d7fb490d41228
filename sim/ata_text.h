#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace raid::sim {

// Writes `text` into `field` the way ATA IDENTIFY delivers strings: padded
// with blanks to the field's width, the two characters of every 16-bit word
// exchanged. Text longer than the field is cut.
void PutAtaText(std::span<std::uint8_t> field, std::string_view text);

// Writes `value` as `field.size()` bytes, most significant first.
void PutBigEndian(std::span<std::uint8_t> field, std::uint64_t value);
// Writes `value` as `field.size()` bytes, least significant first.
void PutLittleEndian(std::span<std::uint8_t> field, std::uint64_t value);

}  // namespace raid::sim
