#include "cli/one_shot.h"

#include <cstdio>
#include <string>

namespace raid::cli {

std::unique_ptr<Engine> MakeOneShotEngine(AppState& state, Platform& platform, Clock& clock,
                                          const OneShotServices& services) {
    auto engine = std::make_unique<Engine>(
        state,
        EngineServices{*platform.transport, *platform.catalog, *platform.facts, clock,
                       services.dialogs, services.status, services.mail},
        services.frontEnd, std::function<void()>{});
    if (platform.lock) {
        engine->SetEnclosureLock(*platform.lock);
    }
    // "--device 2" must name the same enclosure whether or not another
    // program is using the first one right now.
    engine->SetKeepBusyPlaces(true);
    return engine;
}

bool ReportIfInUse(const DeviceState& devices, std::size_t slot) {
    if (slot >= devices.table.count || !devices.table.InUse(slot)) {
        return false;
    }
    std::fprintf(stderr, "Device%zu (disk %u) is in use by another program.\n", slot + 1,
                 devices.table.Disk(slot));
    return true;
}

void ReportNoEnclosure(Transport& transport) {
    const std::string hint = PermissionProblem(transport);
    std::fprintf(stderr, "%s\n", hint.empty() ? "No Drive found! " : hint.c_str());
}

}  // namespace raid::cli
