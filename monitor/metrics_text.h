#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "device/device_state.h"
#include "monitor/alert_state.h"
#include "monitor/poll_state.h"

namespace raid {

// What the metrics file says beyond the polled status: filled by whoever knows.
struct MetricsExtras {
    // The SMART overall health of a drive (slot 0/1, drive 0 HDD1 / 1 HDD2),
    // 0 Good, 1 Warning, 2 Error, when its attributes have been read.
    std::function<std::optional<std::uint16_t>(std::size_t slot, int drive)> smartHealth;
    // Heat, fan, watched SMART counts and the last alert's time; none: left out.
    const AlertState* alerts = nullptr;
    std::optional<std::uint64_t> mailsQueued;
    std::optional<std::uint64_t> mailsFailed;
};

// The monitored enclosures in the Prometheus text exposition format (for
// node_exporter's textfile collector): per enclosure and drive the state codes,
// the task and its percentage, temperature, fan, and the time of the last
// poll that succeeded.
std::string MetricsText(const DeviceState& devices, const PollState& poll,
                        const MetricsExtras& extras);

}  // namespace raid
