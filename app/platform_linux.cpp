#include "app/platform.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "device/disk_catalog_linux.h"
#include "device/disk_map_linux.h"
#include "device/trace_transport.h"
#include "device/transport_linux.h"
#include "sysinfo/sysfs_disks_linux.h"
#include "sysinfo/system_facts_linux.h"

namespace raid {

// Each disk's Index is its physical disk number, so the serial looked up for
// an enclosure is the serial of that very disk.
std::unique_ptr<SystemFacts> MakeHostFacts() {
    auto lister = []() -> std::optional<std::vector<DiskFacts>> {
        std::vector<DiskFacts> disks;
        for (const MappedDisk& disk : ReadDiskMap(DiskMapRoots{})) {
            disks.push_back(SysfsDiskFacts("/sys", disk.name, disk.number));
        }
        return disks;
    };
    return std::make_unique<LinuxSystemFacts>("/", lister);
}

PlatformResult MakeHostPlatform(const char* traceFile) {
    PlatformResult result;
    result.platform.transport =
        MakeTracedIfRequested(std::make_unique<LinuxTransport>(), traceFile);
    result.platform.catalog = std::make_unique<LinuxDiskCatalog>();
    result.platform.facts = MakeHostFacts();
    // systemd's convention for block devices: flock on the disk's node.
    result.platform.lock = ChooseEnclosureLock(std::getenv("RAIDGUI_LOCK_DIR"),
                                               MakeFileEnclosureLock(
                                                   [](std::uint8_t disk) {
                                                       const auto path =
                                                           DiskDevicePath(DiskMapRoots{}, disk);
                                                       return path ? path->string() : std::string();
                                                   },
                                                   false));
    result.platform.diskOfNode = [](const std::string& node) -> std::optional<std::uint8_t> {
        std::error_code error;
        const auto wanted = std::filesystem::canonical(node, error);
        if (error) {
            return std::nullopt;
        }
        for (const MappedDisk& disk : ReadDiskMap(DiskMapRoots{})) {
            const auto path = std::filesystem::canonical(disk.devicePath, error);
            if (!error && path == wanted) {
                return disk.number;
            }
        }
        return std::nullopt;
    };
    result.ok = true;
    return result;
}

}  // namespace raid
