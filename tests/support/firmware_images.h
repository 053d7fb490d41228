#pragma once

#include <cstdint>
#include <vector>

namespace raid::testing {

// An image whose header passes the GUID and signature checks, with the given
// type byte, code stamp and family; the rest is a byte pattern.
inline std::vector<std::uint8_t> MakeImage(std::uint32_t size, std::uint8_t type = 0x12,
                                           std::uint32_t stamp = 0x14040310,
                                           std::uint8_t family0 = 0x62,
                                           std::uint8_t family1 = 0x18) {
    std::vector<std::uint8_t> image(size);
    for (std::uint32_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 37u + (i >> 8));
    }
    const std::uint8_t header[] = {'V',  'O',  'K',  'T',  0xEF, 0x6D, 0x16, 0xAE, 0xDC, 0x6F,
                                   0x4C, 0x47, 0x9B, 0xA4, 0xB6, 0xAA, 0xE4, 0xB6, 0x9A, 0x84};
    for (std::size_t i = 0; i < sizeof header && 128 + i < size; ++i) {
        image[128 + i] = header[i];
    }
    if (size > 161) {
        image[149] = type;
        image[156] = static_cast<std::uint8_t>(stamp >> 24);
        image[157] = static_cast<std::uint8_t>(stamp >> 16);
        image[158] = static_cast<std::uint8_t>(stamp >> 8);
        image[159] = static_cast<std::uint8_t>(stamp);
        image[160] = family0;
        image[161] = family1;
    }
    return image;
}

}  // namespace raid::testing
