#include "sim/ata_text.h"

#include <algorithm>

namespace raid::sim {

void PutAtaText(std::span<std::uint8_t> field, std::string_view text) {
    std::fill(field.begin(), field.end(), std::uint8_t{' '});
    const std::size_t length = std::min(text.size(), field.size());
    for (std::size_t i = 0; i < length; ++i) {
        // An odd-sized field has no partner for its last byte; keep it in place.
        const std::size_t position = (i ^ 1u) < field.size() ? (i ^ 1u) : i;
        field[position] = static_cast<std::uint8_t>(text[i]);
    }
}

void PutBigEndian(std::span<std::uint8_t> field, std::uint64_t value) {
    for (std::size_t i = field.size(); i-- > 0;) {
        field[i] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}

void PutLittleEndian(std::span<std::uint8_t> field, std::uint64_t value) {
    for (auto& byte : field) {
        byte = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}

}  // namespace raid::sim
