#include "app/run_wiring.h"

#include "monitor/log_file.h"

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

std::string SaveOwedLogLines(const EventLogState& log) {
    if (!log.saveOwed || log.fileName.empty()) {
        return {};
    }
    return SaveLogFile(log.fileName, log.EventLog);
}

}  // namespace raid
