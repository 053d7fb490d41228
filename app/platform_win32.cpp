#include "app/platform.h"

#include <cstdlib>

#include "device/disk_catalog_win32.h"
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
    result.platform.facts = MakeHostFacts();
    result.platform.lock = ChooseEnclosureLock(
        std::getenv("RAIDGUI_LOCK_DIR"),
        MakeFileEnclosureLock([](std::uint8_t) { return std::string(); }, false));
    result.ok = true;
    return result;
}

}  // namespace raid
