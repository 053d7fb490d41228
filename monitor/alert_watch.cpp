#include "monitor/alert_watch.h"

#include "monitor/mail_request.h"
#include "monitor/status_summary.h"
#include "monitor/status_text.h"

namespace raid {
namespace {

constexpr std::uint8_t kEnvFanFailureBit = 0x01;
constexpr std::uint8_t kEnvOverHeatBit = 0x04;
constexpr std::uint8_t kTaskFailed = 3;

}  // namespace

AlertFindings WatchEnvironment(SlotAlert& alert, std::size_t n, const RaidStatus& record,
                               std::uint8_t heatLimit, const std::string& dt) {
    AlertFindings found;
    if (!ReportsEnvironment(record)) {
        return found;
    }
    const std::string d = "D" + std::to_string(n);
    const unsigned t = record.temperature;
    alert.temperature = record.temperature;
    alert.fanRpm = record.fanRpm;

    const bool hotBit = (record.envStatus & kEnvOverHeatBit) != 0;
    if (!alert.overHeat && (t >= heatLimit || hotBit)) {
        alert.overHeat = true;
        found.lines.push_back(d + " Over Heat: " + std::to_string(t) + " C, limit " +
                              std::to_string(heatLimit) + " C, " + dt);
        found.kinds.push_back(kMailOverHeat);
    } else if (alert.overHeat && !hotBit && t + kHeatHysteresis <= heatLimit) {
        alert.overHeat = false;
        found.lines.push_back(d + " temperature back to normal: " + std::to_string(t) + " C, " +
                              dt);
    }

    // An enclosure that reports 0 RPM from the start may have no fan at all.
    alert.fanSeen = alert.fanSeen || record.fanRpm > 0;
    const bool failBit = (record.envStatus & kEnvFanFailureBit) != 0;
    const bool stopped = failBit || (alert.fanSeen && record.fanRpm == 0);
    if (!alert.fanFailed && stopped) {
        alert.fanFailed = true;
        found.lines.push_back(d + " Fan Fail: " + std::to_string(record.fanRpm) + " RPM, " + dt);
        found.kinds.push_back(kMailFanFail);
    } else if (alert.fanFailed && !stopped) {
        alert.fanFailed = false;
        found.lines.push_back(d + " fan back to normal: " + std::to_string(record.fanRpm) +
                              " RPM, " + dt);
    }
    return found;
}

AlertFindings RebuildEnded(SlotAlert& alert, std::size_t n, const RaidStatus& record,
                           std::uint8_t direction, const std::string& dt) {
    AlertFindings found;
    const bool failed = record.raidTaskStatus == kTaskFailed;
    if (!failed && (record.driveClass & kBothPresent) != kBothPresent) {
        return found;
    }
    alert.rebuild = RebuildEnd{failed, record.raidTaskStatus, direction};
    if (failed) {
        found.lines.push_back("D" + std::to_string(n) +
                              (direction == 0 ? " HDD2 --> HDD1 " : " HDD1 --> HDD2 ") +
                              "Failed, [" + Hex2(record.raidTaskStatus) + "] " + dt);
    }
    // A finished rebuild already has its "Done" (or "OK") line.
    found.kinds.push_back(kMailRebuild);
    return found;
}

}  // namespace raid
