#include "sim/spi_flash.h"

#include <algorithm>

namespace raid::sim {

SpiFlash::SpiFlash(std::uint32_t size) : bytes_(size, 0xFF) {}

bool SpiFlash::PageInside(std::uint32_t address) const {
    return static_cast<std::uint64_t>(address) + kPageSize <= bytes_.size();
}

bool SpiFlash::EraseSectorAt(std::uint32_t address) {
    if (address >= bytes_.size()) {
        return false;
    }
    const std::uint32_t start = address - address % kSectorSize;
    const std::uint32_t end = std::min<std::uint32_t>(start + kSectorSize, size());
    std::fill(bytes_.begin() + start, bytes_.begin() + end, std::uint8_t{0xFF});
    return true;
}

bool SpiFlash::Program(std::uint32_t address, std::span<const std::uint8_t, kPageSize> data) {
    if (!PageInside(address)) {
        return false;
    }
    for (std::uint32_t i = 0; i < kPageSize; ++i) {
        bytes_[address + i] &= data[i];
    }
    return true;
}

bool SpiFlash::Read(std::uint32_t address, std::span<std::uint8_t, kPageSize> out) const {
    if (!PageInside(address)) {
        return false;
    }
    std::copy_n(bytes_.begin() + address, kPageSize, out.begin());
    return true;
}

}  // namespace raid::sim
