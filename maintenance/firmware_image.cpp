#include "maintenance/firmware_image.h"

#include <algorithm>
#include <cstdio>

namespace raid {
namespace {

constexpr int kPanelChecksum = 0;
constexpr int kPanelDeviceStamp = 2;
constexpr int kPanelImageStamp = 3;
constexpr int kPanelFile = 4;

std::string HexText(std::uint32_t value, int minDigits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", minDigits, static_cast<unsigned>(value));
    return text;
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

std::string ChecksumText(std::uint32_t sum) {
    return "Chksum:" + HexText(sum, 8);
}

bool LoadFirmwareImage(const std::string& path, const UpgradeDeviceFacts& device,
                       ImageLoadServices s, FirmwareImage& image) {
    s.status.SetPanel(kPanelFile, "File:" + path);
    image.Release();

    switch (s.file.Open(path)) {
        case ImageFile::OpenResult::Opened:
            break;
        case ImageFile::OpenResult::NotRegular:
            Refuse(s, kNotRegularText);
            return false;
        case ImageFile::OpenResult::Failed:
        default:
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
    s.status.SetPanel(kPanelChecksum, ChecksumText(sum));

    // The stamps are shown once the header is known to be an image's.
    const auto refused = CheckImageHeader(bytes, device);
    const auto stamps = StampsOf(bytes, device);
    if (stamps && (!refused || refused->text == kWrongProductText)) {
        s.status.SetPanel(kPanelDeviceStamp, "F:" + HexText(stamps->device, 1));
        s.status.SetPanel(kPanelImageStamp, "C:" + HexText(stamps->image, 1));
    }
    if (refused) {
        s.dialogs.MessageBox(refused->text, refused->caption, DialogIcon::Error);
        return false;
    }
    image.size = static_cast<std::uint32_t>(bytes.size());
    image.bytes = std::move(bytes);
    image.path = path;
    return true;
}

}  // namespace raid
