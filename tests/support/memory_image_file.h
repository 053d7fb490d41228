#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/firmware_image.h"

namespace raid::testing {

// A file in memory that can refuse to open, claim another length, or fail
// reads at one offset a number of times.
class MemoryImageFile final : public ImageFile {
  public:
    explicit MemoryImageFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    OpenResult Open(const std::string&) override {
        return opens ? OpenResult::Opened : OpenResult::Failed;
    }
    std::optional<std::uint64_t> Length() override {
        return claimedLength ? claimedLength : std::optional<std::uint64_t>(bytes_.size());
    }
    bool Seek(std::uint64_t offset) override {
        position_ = offset;
        return true;
    }
    std::optional<std::uint8_t> ReadByte() override {
        if (position_ >= bytes_.size()) {
            ++readsPastEnd;
            return std::nullopt;
        }
        if (position_ == failAt && failuresLeft > 0) {
            --failuresLeft;
            ++position_;  // a failed read still moves on, as fgetc may
            return std::nullopt;
        }
        return bytes_[position_++];
    }
    void Close() override { ++closes; }

    bool opens = true;
    std::optional<std::uint64_t> claimedLength;
    std::uint64_t failAt = 0;
    int failuresLeft = 0;
    int readsPastEnd = 0;
    int closes = 0;

  private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

}  // namespace raid::testing
