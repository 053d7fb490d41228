#include "app/platform.h"

#include <cstdlib>
#include <string_view>

#include "device/disk_catalog_win32.h"
#include "device/enclosure_lock_win32.h"
#include "device/environment_text.h"
#include "device/trace_transport.h"
#include "device/transport_win32.h"
#include "sysinfo/system_facts_win32.h"

namespace raid {

std::unique_ptr<SystemFacts> MakeHostFacts() {
    return std::make_unique<WmiSystemFacts>();
}

PlatformResult MakeHostPlatform(const char* traceFile) {
    PlatformResult result;
    result.platform.transport = MakeTracedIfRequested(MakeWin32Transport(), traceFile);
    result.platform.catalog = std::make_unique<Win32DiskCatalog>();
    auto facts = std::make_unique<WmiSystemFacts>();
    if (facts->setup() == ComSetup::SecurityFailed) {
        result.error = kCoInitializeSecurityError;
        return result;
    }
    result.platform.facts = std::move(facts);
    result.platform.lock = ChooseEnclosureLock(EnvironmentText("RAIDGUI_LOCK_DIR").c_str(),
                                               MakeMutexEnclosureLock(EnclosureMutexName));
    // \\.\PhysicalDriveN, as the disk's device path is written.
    result.platform.diskOfNode = [](const std::string& node) -> std::optional<std::uint8_t> {
        constexpr std::string_view kPrefix = "\\\\.\\PhysicalDrive";
        if (node.size() != kPrefix.size() + 1 || node.compare(0, kPrefix.size(), kPrefix) != 0 ||
            node.back() < '0' || node.back() > '9') {
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(node.back() - '0');
    };
    result.ok = true;
    return result;
}

}  // namespace raid
