#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace raid::sim {

// The controller's SPI NOR flash. Like the real part, programming can only
// clear bits, so data programmed over an unerased region comes back mixed
// with what was there.
class SpiFlash {
  public:
    static constexpr std::uint32_t kSectorSize = 4096;
    static constexpr std::uint32_t kPageSize = 128;

    explicit SpiFlash(std::uint32_t size);

    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    // Each returns false when the range does not lie inside the flash.
    bool EraseSectorAt(std::uint32_t address);
    bool Program(std::uint32_t address, std::span<const std::uint8_t, kPageSize> data);
    bool Read(std::uint32_t address, std::span<std::uint8_t, kPageSize> out) const;

    std::span<const std::uint8_t> contents() const { return bytes_; }
    std::span<std::uint8_t> contents() { return bytes_; }

  private:
    bool PageInside(std::uint32_t address) const;

    std::vector<std::uint8_t> bytes_;
};

}  // namespace raid::sim
