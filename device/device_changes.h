#pragma once

namespace raid {

// "Something was plugged in or out": the platform's device notifications,
// each of which restarts the device-change countdown.
class DeviceChanges {
  public:
    virtual ~DeviceChanges() = default;
    // How many notifications arrived since the last call; never blocks.
    virtual int TakeEvents() = 0;
};

// For runs that watch nothing (a static build, a one-shot report).
class NoDeviceChanges final : public DeviceChanges {
  public:
    int TakeEvents() override { return 0; }
};

}  // namespace raid
