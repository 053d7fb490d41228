#include "udev/device_changes_udev_linux.h"

#include <libudev.h>
#include <poll.h>

#include <cstdio>
#include <cstring>

namespace raid {

std::unique_ptr<UdevDeviceChanges> UdevDeviceChanges::Open(std::string& error) {
    udev* context = udev_new();
    if (context == nullptr) {
        error = "udev is not available";
        return nullptr;
    }
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr) {
        udev_unref(context);
        error = "cannot listen to udev events";
        return nullptr;
    }
    int rc = udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", nullptr);
    if (rc >= 0) {
        rc = udev_monitor_filter_add_match_subsystem_devtype(monitor, "block", nullptr);
    }
    if (rc >= 0) {
        rc = udev_monitor_enable_receiving(monitor);
    }
    if (rc < 0) {
        error = std::string("cannot watch udev events: ") + std::strerror(-rc);
        udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::unique_ptr<UdevDeviceChanges>(new UdevDeviceChanges(context, monitor));
}

UdevDeviceChanges::~UdevDeviceChanges() {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
}

int UdevDeviceChanges::TakeEvents() {
    int events = 0;
    for (;;) {
        pollfd pfd{udev_monitor_get_fd(monitor_), POLLIN, 0};
        const int ready = poll(&pfd, 1, 0);
        if (ready <= 0 || !(pfd.revents & POLLIN)) {
            return events;  // nothing waiting (or the poll failed: try next time)
        }
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (device == nullptr) {
            return events;
        }
        udev_device_unref(device);
        ++events;
    }
}

int UdevDeviceChanges::WaitDescriptor() const {
    return udev_monitor_get_fd(monitor_);
}

std::unique_ptr<DeviceChanges> WatchUdevOrNothing(const char* program) {
    std::string error;
    if (auto udev = UdevDeviceChanges::Open(error)) {
        return udev;
    }
    std::fprintf(stderr, "%s: device changes are not watched: %s\n", program, error.c_str());
    return std::make_unique<NoDeviceChanges>();
}

}  // namespace raid
