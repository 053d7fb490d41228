#pragma once

#include <cstdint>
#include <fstream>
#include <span>
#include <string>
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

    // Keeps the flash in `path` from now on: a file of the flash's size is
    // taken as its contents, anything else is replaced by the contents now.
    // False when the file cannot be read or written.
    bool BackWith(const std::string& path);

  private:
    bool PageInside(std::uint32_t address) const;
    void WriteThrough(std::uint32_t start, std::uint32_t length);

    std::vector<std::uint8_t> bytes_;
    std::fstream file_;
};

}  // namespace raid::sim
