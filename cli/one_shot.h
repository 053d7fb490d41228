#pragma once

#include <memory>

#include "app/app_state.h"
#include "app/engine.h"
#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

// What a verb that runs one discovery (and its own commands) gives the engine.
struct OneShotServices {
    Dialogs& dialogs;
    StatusSink& status;
    MailRequestSink& mail;
    FrontEnd& frontEnd;
};

// The engine of such a verb on the platform, holding the enclosure lock like
// every other command sender.
std::unique_ptr<Engine> MakeOneShotEngine(AppState& state, Platform& platform, Clock& clock,
                                          const OneShotServices& services);

// An enclosure another program was using when it was looked for keeps its
// number but nothing is known of it: says so on standard error and returns
// true for such a slot.
bool ReportIfInUse(const DeviceState& devices, std::size_t slot);

// Why no enclosure answered, on standard error: the disks' permission problem
// when there is one, else "No Drive found! ".
void ReportNoEnclosure(Transport& transport);

}  // namespace raid::cli
