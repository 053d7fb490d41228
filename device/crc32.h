#pragma once

#include <cstdint>
#include <span>

namespace raid {

// Standard reflected CRC-32 (IEEE 802.3), initial value all ones, final complement.
std::uint32_t Crc32(std::span<const std::uint8_t> data);

}  // namespace raid
