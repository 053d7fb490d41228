#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/dialogs.h"
#include "maintenance/upgrade_checks.h"
#include "monitor/status_sink.h"

namespace raid {

// Header fields of an image the program relies on; every other byte is
// opaque firmware content.
inline constexpr std::size_t kImageSignatureOffset = 128;
inline constexpr std::size_t kImageGuidOffset = 132;
inline constexpr std::size_t kImageTypeOffset = 149;
inline constexpr std::size_t kImageStampOffset = 156;
inline constexpr std::size_t kImageFamilyOffset = 160;
// The header checks read up to byte 161.
inline constexpr std::uint32_t kMinImageSize = 162;
// Flash addresses travel as address/128 in 16 bits: nothing at or past 8 MiB
// can be reached.
inline constexpr std::uint32_t kFlashAddressLimit = 0x800000;
inline constexpr std::uint32_t kStampThreshold = 0x13122500;
// A byte that cannot be read is tried again this many times before the load
// gives up.
inline constexpr int kImageReadRetries = 3;

// The one loaded image file of the process. size 0: nothing loaded.
struct FirmwareImage {
    std::vector<std::uint8_t> bytes;
    std::uint32_t size = 0;
    std::string path;  // where it was read from, for the confirmation

    bool Loaded() const { return size != 0; }
    std::uint8_t Type() const { return Loaded() ? bytes[kImageTypeOffset] : 0; }
    void Release() {
        bytes.clear();
        bytes.shrink_to_fit();
        size = 0;
        path.clear();
    }
};

// The firmware file being loaded, byte by byte. The real one reads a file;
// tests give one that fails where they want.
class ImageFile {
  public:
    virtual ~ImageFile() = default;
    enum class OpenResult { Opened, Failed, NotRegular };
    // Only a regular file is read: a FIFO or a device would hang the load or
    // never end.
    virtual OpenResult Open(const std::string& path) = 0;
    // The length in bytes, or nothing when it cannot be told.
    virtual std::optional<std::uint64_t> Length() = 0;
    virtual bool Seek(std::uint64_t offset) = 0;
    // The byte at the current position (which then advances), or nothing.
    virtual std::optional<std::uint8_t> ReadByte() = 0;
    virtual void Close() = 0;
};

// A file on disk through the C library.
std::unique_ptr<ImageFile> MakeDiskImageFile();

struct ImageLoadServices {
    ImageFile& file;
    StatusSink& status;
    Dialogs& dialogs;
};

// Reads the chosen file into `image`, shows its checksum and stamps and
// keeps it only when its header fits the device. Any older image is dropped
// first, so a failed load leaves none. True when an image is loaded.
bool LoadFirmwareImage(const std::string& path, const UpgradeDeviceFacts& device,
                       ImageLoadServices services, FirmwareImage& image);

// The byte checksum shown while loading: every byte added into 32 bits.
std::uint32_t ImageChecksum(std::span<const std::uint8_t> bytes);
// "Chksum:00FF0000": how it is shown, always eight digits.
std::string ChecksumText(std::uint32_t sum);

inline constexpr const char* kOpenFailedText = "Fail to open firmware file";
inline constexpr const char* kReadErrorText = "Error read from Source file. ByteCount = ";
inline constexpr const char* kNotRegularText =
    "The firmware file is not a regular file; choose the image file itself.";

}  // namespace raid
