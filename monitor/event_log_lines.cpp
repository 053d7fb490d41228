#include "monitor/event_log_lines.h"

#include <span>

#include "monitor/status_text.h"

namespace raid {
namespace {

// One drive bay of a record, so HDD1 and HDD2 share one code path.
struct Drive {
    std::uint8_t classBits;  // this drive's class, in HDD1 bit positions
    std::uint8_t state;
    std::span<const std::uint8_t> model;
    std::span<const std::uint8_t> serial;
    std::uint64_t capacity;
};

Drive DriveOf(const RaidStatus& r, int drive) {
    if (drive == 0) {
        return {static_cast<std::uint8_t>(r.driveClass & 0x0F), r.hdd1State, r.hdd1Model,
                r.hdd1Serial, r.hdd1Capacity};
    }
    return {static_cast<std::uint8_t>(r.driveClass >> 4), r.hdd2State, r.hdd2Model, r.hdd2Serial,
            r.hdd2Capacity};
}

// The class that decides a drive's line: absent, present, failed, inserted,
// the first that is set.
std::uint8_t DecidingClass(std::uint8_t classBits) {
    for (const std::uint8_t bit : {kClassAbsent, kClassPresent, kClassFailed, kClassInserted}) {
        if (classBits & bit) {
            return bit;
        }
    }
    return 0;
}

constexpr std::uint8_t kStateRebuildFailure = 0x12;

struct BlockTexts {
    const char* absent;
    const char* absentModel;
    const char* present;
    const char* rebuildFailure;
    const char* failed;
    const char* inserted;
};

// The two bays' texts differ in small ways (blanks, punctuation) that the
// log's readers are used to; they are kept as they are.
constexpr BlockTexts kBlockTexts[2] = {
    {"  HDD1 is absent. [", "    Model no.:", "  HDD1 is present.[",
     "  HDD1 was failed, Rebuilding failure. [", "  HDD1 was failed, Unmatched SSD. [",
     "HDD1 was inserted. ["},
    {"  HDD2 is absent. [", "    Model no.: ", "  HDD2 is present. [",
     "  HDD2 was failed, Rebuilding failure. [", "  HDD2 was failed, Unmatched SSD. [",
     "HDD2 was inserted. ["},
};

struct TransitionTexts {
    const char* removed;
    const char* initialized;
    const char* rebuildFailure;
    const char* failed;
    const char* inserted;
};

constexpr TransitionTexts kTransitionTexts[2] = {
    {" HDD1 was removed, [", " HDD1 was initialized. [", " HDD1 was failed, Rebuilding failure, [",
     " HDD1 was failed, [", " HDD1 was inserted, ["},
    {" HDD2 was removed, [", " HDD2 was initialized, [", " HDD2 was failed, Rebuilding failure. [",
     " HDD2 was failed, Capacity too small. [", " HDD2 was inserted, ["},
};

void AddDetailLines(std::vector<std::string>& lines, const Drive& d, const std::string& modelLabel,
                    const std::string& indent) {
    lines.push_back(modelLabel + ModelText(d.model));
    lines.push_back(indent + "Serial no.: \"" + SerialText(d.serial) + "\"");
    lines.push_back(indent + "Capacity : " + CapacityTail(d.capacity));
}

void AddBlockDrive(std::vector<std::string>& lines, const RaidStatus& r, int drive) {
    const Drive d = DriveOf(r, drive);
    const BlockTexts& t = kBlockTexts[drive];
    const std::string state = Hex2(d.state) + "] ";
    const std::string indent = "    ";
    switch (DecidingClass(d.classBits)) {
        case kClassAbsent:
            lines.push_back(t.absent + state);
            if (!SerialText(d.serial).empty()) {
                AddDetailLines(lines, d, t.absentModel, indent);
            }
            break;
        case kClassPresent:
            lines.push_back(t.present + state);
            AddDetailLines(lines, d, indent + "Model no.: ", indent);
            break;
        case kClassFailed:
            lines.push_back((d.state == kStateRebuildFailure ? t.rebuildFailure : t.failed) +
                            state);
            AddDetailLines(lines, d, indent + "Model no.: ", indent);
            break;
        case kClassInserted:
            lines.push_back(t.inserted + state);
            break;
        default:
            break;
    }
}

}  // namespace

std::vector<std::string> DeviceInformationBlock(std::size_t n, const RaidStatus& record,
                                                const ControllerBlock& block) {
    std::vector<std::string> lines;
    lines.push_back("Device" + std::to_string(n) + " information :");
    lines.push_back("Model# " + BlockNameText(block));
    lines.push_back(ModeName(record.raidMode) + ", F/W Rev. " + BlockFirmwareText(block));
    lines.push_back("Configured Capacity : " + CapacityTail(record.arrayCapacity));
    lines.push_back("RAID Status : 0x" + Hex2(record.raidTaskStatus));
    AddBlockDrive(lines, record, 0);
    AddBlockDrive(lines, record, 1);
    return lines;
}

DriveChange DriveTransition(std::size_t n, int drive, std::uint8_t oldClass,
                            const RaidStatus& record, const std::string& dt) {
    const Drive d = DriveOf(record, drive);
    const std::uint8_t oldBits = drive == 0 ? (oldClass & 0x0F) : (oldClass >> 4);
    const std::uint8_t deciding = DecidingClass(d.classBits);
    DriveChange change;
    if (deciding == 0 || (oldBits & deciding) != 0) {
        return change;
    }
    const TransitionTexts& t = kTransitionTexts[drive];
    const char* text = nullptr;
    bool details = true;
    switch (deciding) {
        case kClassAbsent:
            change.event = DriveEvent::Removed;
            text = t.removed;
            details = false;
            break;
        case kClassPresent:
            change.event = DriveEvent::Initialized;
            text = t.initialized;
            break;
        case kClassFailed:
            change.event = DriveEvent::Failed;
            text = d.state == kStateRebuildFailure ? t.rebuildFailure : t.failed;
            break;
        default:
            change.event = DriveEvent::Inserted;
            text = t.inserted;
            details = false;
            break;
    }
    change.lines.push_back("D" + std::to_string(n) + text + Hex2(d.state) + "] " + dt);
    if (details) {
        AddDetailLines(change.lines, d, "  Model no.: ", "  ");
    }
    return change;
}

std::optional<std::string> RebuildLine(LogSlot& slot, std::size_t n, const RaidStatus& record,
                                       const std::string& dt) {
    const std::string device = "D" + std::to_string(n);
    const char* toHdd1 = " HDD2 --> HDD1 ";
    const char* toHdd2 = " HDD1 --> HDD2 ";
    if (record.taskMask & 0x03) {
        if (slot.lastPercent != kNoPercent && slot.lastPercent == record.progressPercent) {
            return std::nullopt;
        }
        slot.lastPercent = record.progressPercent;
        slot.rebuildDirection = (record.taskMask & 0x01) ? 0 : 1;
        return device + (slot.rebuildDirection == 0 ? toHdd1 : toHdd2) +
               std::to_string(record.progressPercent) + "%, " + dt;
    }
    if (slot.lastPercent == kNoPercent) {
        return std::nullopt;
    }
    const bool finished = slot.lastPercent == 99;
    slot.lastPercent = kNoPercent;
    if ((record.driveClass & kBothPresent) != kBothPresent) {
        return std::nullopt;
    }
    if (finished) {
        return device + (slot.rebuildDirection == 0 ? toHdd1 : toHdd2) + "Done, " + dt;
    }
    return device + " HDD1 OK, HDD2 OK, " + dt;
}

}  // namespace raid
