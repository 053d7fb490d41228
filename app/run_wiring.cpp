#include "app/run_wiring.h"

#include "monitor/event_log.h"

namespace raid {

std::unique_ptr<DeviceChanges> RunDeviceChanges(
    Platform& platform, bool simulate,
    const std::function<std::unique_ptr<DeviceChanges>()>& watchHost) {
    std::unique_ptr<DeviceChanges> changes;
    if (simulate) {
        changes = std::move(platform.deviceChanges);
    } else if (watchHost) {
        changes = watchHost();
    }
    if (!changes) {
        changes = std::make_unique<NoDeviceChanges>();
    }
    return changes;
}

std::string SaveOwedLogLines(EventLogState& log) {
    std::string text;
    for (const std::string& error : SaveKeptLogLines(log)) {
        text += (text.empty() ? "" : "; ") + error;
    }
    return text;
}

}  // namespace raid
