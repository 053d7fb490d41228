#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "device/dialogs.h"

namespace raid {

// What the checks of an image need of the enclosure it is meant for.
struct UpgradeDeviceFacts {
    std::uint8_t chipVariant = 0;
    // Bytes 46-53 of its controller-information block: 0-3 the firmware
    // version stamp (big-endian), 4-5 the product family.
    std::array<std::uint8_t, 8> firmware{};
    std::uint8_t flashType = 0;  // byte 149 of the firmware in its flash
};

// The verdict of one check: no refusal means the image may go onto the
// device. A refusal carries the message box it is shown in.
struct ImageRefusal {
    std::string text;
    std::string caption;
};

// The stamps the product check compares, shown as "F:" and "C:"; only a
// first-pair device has them checked.
struct ImageStamps {
    std::uint32_t device = 0;
    std::uint32_t image = 0;
};

// The header checks made when a file is loaded, in their order: metadata
// GUID, signature, and on a first-pair device the product family (when both
// stamps are new enough). `bytes` holds at least kMinImageSize bytes.
std::optional<ImageRefusal> CheckImageHeader(std::span<const std::uint8_t> bytes,
                                             const UpgradeDeviceFacts& device);
std::optional<ImageStamps> StampsOf(std::span<const std::uint8_t> bytes,
                                    const UpgradeDeviceFacts& device);

// Everything an upgrade checks of the image against its target before the
// first flash command: the header checks again (the target may not be the
// device the file was loaded for), the firmware type on a first-pair device,
// and a size the flash commands can address.
std::optional<ImageRefusal> CheckUpgradeImage(std::span<const std::uint8_t> bytes,
                                              const UpgradeDeviceFacts& device);

// Whether an image of family (i0, i1) may go onto a device of family (d0, d1).
bool FamilyFits(std::uint8_t d0, std::uint8_t d1, std::uint8_t i0, std::uint8_t i1);

// "SPI = 12, BIN = 13": the two firmware types side by side.
std::string FirmwareTypesText(std::uint8_t device, std::uint8_t image);

inline constexpr const char* kGuidErrorText =
    "Threr are GUID error in the firmware file.\nPlease check it.";
inline constexpr const char* kSignatureErrorText =
    "Threr are METADATA_SINGATURE error in the firmware file.\nPlease check it.";
inline constexpr const char* kWrongProductText =
    "The firmware is not for this product.\nPlease check it.";

}  // namespace raid
