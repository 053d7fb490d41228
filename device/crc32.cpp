#include "device/crc32.h"

#include <array>

namespace raid {
namespace {

constexpr std::uint32_t kReflectedPolynomial = 0xEDB88320u;  // 0x04C11DB7 bit-reversed

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) ? (c >> 1) ^ kReflectedPolynomial : c >> 1;
        }
        table[i] = c;
    }
    return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : data) {
        crc = kTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

}  // namespace raid
