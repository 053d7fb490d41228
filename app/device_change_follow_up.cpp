#include "app/device_change_follow_up.h"

#include "sysinfo/disk_identity.h"

namespace raid {
namespace {

constexpr const char* kDetecting = "Drive detecting";
constexpr const char* kNoDrive = "No Drive found! ";

}  // namespace

DeviceChangeFollowUp::DeviceChangeFollowUp(AppState& state, Discovery& discovery,
                                           SystemFacts& facts, Clock& clock, StatusSink& status,
                                           FrontEnd& frontEnd, Hooks hooks)
    : state_(state),
      discovery_(discovery),
      facts_(facts),
      clock_(clock),
      status_(status),
      frontEnd_(frontEnd),
      hooks_(std::move(hooks)) {
    SetStatusText(kDetecting, true);
}

void DeviceChangeFollowUp::SetStatusText(const std::string& text, bool visible) {
    statusText_ = text;
    statusVisible_ = visible;
    frontEnd_.SetStatusText(text, visible);
}

void DeviceChangeFollowUp::Tick() {
    DeviceState& dev = state_.devices;
    if (dev.DetectCountdown != 0 && dev.DetectCountdown < kCountdownDue) {
        ++dev.DetectCountdown;
        return;
    }
    if (dev.DetectCountdown >= kCountdownDue) {
        Recount();
    }
    if (dev.PollPaused.load() && statusText_ == kDetecting) {
        SetStatusText(statusText_, !statusVisible_);
    }
    if (dev.DetectDone.exchange(0)) {
        ApplyDiscovery();
    }
}

void DeviceChangeFollowUp::Recount() {
    DeviceState& dev = state_.devices;
    if (state_.poll.StatusPollRunning.load() || state_.smart.passRunning) {
        return;  // next tick
    }
    frontEnd_.SetUpgradeEnabled(false);
    if (state_.flags.MaintenanceBusy.load()) {
        frontEnd_.SetUpgradeEnabled(true);
        return;  // next tick
    }
    dev.DetectionRunning.store(1);
    dev.DetectCountdown = 0;
    const int letters = discovery_.CountLetters();
    const int disks = discovery_.CountDisks();
    if (letters == dev.letterCount && disks == dev.diskCount) {
        dev.DetectionRunning.store(0);
        return;
    }
    dev.letterCount = letters;
    dev.diskCount = disks;
    dev.PollPaused.store(1);
    dev.DetectRequest.store(1);
    if (hooks_.wakeDetection) {
        hooks_.wakeDetection();
    }
    if (dev.table.count == 0) {
        SetStatusText(kDetecting, true);
    }
}

void DeviceChangeFollowUp::ApplyDiscovery() {
    DeviceState& dev = state_.devices;
    status_.SetPanel(1, "Detected OK");
    const int count = dev.newTable.count;
    for (int slot = 0; slot < static_cast<int>(kMaxSlots); ++slot) {
        frontEnd_.SetSlotAvailable(slot, slot < count);
    }
    const std::int64_t now = clock_.WallSeconds();
    for (int k = 0; k < count; ++k) {
        const std::uint8_t disk = dev.newTable.Disk(static_cast<std::size_t>(k));
        if (dev.blocks[disk] != dev.previousBlocks[disk]) {
            dev.blockChangedAt[disk] = now;
        }
    }
    // The first run is logged by the start-up entry; later ones as changes.
    if (!state_.flags.StartupPass.load() && hooks_.recordDeviceSetChange) {
        hooks_.recordDeviceSetChange();
    }
    dev.table = dev.newTable;
    dev.previousBlocks = dev.blocks;
    status_.SetPanel(2, " ");

    if (count == 0) {
        frontEnd_.DevicesApplied(0);
        if (hooks_.setSmartTimer) {
            hooks_.setSmartTimer(false);
        }
        dev.DetectionRunning.store(0);
        SetStatusText(kNoDrive, true);
        return;
    }
    if (state_.poll.shownSlot >= count) {
        state_.poll.shownSlot = static_cast<std::uint8_t>(count - 1);
    }
    dev.diskSerials.clear();
    for (const DiskIdentity& id : ReadDiskIdentities(facts_)) {
        dev.diskSerials[id.index] = id.serialNumber;
    }
    frontEnd_.DevicesApplied(count);
    dev.DetectionRunning.store(0);
    if (hooks_.request) {
        hooks_.request(ReqStatusPoll | ReqSmartThresholds | ReqSmartData);
    }
    if (hooks_.setPollTimers) {
        hooks_.setPollTimers(true);
    }
    SetStatusText(" ", false);
}

}  // namespace raid
