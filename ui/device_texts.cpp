#include "ui/device_texts.h"

#include <algorithm>
#include <cctype>

#include "monitor/status_text.h"

namespace raid::ui {

bool EnvPanelSupportedFor(const std::string& versionText, bool envRefresh) {
    if (envRefresh) {
        return true;
    }
    if (versionText.size() < 7 || versionText[6] != '.') {
        return false;
    }
    const auto digits = versionText.substr(0, 6);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
        return false;
    }
    return std::stoi(digits) > 100125;
}

std::string VolumeListText(const std::vector<VolumeRecord>& volumes, std::uint8_t disk) {
    std::string text;
    for (const VolumeRecord& v : volumes) {
        if (v.driveType != kDriveTypeFixed || v.diskNumber != disk) {
            continue;
        }
        if (v.mountPoint.empty()) {
            text += v.letter;
            continue;
        }
        if (!text.empty()) {
            text += ' ';
        }
        text += v.mountPoint;
    }
    return text;
}

std::string DeviceText(const ControllerBlock& block, const std::vector<VolumeRecord>& volumes,
                       std::uint8_t disk) {
    // Without a known mount point the empty brackets would only end the
    // window's title in " []".
    const std::string list = VolumeListText(volumes, disk);
    return list.empty() ? BlockNameText(block) : BlockNameText(block) + " [" + list + "]";
}

std::string DeviceLabelText(const std::string& versionText, const std::string& serial) {
    return versionText + " (" + serial + ")";
}

std::string DiskHint(std::uint8_t disk) {
    return std::string("PhysicalDrive") + "0123456789ABCDEF"[disk & 0x0F];
}

}  // namespace raid::ui
