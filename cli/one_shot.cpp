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
    return engine;
}

void ReportNoEnclosure(Transport& transport) {
    const std::string hint = PermissionProblem(transport);
    std::fprintf(stderr, "%s\n", hint.empty() ? "No Drive found! " : hint.c_str());
}

}  // namespace raid::cli
