#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace raid {

inline constexpr std::size_t kSectorSize = 512;
inline constexpr std::size_t kInquiryLength = 36;

// An opened disk or volume. Handles are opened right before one logical
// operation and closed right after it; none stays open.
using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kInvalidHandle = -1;

// Device codes up to 0x42 ('B') are physical disk numbers, larger ones drive
// letters (volumes).
inline constexpr std::uint8_t kLastDiskCode = 0x42;
inline constexpr bool IsDiskCode(std::uint8_t code) {
    return code <= kLastDiskCode;
}

// Why the last OpenDevice failed, so a front end can tell "no enclosure" from
// "not allowed to look".
struct OpenFailure {
    enum class Kind { NotFound, PermissionDenied, Other };
    Kind kind = Kind::Other;
    int systemError = 0;
    std::string path;
};

// The only place the program touches the storage stack: one-sector reads and a
// standard INQUIRY through the operating system's SCSI pass-through service.
// Nothing is ever written to the disk.
class Transport {
  public:
    virtual ~Transport() = default;

    // Returns kInvalidHandle on failure.
    virtual DeviceHandle OpenDevice(std::uint8_t code) = 0;
    // READ(10) of `count` sectors at `lba`. `buffer` must hold count * 512
    // bytes; a smaller one fails without any I/O.
    virtual bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                             std::uint32_t count) = 0;
    // Standard INQUIRY, 36 bytes; `buffer` must hold at least 36 bytes.
    virtual bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) = 0;
    virtual void CloseHandle(DeviceHandle handle) = 0;

    // The reason for the most recent failed OpenDevice, when the backend knows it.
    virtual std::optional<OpenFailure> LastOpenFailure() const { return std::nullopt; }
};

// Text used in traces and messages: the disk number in decimal, or "X:" for a volume.
std::string DeviceCodeText(std::uint8_t code);

}  // namespace raid
