#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "device/clock.h"
#include "device/command_channel.h"
#include "device/device_state.h"
#include "device/disk_catalog.h"
#include "device/transport.h"

namespace raid {

// Finds the enclosures among the machine's disks. Runs on the detection
// thread while polling is paused; writes the "new" side of DeviceState.
class Discovery {
  public:
    // `message` raises a message box; discovery runs off the main thread, so
    // the caller hands it over.
    using MessageSink = std::function<void(const std::string& text)>;

    // Reads the first 256 bytes of the probed disk's controller flash; true
    // on success. The maintenance layer supplies it (its ReadSpiFlash).
    using FlashHeaderReader = std::function<bool(std::span<std::uint8_t, 256> header)>;

    Discovery(CommandChannel& channel, Transport& transport, DiskCatalog& catalog, Clock& clock,
              DeviceState& devices, ProcessFlags& flags, MessageSink message);

    void SetFlashHeaderReader(FlashHeaderReader reader) { readFlashHeader_ = std::move(reader); }

    // An enclosure that another process holds while this one looks, and that
    // no earlier run of this process knows, keeps its place in the table
    // marked kEnclosureInUse: a one-shot command numbers the enclosures it
    // finds, and "Device2" must not mean another enclosure because the first
    // one was busy.
    void SetKeepBusyPlaces(bool keep) { keepBusyPlaces_ = keep; }

    // Volume scan and probe; a second probe when the first finds nothing.
    int DiscoverDevices();
    void ScanVolumes();
    int ProbeDisks();

    // Letters C..Z present (at most 24) and disks 0..9 that open.
    int CountLetters();
    int CountDisks();

    static constexpr const char* kTooManyVolumes = "Drive Count Must less than 20.";

  private:
    enum class ProbeResult { Enclosure, NotEnclosure, Busy };
    ProbeResult ProbeOne(std::uint8_t disk, std::size_t index);
    // Keeps disk `disk` as the current table has it, at new index `index`;
    // false when it has no entry there.
    bool KeepAsItWas(std::uint8_t disk, std::size_t index);
    void KeepPlaceInUse(std::uint8_t disk, std::size_t index);
    void ReadFlashHeader(std::size_t index);
    void NameFromInquiry(std::uint8_t disk, ControllerBlock& block);
    void QueryHybrid(MonitorSlot& slot);
    void ComputeArrayCapacity(std::size_t index, RaidStatus& record, const ReplySector& driveInfo);

    CommandChannel& channel_;
    Transport& transport_;
    DiskCatalog& catalog_;
    Clock& clock_;
    DeviceState& devices_;
    ProcessFlags& flags_;
    MessageSink message_;
    FlashHeaderReader readFlashHeader_;
    bool keepBusyPlaces_ = false;
};

}  // namespace raid
