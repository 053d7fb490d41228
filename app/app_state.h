#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "device/device_state.h"
#include "maintenance/maintenance_state.h"
#include "maintenance/smart_store.h"
#include "monitor/alert_state.h"
#include "monitor/event_log.h"
#include "monitor/poll_state.h"

namespace raid {

inline constexpr const char* kVersionText = "v0.50.11-5b";
inline constexpr const char* kAppTitle = "RAID GUI v0.50.11-5b";
inline constexpr std::uint8_t kSmartRefreshTicks = 60;

// The process-wide state, created once by the front end and passed by
// reference. Flags two threads touch are atomics; each still has one writer.
struct AppState {
    ProcessFlags flags;
    DeviceState devices;
    PollState poll;
    EventLogState log;
    AlertState alerts;
    MaintenanceState maintenance;

    std::atomic<std::uint8_t> MailFlags{0};
    std::uint8_t SmartCountdown = kSmartRefreshTicks;
    SmartStore smart;
    int CurrentPage = 0;

    std::vector<std::string> systemInfoLines;
};

}  // namespace raid
