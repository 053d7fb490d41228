#include "maintenance/upgrade_checks.h"

#include <algorithm>

#include "maintenance/firmware_image.h"
#include "maintenance/firmware_upgrade.h"
#include "monitor/status_text.h"

namespace raid {
namespace {

constexpr std::array<std::uint8_t, 16> kMetadataGuid = {
    0xEF, 0x6D, 0x16, 0xAE, 0xDC, 0x6F, 0x4C, 0x47, 0x9B, 0xA4, 0xB6, 0xAA, 0xE4, 0xB6, 0x9A, 0x84};
constexpr std::array<std::uint8_t, 4> kMetadataSignature = {'V', 'O', 'K', 'T'};

std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

bool Equal(std::span<const std::uint8_t> image, std::size_t offset,
           std::span<const std::uint8_t> expected) {
    return std::equal(expected.begin(), expected.end(), image.begin() + offset);
}

}  // namespace

bool FamilyFits(std::uint8_t d0, std::uint8_t d1, std::uint8_t i0, std::uint8_t i1) {
    // The families 27 70 and 27 60 take each other's firmware.
    if (d0 == 0x27 && (d1 == 0x70 || d1 == 0x60)) {
        return i0 == 0x27 && (i1 == 0x60 || i1 == 0x70);
    }
    return i0 == d0 && i1 == d1;
}

std::string FirmwareTypesText(std::uint8_t device, std::uint8_t image) {
    return "SPI = " + Hex2(device) + ", BIN = " + Hex2(image);
}

std::optional<ImageStamps> StampsOf(std::span<const std::uint8_t> bytes,
                                    const UpgradeDeviceFacts& device) {
    if (device.chipVariant != 0 || bytes.size() < kMinImageSize) {
        return std::nullopt;
    }
    return ImageStamps{BigEndian32(device.firmware), BigEndian32(bytes.subspan(kImageStampOffset))};
}

std::optional<ImageRefusal> CheckImageHeader(std::span<const std::uint8_t> bytes,
                                             const UpgradeDeviceFacts& device) {
    if (bytes.size() < kMinImageSize) {
        return ImageRefusal{"The firmware file is too short (" + std::to_string(bytes.size()) +
                                " bytes); an image has at least " + std::to_string(kMinImageSize) +
                                " bytes.",
                            "Error"};
    }
    if (!Equal(bytes, kImageGuidOffset, kMetadataGuid)) {
        return ImageRefusal{kGuidErrorText, "Error"};
    }
    if (!Equal(bytes, kImageSignatureOffset, kMetadataSignature)) {
        return ImageRefusal{kSignatureErrorText, "Error"};
    }
    if (const auto stamps = StampsOf(bytes, device);
        stamps && stamps->device > kStampThreshold && stamps->image > kStampThreshold &&
        !FamilyFits(device.firmware[4], device.firmware[5], bytes[kImageFamilyOffset],
                    bytes[kImageFamilyOffset + 1])) {
        return ImageRefusal{kWrongProductText, "Error"};
    }
    return std::nullopt;
}

std::optional<ImageRefusal> CheckUpgradeImage(std::span<const std::uint8_t> bytes,
                                              const UpgradeDeviceFacts& device) {
    if (auto refused = CheckImageHeader(bytes, device)) {
        return refused;
    }
    const std::uint8_t imageType = bytes[kImageTypeOffset];
    if (device.flashType != imageType && device.chipVariant == 0) {
        return ImageRefusal{
            "Incorrect Firmware Type! " + FirmwareTypesText(device.flashType, imageType),
            "Message"};
    }
    // Every flash address must stay below 8 MiB; past it the 16-bit page
    // number wraps and the erase would hit the start of the flash again.
    if (bytes.size() > kFlashAddressLimit ||
        EraseLength(static_cast<std::uint32_t>(bytes.size())) > kFlashAddressLimit) {
        return ImageRefusal{"The firmware file is too large for the SPI flash (" +
                                std::to_string(bytes.size()) + " bytes).",
                            "Message"};
    }
    return std::nullopt;
}

}  // namespace raid
