#pragma once

#include <memory>
#include <string>

#include "device/device_changes.h"

struct udev;
struct udev_monitor;

namespace raid {

// Device notifications from udev: every event of the usb and block
// subsystems counts as one.
class UdevDeviceChanges final : public DeviceChanges {
  public:
    // nullptr with `error` filled when udev cannot be watched.
    static std::unique_ptr<UdevDeviceChanges> Open(std::string& error);
    ~UdevDeviceChanges() override;
    UdevDeviceChanges(const UdevDeviceChanges&) = delete;
    UdevDeviceChanges& operator=(const UdevDeviceChanges&) = delete;

    int TakeEvents() override;
    int WaitDescriptor() const override;

  private:
    UdevDeviceChanges(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}

    udev* udev_;
    udev_monitor* monitor_;
};

// The host's device notifications from udev; when udev cannot be watched,
// says so on standard error (as `program`) and watches nothing.
std::unique_ptr<DeviceChanges> WatchUdevOrNothing(const char* program);

}  // namespace raid
