#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "device/clock.h"
#include "device/transport.h"
#include "sim/controller.h"
#include "sim/scenario.h"

namespace raid::sim {

// One read as a disk saw it.
struct ReadRecord {
    std::uint32_t lba = 0;
    bool ok = false;
};

// A machine's disks as a scenario describes them: enclosures with their
// controllers, plain disks that never answer, and a timeline that changes
// them as the clock advances. Scenario time starts at construction.
//
// All calls lock one mutex, so the detection thread and the main thread may
// take turns on it.
class SimTransport final : public Transport {
  public:
    SimTransport(Scenario scenario, Clock& clock);
    ~SimTransport() override;

    DeviceHandle OpenDevice(std::uint8_t code) override;
    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override;
    bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
    void CloseHandle(DeviceHandle handle) override;
    std::optional<OpenFailure> LastOpenFailure() const override;

    // Milliseconds since the scenario started.
    std::uint64_t ElapsedMs() const;

    // How many times an enclosure has appeared or disappeared so far (the
    // timeline caught up first): the simulated machine's device notifications.
    std::uint64_t PresenceChanges();
    // Whether the timeline still holds an enclosure appearing or disappearing.
    bool PresenceChangesAhead();

    // --- test hooks ---
    // Recording of reads and decoded commands is off until switched on.
    void SetRecording(bool on);
    std::vector<ReadRecord> Reads(std::uint8_t disk) const;
    std::vector<CommandRecord> Commands(std::uint8_t disk) const;
    void ClearRecords();
    std::size_t OpenHandleCount() const;
    // Runs `action` on the controller of the enclosure on `disk`, under the
    // lock, after the timeline has caught up. False when there is none.
    bool WithController(std::uint8_t disk, const std::function<void(Controller&)>& action);
    bool EnclosurePresent(std::uint8_t disk);

  private:
    struct Disk {
        std::unique_ptr<Controller> controller;  // null for a plain disk
        bool present = true;
        std::string vendor;
        std::string product;
        std::string revision;
        std::vector<ReadRecord> reads;
    };

    void CatchUp();  // applies due timeline events; caller holds the lock
    void AdvanceControllers(std::uint64_t atMs);
    Disk* FindDisk(std::uint8_t number);
    Disk* DiskOf(DeviceHandle handle);

    mutable std::mutex mutex_;
    Clock& clock_;
    std::uint64_t startMs_;
    std::vector<TimelineEvent> timeline_;  // sorted by time
    std::size_t nextEvent_ = 0;
    std::uint64_t presenceChanges_ = 0;
    std::map<std::uint8_t, Disk> disks_;
    std::map<DeviceHandle, std::uint8_t> handles_;
    DeviceHandle nextHandle_ = 3;
    std::optional<OpenFailure> lastOpenFailure_;
    bool recording_ = false;
};

}  // namespace raid::sim
