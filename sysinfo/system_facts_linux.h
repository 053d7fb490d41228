#pragma once

#include "sysinfo/interface_addresses_linux.h"
#include "sysinfo/sysfs_disks_linux.h"
#include "sysinfo/system_facts.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace raid {

// The host's facts under the class and property names the report asks for:
//   Win32_BaseBoard                    Manufacturer, Product (DMI board vendor and name)
//   Win32_DiskDrive                    Model, DeviceID, SerialNumber, Index (one per disk)
//   Win32_Bus                          SystemName (the host name)
//   Win32_NetworkAdapterConfiguration  Description, IPAddress (see NetworkAdapterObjects)
// Any other class is a failed query.
class LinuxSystemFacts final : public SystemFacts {
  public:
    // Each source returns nullopt when it cannot tell; that query then fails.
    using DiskLister = std::function<std::optional<std::vector<DiskFacts>>()>;
    using AddressLister = std::function<std::optional<std::vector<InterfaceAddress>>()>;
    using HostNameReader = std::function<std::optional<std::string>()>;

    // `root` is where sysfs is found (`root`/sys/...). An empty source means
    // the system's own: ListSysfsDisks(root), ReadInterfaceAddresses, ReadHostName.
    // The application passes a disk lister built on its disk-number map, so
    // that each disk's Index is its physical disk number.
    explicit LinuxSystemFacts(std::filesystem::path root = "/", DiskLister disks = {},
                              AddressLister addresses = {}, HostNameReader hostName = {});

    std::optional<std::vector<FactObject>> Query(std::string_view className) override;

  private:
    FactObject BaseBoard() const;

    std::filesystem::path root_;
    DiskLister disks_;
    AddressLister addresses_;
    HostNameReader hostName_;
};

// gethostname, or nullopt when it fails.
std::optional<std::string> ReadHostName();

}  // namespace raid
