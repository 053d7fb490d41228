#pragma once

#include <array>
#include <cstdint>

#include "sim/scenario.h"

namespace raid::sim {

using Sector = std::array<std::uint8_t, 512>;

// What the drive behind a bay answers to the ATA commands the controller
// relays: IDENTIFY DEVICE and the two SMART reads, in the standard layouts.
Sector IdentifySector(const DriveConfig& drive);
Sector SmartDataSector(const DriveConfig& drive);
Sector SmartThresholdSector(const DriveConfig& drive);

// The attributes a drive reports when its scenario lists none.
const std::vector<SmartAttribute>& HealthyAttributes();

}  // namespace raid::sim
