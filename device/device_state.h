#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device/raid_status.h"
#include "device/transport.h"

namespace raid {

inline constexpr std::size_t kMaxDisks = 10;   // physical disk numbers 0..9
inline constexpr std::size_t kMaxDevices = 8;  // entries of a device table
inline constexpr std::size_t kMaxSlots = 2;    // "Device1" and "Device2"
inline constexpr std::size_t kMaxVolumes = 20;
inline constexpr std::size_t kMaxLetters = 24;  // C..Z
inline constexpr std::uint32_t kEnclosureMark = 0x40;
// An enclosure that another process of ours held while it was looked for: it
// keeps its place in the numbering, so that "Device2" never shifts onto
// another enclosure, but nothing about it is known.
inline constexpr std::uint32_t kEnclosureInUse = 0x80;
inline constexpr std::uint16_t kNoFlashTarget = 0x100;

// The processed reply of the controller-information command, per disk:
// bytes 46-53 firmware version, 54-93 the enclosure name (pair-swapped).
using ControllerBlock = std::array<std::uint8_t, kSectorSize>;
inline constexpr std::size_t kBlockFirmwareOffset = 46;
inline constexpr std::size_t kBlockFirmwareLength = 8;
inline constexpr std::size_t kBlockNameOffset = 54;
inline constexpr std::size_t kBlockNameLength = 40;
// Where the controller-information reply itself carries them: discovery
// copies the firmware bytes to kBlockFirmwareOffset, and the name (or, when
// the first byte is 0, a name from INQUIRY) to kBlockNameOffset.
inline constexpr std::size_t kReplyFirmwareOffset = 88;
inline constexpr std::size_t kReplyNameOffset = 160;

struct DeviceTable {
    std::array<std::uint32_t, kMaxDevices> entries{};
    std::uint8_t count = 0;

    std::uint8_t Disk(std::size_t index) const {
        return static_cast<std::uint8_t>(entries[index % kMaxDevices] & 0x0F);
    }
    bool InUse(std::size_t index) const {
        return (entries[index % kMaxDevices] & kEnclosureInUse) != 0;
    }
};

// One mounted volume of a disk ("drive letter"; on Linux the letter stands in
// for a mount point, which is kept beside it for display).
struct VolumeRecord {
    char letter = 0;
    std::uint8_t driveType = 0;  // 3 = fixed; 0xFF when it could not be opened
    std::uint8_t diskNumber = 0;
    std::uint64_t startingOffset = 0;
    std::uint64_t length = 0;
    std::string mountPoint;
};

// What discovery learnt about one enclosure, by device-table index.
struct FoundDevice {
    std::uint8_t chipVariant = 0;
    std::uint8_t flashType = 0;  // byte 149 of the controller flash
    bool namePresent = false;    // the controller names itself (bytes 160-199)
    // Backup schedule of enclosures that keep one: hours per step and the
    // three preset periods (in steps).
    std::uint8_t scheduleUnit = 24;
    std::array<std::uint8_t, 3> schedulePresets{1, 7, 30};
};

// The schedule parameters of the enclosure last shown; "Off" is preset 0.
struct ScheduleParameters {
    std::uint8_t unit = 24;
    std::array<std::uint8_t, 4> presets{0, 1, 7, 30};
};

// Flags that gate all device work; owned by the application, read everywhere.
struct ProcessFlags {
    std::atomic<std::uint8_t> AppClosing{0};
    std::atomic<std::uint8_t> StartupPass{1};
    std::atomic<std::uint8_t> MaintenanceBusy{0};
    std::atomic<std::uint16_t> flashTargetIndex{kNoFlashTarget};
};

// Everything discovery finds and the flags that keep it apart from polling.
// The detection thread writes the "new" side while polling is paused; the main
// thread applies it after DetectDone.
struct DeviceState {
    std::atomic<std::uint8_t> DetectRequest{1};
    std::atomic<std::uint8_t> PollPaused{1};
    std::atomic<std::uint8_t> DetectDone{0};
    std::atomic<std::uint8_t> DetectionRunning{1};
    std::atomic<std::uint8_t> EntryUnderTest{0};
    std::uint8_t DetectCountdown = 0;  // main thread only

    DeviceTable table;     // current
    DeviceTable newTable;  // being built by a discovery run

    std::array<FoundDevice, kMaxDevices> devices{};
    std::array<MonitorSlot, kMaxDevices> slots{};
    std::array<RaidStatus, kMaxDisks> records{};
    std::array<ControllerBlock, kMaxDisks> blocks{};
    std::array<ControllerBlock, kMaxDisks> previousBlocks{};
    std::array<std::int64_t, kMaxDisks> blockChangedAt{};  // wall seconds

    std::vector<VolumeRecord> volumes;
    int letterCount = 0;
    int diskCount = 0;

    // Serial number of each disk index, from the system facts.
    std::map<std::uint32_t, std::string> diskSerials;

    ScheduleParameters schedule;

    // The device-table slot that commands address outside discovery.
    std::atomic<std::uint8_t> currentSlot{0};
};

}  // namespace raid
