#include "maintenance/firmware_image.h"

#include <algorithm>
#include <cstdio>

namespace raid {
namespace {

constexpr std::array<std::uint8_t, 16> kMetadataGuid = {
    0xEF, 0x6D, 0x16, 0xAE, 0xDC, 0x6F, 0x4C, 0x47, 0x9B, 0xA4, 0xB6, 0xAA, 0xE4, 0xB6, 0x9A, 0x84};
constexpr std::array<std::uint8_t, 4> kMetadataSignature = {'V', 'O', 'K', 'T'};

constexpr int kPanelChecksum = 0;
constexpr int kPanelDeviceStamp = 2;
constexpr int kPanelImageStamp = 3;
constexpr int kPanelFile = 4;

std::string HexText(std::uint32_t value, int minDigits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", minDigits, static_cast<unsigned>(value));
    return text;
}

std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

bool Equal(std::span<const std::uint8_t> image, std::size_t offset,
           std::span<const std::uint8_t> expected) {
    return std::equal(expected.begin(), expected.end(), image.begin() + offset);
}

void Refuse(ImageLoadServices& s, const std::string& text) {
    s.dialogs.MessageBox(text, "Error", DialogIcon::Error);
}

// Reads the whole file, retrying a byte that fails at the same offset.
// False (after the warnings) when a byte keeps failing.
bool ReadAll(ImageLoadServices& s, std::vector<std::uint8_t>& bytes, std::uint32_t& sum) {
    sum = 0;
    for (std::uint32_t index = 0; index < bytes.size(); ++index) {
        std::optional<std::uint8_t> byte = s.file.ReadByte();
        for (int retry = 0; !byte; ++retry) {
            s.dialogs.MessageBox(kReadErrorText + std::to_string(index),
                                 "Warning:", DialogIcon::Error);
            if (retry == kImageReadRetries || !s.file.Seek(index)) {
                return false;
            }
            byte = s.file.ReadByte();
        }
        bytes[index] = *byte;
        sum += *byte;
    }
    return true;
}

}  // namespace

std::uint32_t ImageChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes) {
        sum += b;
    }
    return sum;
}

bool FamilyFits(std::uint8_t d0, std::uint8_t d1, std::uint8_t i0, std::uint8_t i1) {
    // The families 27 70 and 27 60 take each other's firmware.
    if (d0 == 0x27 && (d1 == 0x70 || d1 == 0x60)) {
        return i0 == 0x27 && (i1 == 0x60 || i1 == 0x70);
    }
    return i0 == d0 && i1 == d1;
}

bool LoadFirmwareImage(const std::string& path, const UpgradeDeviceFacts& device,
                       ImageLoadServices s, FirmwareImage& image) {
    s.status.SetPanel(kPanelFile, "File:" + path);
    image.Release();

    if (!s.file.Open(path)) {
        Refuse(s, kOpenFailedText);
        return false;
    }
    const std::optional<std::uint64_t> length = s.file.Length();
    if (!length || !s.file.Seek(0)) {
        s.file.Close();
        Refuse(s, kOpenFailedText);
        return false;
    }
    // Refused before a byte is read: a short file has no header to check,
    // and a long one could not be addressed by the flash commands.
    if (*length < kMinImageSize) {
        s.file.Close();
        Refuse(s, "The firmware file is too short (" + std::to_string(*length) +
                      " bytes); an image has at least " + std::to_string(kMinImageSize) +
                      " bytes.");
        return false;
    }
    if (*length > kFlashAddressLimit) {
        s.file.Close();
        Refuse(s, "The firmware file is too large (" + std::to_string(*length) +
                      " bytes); the SPI flash holds at most " + std::to_string(kFlashAddressLimit) +
                      " bytes.");
        return false;
    }

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*length));
    std::uint32_t sum = 0;
    const bool read = ReadAll(s, bytes, sum);
    s.file.Close();
    if (!read) {
        Refuse(s, "The firmware file could not be read; no firmware is loaded.");
        return false;
    }
    s.status.SetPanel(kPanelChecksum, "Chksum:" + HexText(sum, 8));

    if (!Equal(bytes, kImageGuidOffset, kMetadataGuid)) {
        Refuse(s, kGuidErrorText);
        return false;
    }
    if (!Equal(bytes, kImageSignatureOffset, kMetadataSignature)) {
        Refuse(s, kSignatureErrorText);
        return false;
    }
    if (device.chipVariant == 0) {
        const std::uint32_t f = BigEndian32(device.firmware);
        const std::uint32_t c = BigEndian32(std::span(bytes).subspan(kImageStampOffset, 4));
        s.status.SetPanel(kPanelDeviceStamp, "F:" + HexText(f, 1));
        s.status.SetPanel(kPanelImageStamp, "C:" + HexText(c, 1));
        if (f > kStampThreshold && c > kStampThreshold &&
            !FamilyFits(device.firmware[4], device.firmware[5], bytes[kImageFamilyOffset],
                        bytes[kImageFamilyOffset + 1])) {
            Refuse(s, kWrongProductText);
            return false;
        }
    }
    image.size = static_cast<std::uint32_t>(bytes.size());
    image.bytes = std::move(bytes);
    return true;
}

}  // namespace raid
