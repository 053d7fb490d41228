#include "monitor/device_change_log.h"

#include <algorithm>
#include <string>

#include "device/enclosure_identity.h"

namespace raid {
namespace {

class SetChange {
  public:
    SetChange(EventLogState& state, const DeviceState& devices, MailRequestSink& mail)
        : state_(state), devices_(devices), mail_(mail) {}

    void Run();

  private:
    static std::size_t Count(const DeviceTable& table) {
        return std::min<std::size_t>(table.count, kMaxDevices);
    }
    // An entry whose disk number has no block cannot be matched with anything.
    // Blocks are compared by identity, as their live values move between
    // reads. Enclosures of one model and firmware share an identity: among
    // such twins only the disk number can tell which one left.
    bool Same(std::size_t oldIndex, std::size_t newIndex) const {
        const std::uint8_t oldDisk = devices_.table.Disk(oldIndex);
        const std::uint8_t newDisk = devices_.newTable.Disk(newIndex);
        if (oldDisk >= kMaxDisks || newDisk >= kMaxDisks ||
            !SameEnclosure(devices_.previousBlocks[oldDisk], devices_.blocks[newDisk])) {
            return false;
        }
        return oldDisk == newDisk || !HasTwin(devices_.previousBlocks[oldDisk]);
    }
    // Whether another enclosure of either table shares the identity of `block`.
    bool HasTwin(const ControllerBlock& block) const {
        std::size_t alike = 0;
        for (std::size_t k = 0; k < Count(devices_.table); ++k) {
            const std::uint8_t disk = devices_.table.Disk(k);
            alike += disk < kMaxDisks && SameEnclosure(devices_.previousBlocks[disk], block);
        }
        std::size_t alikeNew = 0;
        for (std::size_t k = 0; k < Count(devices_.newTable); ++k) {
            const std::uint8_t disk = devices_.newTable.Disk(k);
            alikeNew += disk < kMaxDisks && SameEnclosure(devices_.blocks[disk], block);
        }
        return alike > 1 || alikeNew > 1;
    }
    void Arrival(std::size_t newIndex) {
        state_.DeviceChangeLines.push_back("D" + std::to_string(newIndex + 1) +
                                           " New Device was found.");
        added_ = true;
    }
    void Departure(std::size_t oldIndex) {
        state_.DeviceChangeLines.push_back("D" + std::to_string(oldIndex + 1) +
                                           " Device was removed.");
        mail_.RequestMailNotification(kMailDeviceRemoved, static_cast<std::uint8_t>(oldIndex), 0);
        added_ = true;
    }

    EventLogState& state_;
    const DeviceState& devices_;
    MailRequestSink& mail_;
    bool added_ = false;
};

void SetChange::Run() {
    const std::size_t oldCount = Count(devices_.table);
    const std::size_t newCount = Count(devices_.newTable);
    if (oldCount == newCount) {
        return;
    }
    if (oldCount == 0) {
        for (std::size_t k = 0; k < newCount; ++k) {
            Arrival(k);
        }
        state_.FullRedrawRequested = true;
    } else if (newCount == 0) {
        for (std::size_t k = 0; k < oldCount; ++k) {
            Departure(k);
        }
    } else {
        std::size_t c = 0;
        std::size_t j = 0;
        while (c < oldCount && j < newCount) {
            if (Same(c, j)) {
                ++c;
                ++j;
                continue;
            }
            std::size_t f = j;
            while (f < newCount && !Same(c, f)) {
                ++f;
            }
            if (f < newCount) {
                for (; j < f; ++j) {
                    Arrival(j);
                }
                ++j;
            } else {
                Departure(c);
            }
            ++c;
        }
        for (; j < newCount; ++j) {
            Arrival(j);
        }
        for (; c < oldCount; ++c) {
            Departure(c);
        }
    }
    if (added_) {
        state_.DeviceChangePending = true;
    }
    if (state_.DeviceChangePending) {
        state_.DeviceChangeLines.push_back("    Device had changed.");
    }
}

}  // namespace

void RecordDeviceSetChange(EventLogState& state, const DeviceState& devices,
                           MailRequestSink& mail) {
    SetChange(state, devices, mail).Run();
}

}  // namespace raid
