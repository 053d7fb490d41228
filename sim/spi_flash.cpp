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
    WriteThrough(start, end - start);
    return true;
}

bool SpiFlash::Program(std::uint32_t address, std::span<const std::uint8_t, kPageSize> data) {
    if (!PageInside(address)) {
        return false;
    }
    for (std::uint32_t i = 0; i < kPageSize; ++i) {
        bytes_[address + i] &= data[i];
    }
    WriteThrough(address, kPageSize);
    return true;
}

bool SpiFlash::Read(std::uint32_t address, std::span<std::uint8_t, kPageSize> out) const {
    if (!PageInside(address)) {
        return false;
    }
    std::copy_n(bytes_.begin() + address, kPageSize, out.begin());
    return true;
}

bool SpiFlash::BackWith(const std::string& path) {
    {
        std::ifstream existing(path, std::ios::binary | std::ios::ate);
        if (existing && static_cast<std::uint64_t>(existing.tellg()) == bytes_.size()) {
            existing.seekg(0);
            std::vector<std::uint8_t> stored(bytes_.size());
            if (!existing.read(reinterpret_cast<char*>(stored.data()),
                               static_cast<std::streamsize>(stored.size()))) {
                return false;
            }
            bytes_ = std::move(stored);
        }
    }
    std::ofstream{path, std::ios::binary | std::ios::app};  // make it if missing
    file_.open(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file_) {
        return false;
    }
    WriteThrough(0, size());
    return static_cast<bool>(file_);
}

void SpiFlash::WriteThrough(std::uint32_t start, std::uint32_t length) {
    if (!file_.is_open()) {
        return;
    }
    file_.seekp(start);
    file_.write(reinterpret_cast<const char*>(bytes_.data() + start),
                static_cast<std::streamsize>(length));
    file_.flush();
}

}  // namespace raid::sim
