#include "sysinfo/system_facts_linux.h"

#include "sysinfo/fact_text.h"

#include <unistd.h>

#include <array>
#include <climits>
#include <utility>

namespace raid {
namespace {

// A missing DMI attribute reads as no value, as a board that reports none.
FactValue OptionalText(std::string text) {
    if (text.empty()) {
        return std::monostate{};
    }
    return text;
}

FactObject DiskObject(const DiskFacts& disk) {
    return {
        {"DeviceID", OptionalText(disk.deviceId)},
        {"Index", std::to_string(disk.index)},
        {"Model", OptionalText(disk.model)},
        {"SerialNumber", OptionalText(disk.serialNumber)},
    };
}

}  // namespace

std::optional<std::string> ReadHostName() {
    // Zero-filled and one byte longer than we let gethostname use, so a
    // truncated name still ends in a NUL.
    std::array<char, HOST_NAME_MAX + 2> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return std::nullopt;
    }
    return std::string(name.data());
}

LinuxSystemFacts::LinuxSystemFacts(std::filesystem::path root, DiskLister disks,
                                   AddressLister addresses, HostNameReader hostName)
    : root_(std::move(root)),
      disks_(std::move(disks)),
      addresses_(std::move(addresses)),
      hostName_(std::move(hostName)) {
    if (!disks_) {
        disks_ = [root = root_] { return ListSysfsDisks(root); };
    }
    if (!addresses_) {
        addresses_ = ReadInterfaceAddresses;
    }
    if (!hostName_) {
        hostName_ = ReadHostName;
    }
}

FactObject LinuxSystemFacts::BaseBoard() const {
    const std::filesystem::path dmi = root_ / "sys/class/dmi/id";
    return {
        {"Manufacturer", OptionalText(ReadFactFile(dmi / "board_vendor"))},
        {"Product", OptionalText(ReadFactFile(dmi / "board_name"))},
    };
}

std::optional<std::vector<FactObject>> LinuxSystemFacts::Query(std::string_view className) {
    if (className == "Win32_BaseBoard") {
        return std::vector<FactObject>{BaseBoard()};
    }
    if (className == "Win32_DiskDrive") {
        const auto disks = disks_();
        if (!disks) {
            return std::nullopt;
        }
        std::vector<FactObject> objects;
        for (const DiskFacts& disk : *disks) {
            objects.push_back(DiskObject(disk));
        }
        return objects;
    }
    if (className == "Win32_Bus") {
        const auto name = hostName_();
        if (!name) {
            return std::nullopt;
        }
        return std::vector<FactObject>{{{"SystemName", OptionalText(*name)}}};
    }
    if (className == "Win32_NetworkAdapterConfiguration") {
        const auto addresses = addresses_();
        if (!addresses) {
            return std::nullopt;
        }
        return NetworkAdapterObjects(*addresses);
    }
    return std::nullopt;
}

}  // namespace raid
