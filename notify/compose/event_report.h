#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device_state.h"
#include "monitor/alert_state.h"

namespace raid {

// The event report at the head of a notification about the enclosure at
// device-table index `device`; `port` is the drive bay of a kind-1 or SMART
// event and the rebuilt drive of a rebuild's end. `alerts` says what the
// alerts beyond a lost drive saw (temperature, fan, SMART findings, how a
// rebuild ended). Empty when the device table has no such entry.
std::vector<std::string> EventReportLines(const DeviceState& devices, std::uint8_t kind,
                                          std::uint8_t device, std::uint8_t port,
                                          const AlertState* alerts = nullptr);

// The controller's firmware revision as the report prints it: the eight bytes
// pair-swapped when all are printable, else the first six as twelve
// hexadecimal digits.
std::string ReportFirmwareText(const ControllerBlock& block);

}  // namespace raid
