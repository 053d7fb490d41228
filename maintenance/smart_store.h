#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "device/transport.h"

namespace raid {

// Enclosures and bays the SMART store keeps: the two monitored device slots,
// HDD1 and HDD2 of each.
inline constexpr std::size_t kSmartDevices = 2;
inline constexpr std::size_t kSmartDrives = 2;

using SmartSector = std::array<std::uint8_t, kSectorSize>;

// Sector-size words that are not IDENTIFY word 106 but say why it is missing.
inline constexpr std::uint32_t kSectorWordAbsent = 0xFFFF;       // no drive in the bay
inline constexpr std::uint32_t kSectorWordIssueFailed = 0xFFF7;  // IDENTIFY not accepted
inline constexpr std::uint32_t kSectorWordFetchFailed = 0xFFFE;  // its quarter 2 never came
inline constexpr std::uint32_t kSectorWord4K = 0x6003;           // 4K physical sectors
inline constexpr std::uint32_t kSectorWordErrorBit = 0x8000;

// What the SMART reader last read of every drive, by device-table index and
// bay (0 HDD1, 1 HDD2). Main thread only; lives for the whole run.
struct SmartStore {
    std::array<std::array<SmartSector, kSmartDrives>, kSmartDevices> data{};
    std::array<std::array<SmartSector, kSmartDrives>, kSmartDevices> thresholds{};
    std::array<std::array<std::uint32_t, kSmartDrives>, kSmartDevices> sectorWord{};
    // The last threshold pass read every present drive without a failure.
    bool thresholdsValid = false;
    // A pass is under way (it lets the window handle events between reads):
    // a device-change recount must wait, or discovery would start commands of
    // its own in the middle of the pass's.
    bool passRunning = false;
};

}  // namespace raid
