#pragma once

#include <array>
#include <cstdint>

namespace raid {

// Decoded status of one enclosure, one record per physical disk number.
// Model and serial texts are kept exactly as the controller delivers them
// (ATA identify strings: the two characters of every 16-bit word swapped).
struct RaidStatus {
    std::uint8_t driveNumber = 0;
    std::uint8_t validMark = 0;  // 0xA0 once discovery has filled the record
    std::uint8_t hdd1State = 0;
    std::uint8_t hdd2State = 0;
    std::uint8_t raidTaskStatus = 0;  // 0 none, 2 task running, 3 rebuild failed
    std::uint8_t controlFlags = 0;    // bit 0: buzzer enabled
    std::uint8_t raidMode = 0;
    std::array<std::uint8_t, 20> hdd1Serial{};
    std::array<std::uint8_t, 20> hdd2Serial{};
    std::uint64_t arrayCapacity = 0;  // sectors (48 bits)
    std::uint8_t driveClass = 0;      // bits 0-3 HDD1, 4-7 HDD2
    std::uint8_t taskMask = 0;        // bit 0 HDD1 busy, bit 1 HDD2 busy
    std::uint8_t progressPercent = 0;
    std::array<std::uint8_t, 4> backupInfo{};
    std::array<std::uint8_t, 40> hdd1Model{};
    std::uint64_t hdd1Capacity = 0;
    std::array<std::uint8_t, 40> hdd2Model{};
    std::uint64_t hdd2Capacity = 0;
    std::uint8_t envStatus = 0;  // 0xA0 reports fan/temperature, 0xFF does not
    std::uint16_t fanRpm = 0;
    std::uint8_t temperature = 0;
    std::uint8_t sataSpeed = 0;
};

inline constexpr std::uint8_t kValidMark = 0xA0;

// Drive classes, HDD1 bits; HDD2 uses the same bits shifted left by four.
inline constexpr std::uint8_t kClassInserted = 0x01;
inline constexpr std::uint8_t kClassPresent = 0x02;
inline constexpr std::uint8_t kClassAbsent = 0x04;
inline constexpr std::uint8_t kClassFailed = 0x08;
inline constexpr std::uint8_t kBothPresent = 0x22;

// RAID mode codes (RaidStatus::raidMode).
inline constexpr std::uint8_t kModeStriping = 0;
inline constexpr std::uint8_t kModeMirroring = 1;
inline constexpr std::uint8_t kModeNraid = 2;
inline constexpr std::uint8_t kModeJbod = 3;
inline constexpr std::uint8_t kModeBypass = 63;

// Polling state and feature bits of one monitored enclosure.
struct MonitorSlot {
    bool progressActive = false;
    bool envRefresh = false;
    bool buzzerChanged = false;
    std::uint8_t failCount = 0;
    bool drivesSwapped = false;
    std::uint8_t features = 0;  // bit 0 buzzer control, bit 1 backup schedule, bit 7 hybrid
};

inline constexpr std::uint8_t kFeatureBuzzer = 0x01;
inline constexpr std::uint8_t kFeatureBackup = 0x02;
inline constexpr std::uint8_t kFeatureHybrid = 0x80;

}  // namespace raid
