#pragma once

#include <cstdint>
#include <functional>

namespace raid {

// "Something was plugged in or out": the platform's device notifications,
// each of which restarts the device-change countdown.
class DeviceChanges {
  public:
    virtual ~DeviceChanges() = default;
    // How many notifications arrived since the last call; never blocks.
    virtual int TakeEvents() = 0;

    // How a main loop learns of notifications without waking for nothing: a
    // descriptor that turns readable when some wait (-1: none), else how often
    // TakeEvents must be asked (0: no notification can come any more).
    virtual int WaitDescriptor() const { return -1; }
    virtual std::uint32_t AskEveryMs() { return 0; }
    // For a loop that waits on something else (Windows has no descriptor to
    // poll): `wake` is called, from whichever thread receives them, as
    // notifications arrive. Backends with a descriptor ignore it.
    virtual void SetArrivalWake(std::function<void()> /*wake*/) {}
};

// For runs that watch nothing (a static build, a one-shot report).
class NoDeviceChanges final : public DeviceChanges {
  public:
    int TakeEvents() override { return 0; }
};

}  // namespace raid
