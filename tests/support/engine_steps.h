#pragma once

#include "app/app_state.h"
#include "app/engine.h"
#include "device/clock.h"
#include "monitor/poll_state.h"

namespace raid::testing {

// The engine driven by hand from the test thread, doing what the detection
// thread, the polling thread and the timers would do, in a fixed order.

// Serves every pending request, as the polling thread would.
inline void ServeAll(Engine& engine, AppState& state) {
    for (int guard = 0; guard < 16 && (state.poll.PollRequest.load() & kServedRequests); ++guard) {
        engine.poller().ServeRequest();
    }
}

// Start-up until the first poll has been served.
inline void StartUp(Engine& engine, AppState& state) {
    engine.Initialise();
    engine.RunDetectionPass();
    engine.Timer4Tick();
    ServeAll(engine, state);
}

// One 5-second poll: the timer tick that requests it, then the hand-over.
inline void PollOnce(Engine& engine, AppState& state, VirtualClock& clock) {
    clock.Advance(5000);
    engine.Timer2Tick();
    if (!(state.poll.PollRequest.load() & ReqStatusPoll)) {
        engine.Timer2Tick();  // the first tick only arms
    }
    ServeAll(engine, state);
}

}  // namespace raid::testing
