#include "monitor/status_text.h"

#include <algorithm>

#include "device/safe_text.h"

namespace raid {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Bytes 46-53 and 54-93 of the controller-information block.
constexpr std::size_t kFirmwareOffset = 46;
constexpr std::size_t kFirmwareLength = 8;
constexpr std::size_t kNameOffset = 54;
constexpr std::size_t kNameLength = 40;
constexpr std::size_t kMinModelLength = 6;

}  // namespace

std::string Hex2(std::uint8_t value) {
    return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

std::string SwappedText(std::span<const std::uint8_t> field) {
    std::string text(field.size(), ' ');
    for (std::size_t j = 0; j < field.size(); ++j) {
        // An odd last byte has no partner and stays where it is.
        const std::size_t to = (j ^ 1) < field.size() ? (j ^ 1) : j;
        text[to] = static_cast<char>(field[j]);
    }
    const auto nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    // From here on the name is text: in a day file, on a terminal, in the metrics file.
    return SafeText(text);
}

std::string ModelText(std::span<const std::uint8_t> field) {
    std::string text = SwappedText(field);
    std::size_t length = text.size();
    while (length > kMinModelLength && text[length - 1] == ' ') {
        --length;
    }
    text.resize(length);
    return text;
}

std::string SerialText(std::span<const std::uint8_t> field) {
    return SwappedText(field);
}

std::string FirmwareText(std::span<const std::uint8_t, 8> bytes) {
    const bool printable =
        std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x20; });
    if (printable) {
        return SwappedText(bytes);
    }
    return Hex2(bytes[0]) + Hex2(bytes[1]) + Hex2(bytes[2]) + "." + kHexDigits[bytes[3] & 0x0F];
}

std::string BlockFirmwareText(const ControllerBlock& block) {
    return FirmwareText(std::span<const std::uint8_t, kFirmwareLength>(
        block.data() + kFirmwareOffset, kFirmwareLength));
}

std::string BlockNameText(const ControllerBlock& block) {
    return ModelText(std::span<const std::uint8_t>(block.data() + kNameOffset, kNameLength));
}

std::string SizeText(std::uint64_t sectors) {
    const std::uint64_t gigabytes = sectors >> 21;
    if (gigabytes != 0) {
        return std::to_string(gigabytes) + " GB";
    }
    return std::to_string(sectors >> 11) + " MB";
}

std::string CapacityTail(std::uint64_t sectors) {
    const std::uint64_t used = LogSectors(sectors);
    return SizeText(used) + "(" + std::to_string(used) + " Sectors)";
}

std::string ModeName(std::uint8_t mode) {
    switch (mode) {
        case kModeStriping:
            return "Striping(RAID0)";
        case kModeMirroring:
            return "Mirroring(RAID1)";
        case kModeNraid:
            return "NRAID";
        case kModeJbod:
            return "JBOD";
        case kModeBypass:
            return "Bypass";
        default:
            return "Undefine";
    }
}

}  // namespace raid
