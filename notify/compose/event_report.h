#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device_state.h"

namespace raid {

// The event report at the head of a notification (kinds 1-4) about the
// enclosure at device-table index `device`; `port` is the drive bay of a
// kind-1 event. Empty when the device table has no such entry.
std::vector<std::string> EventReportLines(const DeviceState& devices, std::uint8_t kind,
                                          std::uint8_t device, std::uint8_t port);

// The controller's firmware revision as the report prints it: the eight bytes
// pair-swapped when all are printable, else the first six as twelve
// hexadecimal digits.
std::string ReportFirmwareText(const ControllerBlock& block);

}  // namespace raid
