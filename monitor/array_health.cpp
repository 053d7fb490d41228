#include "monitor/array_health.h"

namespace raid {

namespace {
constexpr std::uint8_t kRebuildFailed = 3;
}

ArrayHealth HealthOf(const RaidStatus& r) {
    if ((r.taskMask & 0x03) != 0) {
        return ArrayHealth::Rebuilding;
    }
    if (r.raidTaskStatus == kRebuildFailed || r.raidMode == kModeBypass ||
        (r.driveClass & kBothPresent) == 0) {
        return ArrayHealth::Failed;
    }
    if (r.raidTaskStatus != 0 || (r.driveClass & kBothPresent) != kBothPresent) {
        return ArrayHealth::Degraded;
    }
    return ArrayHealth::Normal;
}

const char* HealthName(ArrayHealth health) {
    switch (health) {
        case ArrayHealth::Normal:
            return "normal";
        case ArrayHealth::Rebuilding:
            return "rebuilding";
        case ArrayHealth::Degraded:
            return "degraded";
        case ArrayHealth::Failed:
            break;
    }
    return "failed";
}

}  // namespace raid
