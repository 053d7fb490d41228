#include "monitor/status_summary.h"

#include "monitor/status_text.h"

namespace raid {

std::string ArrayStateText(const RaidStatus& r) {
    if (r.taskMask & 0x03) {
        const char* arrows = (r.taskMask & 0x01) ? "%\n<<<<\nRebuilding" : "%\n>>>>\nRebuilding";
        return std::to_string(r.progressPercent) + arrows;
    }
    if (r.raidTaskStatus == 3) {
        return "Rebuild Failed";
    }
    if (r.raidTaskStatus != 0) {
        return "Riad Status\n" + Hex2(r.raidTaskStatus);
    }
    if (r.raidMode == kModeBypass) {
        return "Failure";
    }
    if ((r.driveClass & kBothPresent) == kBothPresent) {
        return "Normal";
    }
    return "Single HDD\nPresent(" + Hex2(r.driveClass & kBothPresent) + ")";
}

const char* DriveClassName(std::uint8_t classBits) {
    if (classBits & kClassAbsent) {
        return "absent";
    }
    if (classBits & kClassPresent) {
        return "present";
    }
    if (classBits & kClassFailed) {
        return "failed";
    }
    if (classBits & kClassInserted) {
        return "inserted";
    }
    return "unknown";
}

bool ReportsEnvironment(const RaidStatus& r) {
    return (r.envStatus & 0xF0) == 0xA0 && r.envStatus != 0xAA;
}

}  // namespace raid
