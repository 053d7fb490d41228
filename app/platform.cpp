#include "app/platform.h"

#include <cstdlib>

#include "app/simulated_facts.h"
#include "device/device_state.h"
#include "device/environment_text.h"
#include "device/fixed_disk_catalog.h"
#include "device/trace_transport.h"
#include "sim/sim_device_changes.h"
#include "sim/sim_transport.h"

namespace raid {

std::unique_ptr<SystemFacts> MakeHostFacts();

PlatformResult MakeSimulatedPlatform(const std::string& scenarioFile, Clock& clock,
                                     const char* traceFile) {
    PlatformResult result;
    sim::Scenario scenario;
    if (scenarioFile.empty()) {
        scenario = sim::DefaultScenario();
    } else {
        sim::LoadResult loaded = sim::LoadScenarioFile(scenarioFile);
        if (!loaded.ok) {
            result.error = "cannot use scenario " + scenarioFile + ": " + loaded.error;
            return result;
        }
        scenario = std::move(loaded.scenario);
    }
    result.platform.facts = std::make_unique<SimulatedFacts>(MakeHostFacts(), scenario);
    auto sim = std::make_unique<sim::SimTransport>(std::move(scenario), clock);
    result.platform.deviceChanges = std::make_unique<sim::SimDeviceChanges>(*sim);
    result.platform.transport = MakeTracedIfRequested(std::move(sim), traceFile);
    result.platform.catalog = std::make_unique<FixedDiskCatalog>();
    // Each process has stand-ins of its own: nothing to share unless asked.
    result.platform.lock = ChooseEnclosureLock(EnvironmentText("RAIDGUI_LOCK_DIR").c_str(),
                                               std::make_unique<NoEnclosureLock>());
    result.ok = true;
    return result;
}

std::unique_ptr<EnclosureLock> ChooseEnclosureLock(const char* lockFolder,
                                                   std::unique_ptr<EnclosureLock> fallback) {
    if (lockFolder != nullptr && *lockFolder != '\0') {
        return MakeFileEnclosureLock(LockFilesIn(lockFolder), true);
    }
    return fallback;
}

std::string PermissionProblem(Transport& transport) {
    for (std::uint8_t disk = 0; disk < kMaxDisks; ++disk) {
        const DeviceHandle h = transport.OpenDevice(disk);
        if (h != kInvalidHandle) {
            transport.CloseHandle(h);
            continue;
        }
        const auto failure = transport.LastOpenFailure();
        if (failure && failure->kind == OpenFailure::Kind::PermissionDenied) {
            return "Permission denied opening " + failure->path +
                   ": run as root or join the group that owns the disk (usually \"disk\").";
        }
    }
    return {};
}

}  // namespace raid
