#include "notify/compose/event_report.h"

#include <span>

#include "monitor/status_text.h"

namespace raid {
namespace {

constexpr std::size_t kFirmwareOffset = 46;
constexpr std::size_t kNameOffset = 54;
constexpr std::size_t kNameLength = 40;

std::string LinkSpeed(std::uint8_t nibble) {
    switch (nibble) {
        case 1:
            return "1.5G";
        case 2:
            return "3G";
        case 3:
            return "6G";
        default:
            return {};
    }
}

std::string CapacityText(std::uint64_t sectors) {
    return SizeText(sectors) + "(" + std::to_string(sectors) + " Sectors)";
}

void AddDrive(std::vector<std::string>& lines, const RaidStatus& r, int drive, std::uint8_t kind) {
    const std::uint8_t classBits =
        static_cast<std::uint8_t>(drive == 0 ? r.driveClass & 0x0F : r.driveClass >> 4);
    const std::uint8_t speed =
        static_cast<std::uint8_t>(drive == 0 ? r.sataSpeed & 0x0F : r.sataSpeed >> 4);
    const std::string name = drive == 0 ? "HDD1" : "HDD2";
    std::uint8_t deciding = 0;
    for (const std::uint8_t bit : {kClassAbsent, kClassPresent, kClassFailed, kClassInserted}) {
        if (classBits & bit) {
            deciding = bit;
            break;
        }
    }
    switch (deciding) {
        case kClassAbsent:
            lines.push_back("  " + name + " is absent. ");
            break;
        case kClassPresent:
            lines.push_back("  " + name + " is present.(SATA" + LinkSpeed(speed) + ")");
            break;
        case kClassFailed:
            lines.push_back("  " + name + " was failed, Capacity too small.");
            break;
        case kClassInserted:
            lines.push_back(name + " was inserted.");
            break;
        default:
            break;
    }
    if (kind == 1 || deciding == kClassPresent || deciding == kClassFailed) {
        const auto& model = drive == 0 ? r.hdd1Model : r.hdd2Model;
        const auto& serial = drive == 0 ? r.hdd1Serial : r.hdd2Serial;
        const std::uint64_t capacity = drive == 0 ? r.hdd1Capacity : r.hdd2Capacity;
        lines.push_back("    Model no.: " + ModelText(model));
        lines.push_back("    Serial no.: \"" + SerialText(serial) + "\"");
        lines.push_back("    Capacity : " + CapacityText(capacity));
    }
}

}  // namespace

std::string ReportFirmwareText(const ControllerBlock& block) {
    const std::span<const std::uint8_t> bytes(block.data() + kFirmwareOffset, 8);
    bool printable = true;
    for (const std::uint8_t b : bytes) {
        printable = printable && b >= 0x20;
    }
    if (printable) {
        return SwappedText(bytes);
    }
    std::string text;
    for (std::size_t i = 0; i < 6; ++i) {
        text += Hex2(bytes[i]);
    }
    return text;
}

std::vector<std::string> EventReportLines(const DeviceState& devices, std::uint8_t kind,
                                          std::uint8_t device, std::uint8_t port,
                                          const AlertState* alerts) {
    std::vector<std::string> lines;
    if (devices.table.count == 0 || device >= devices.table.count || device >= kMaxDevices) {
        return lines;
    }
    const std::uint8_t disk = devices.table.Disk(device);
    if (disk >= kMaxDisks) {
        return lines;
    }
    const RaidStatus& r = devices.records[disk];
    const ControllerBlock& block = devices.blocks[disk];
    const std::string d = "Device" + std::to_string(device + 1);
    switch (kind) {
        case 1:
            lines.push_back(d + " P" + std::to_string(port) + " Hard Disk Drive fail.");
            break;
        case 2:
            lines.push_back(d + " RAID system fail.");
            break;
        case 3:
            lines.push_back(d + " over heat.");
            break;
        case 4:
            lines.push_back(d + " fan fail.");
            break;
        default:
            break;
    }
    const SlotAlert* alert =
        alerts != nullptr && device < alerts->slots.size() ? &alerts->slots[device] : nullptr;
    // The kinds beyond the design's four say first what was seen.
    if (kind == 5) {
        const DriveAlert* drive = alert != nullptr && port < 2 ? &alert->drives[port] : nullptr;
        lines.push_back(d + " P" + std::to_string(port) + " SMART " +
                        (drive != nullptr ? SmartWordText(drive->word) : "unknown") + ".");
        if (drive != nullptr) {
            lines.insert(lines.end(), drive->report.begin(), drive->report.end());
        }
    } else if (kind == 6) {
        const bool failed = alert != nullptr && alert->rebuild.failed;
        lines.push_back(d + " P" + std::to_string(port) +
                        (failed ? " rebuild failed. [" + Hex2(alert->rebuild.taskStatus) + "]"
                                : std::string(" rebuild done.")));
    }
    lines.push_back(d + " information :");
    lines.push_back("Model# " + ModelText(std::span<const std::uint8_t>(block.data() + kNameOffset,
                                                                        kNameLength)));
    lines.push_back(ModeName(r.raidMode) + ", F/W Rev. " + ReportFirmwareText(block));
    lines.push_back("Configured Capacity : " + CapacityText(r.arrayCapacity));
    AddDrive(lines, r, 0, kind);
    AddDrive(lines, r, 1, kind);
    if (alert != nullptr && kind == 3) {
        lines.push_back("Temperature : " + std::to_string(alert->temperature) + " C (limit " +
                        std::to_string(alerts->heatLimit) + " C)");
    } else if (alert != nullptr && kind == 4) {
        lines.push_back("Fan : " + std::to_string(alert->fanRpm) + " RPM");
    }
    return lines;
}

}  // namespace raid
