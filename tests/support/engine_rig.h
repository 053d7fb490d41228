#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/engine.h"
#include "device/fixed_disk_catalog.h"
#include "monitor/mail_request.h"
#include "sim/scenario.h"
#include "sim/sim_transport.h"
#include "sysinfo/canned_system_facts.h"
#include "tests/support/engine_steps.h"
#include "tests/support/recorders.h"
#include "tests/support/scratch_folder.h"

namespace raid::testing {

// The whole engine on virtual time against stand-in enclosures, driven by
// hand from the test thread: no worker threads, so every step is exact.
struct EngineRig {
    explicit EngineRig(sim::Scenario scenario = sim::DefaultScenario(),
                       std::vector<CatalogVolume> volumes = {})
        : sim(std::move(scenario), clock),
          catalog(std::move(volumes)),
          mail(clock),
          frontEnd(&state.flags.StartupPass),
          engine(state, EngineServices{sim, catalog, facts, clock, dialogs, status, mail}, frontEnd,
                 {}) {
        logFolder = testing::MakeScratchFolder("engine-rig").string();
        state.log.logFolder = logFolder;
    }
    ~EngineRig() {
        std::error_code ignored;
        std::filesystem::remove_all(logFolder, ignored);
    }

    void StartUp() { testing::StartUp(engine, state); }
    void ServeAll() { testing::ServeAll(engine, state); }
    void PollOnce() { testing::PollOnce(engine, state, clock); }

    std::vector<std::string> LogLines() const { return state.log.EventLog; }

    VirtualClock clock;
    sim::SimTransport sim;
    FixedDiskCatalog catalog;
    CannedSystemFacts facts;
    RecordingDialogs dialogs;
    RecordingStatus status;
    RecordingMailSink mail;
    AppState state;
    RecordingFrontEnd frontEnd;
    Engine engine;
    std::string logFolder;
};

}  // namespace raid::testing
