#pragma once

#include <array>
#include <cstdint>

#include "device/command_channel.h"
#include "device/device_state.h"
#include "maintenance/smart_store.h"
#include "monitor/poll_state.h"

namespace raid {

// ATA SMART features relayed to the drives.
inline constexpr std::uint8_t kSmartReadData = 0xD0;
inline constexpr std::uint8_t kSmartReadThresholds = 0xD1;
inline constexpr std::uint8_t kAtaIdentifyDevice = 0xEC;

enum class SmartDriveOutcome : std::uint8_t {
    NotRead,  // the pass did not reach the drive
    Absent,   // no working drive in the bay: its sector was cleared
    Read,     // every command of the drive succeeded
    Failed,   // a command failed four times; the sector kept what it could not replace
};

struct SmartPassReport {
    bool ran = false;     // false: the pass was not allowed to start
    bool failed = false;  // some command failed four times
    std::array<std::array<SmartDriveOutcome, kSmartDrives>, kSmartDevices> drives{};
};

// Reads the SMART data or thresholds (and, with the data, IDENTIFY word 106)
// of every drive of the monitored enclosures into the SMART store. Runs on
// the main thread as a request of the polling thread.
class SmartReader {
  public:
    SmartReader(CommandChannel& channel, DeviceState& devices, ProcessFlags& flags, PollState& poll,
                SmartStore& store);

    // `feature` is kSmartReadData or kSmartReadThresholds.
    SmartPassReport ReadSmartPass(std::uint8_t feature);

    // Attempts per relay command and per quarter of a result.
    static constexpr int kAttempts = 4;

  private:
    bool MayRun() const;
    bool MustStop() const;
    std::uint32_t ReadSectorWord(std::uint8_t drive);
    bool ReadSector(std::uint8_t feature, std::uint8_t drive, SmartSector& sector);

    CommandChannel& channel_;
    DeviceState& devices_;
    ProcessFlags& flags_;
    PollState& poll_;
    SmartStore& store_;
};

}  // namespace raid
