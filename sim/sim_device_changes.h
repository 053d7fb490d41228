#pragma once

#include <cstdint>

#include "device/device_changes.h"
#include "sim/sim_transport.h"

namespace raid::sim {

// Device notifications of the simulated machine: one per enclosure that
// appeared or disappeared on the scenario's timeline.
class SimDeviceChanges final : public DeviceChanges {
  public:
    explicit SimDeviceChanges(SimTransport& transport) : transport_(transport) {}

    int TakeEvents() override {
        const std::uint64_t now = transport_.PresenceChanges();
        const auto events = static_cast<int>(now - seen_);
        seen_ = now;
        return events;
    }
    // The timeline is scenario time: asked often enough to stay well inside
    // the 5-second follow-up, and not at all once no appearance is ahead.
    std::uint32_t AskEveryMs() override {
        return transport_.PresenceChangesAhead() ? kAskEveryMs : 0;
    }

    static constexpr std::uint32_t kAskEveryMs = 250;

  private:
    SimTransport& transport_;
    std::uint64_t seen_ = 0;
};

}  // namespace raid::sim
