#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/engine.h"
#include "device/clock.h"

namespace raid {

// The main loop of a front end without a window, one pass at a time: device
// notifications, the three timers of the main window and the hand-over queue.
// Like the window's error display, an exception that escapes one of these
// steps is reported and the loop goes on with the next step.
//
// An idle loop sleeps: a timer the engine has switched off (or Timer4 with
// nothing to follow up) does not wake it, and the wait ends early only for
// hand-over work or what the sleep itself watches.
class HeadlessLoop {
  public:
    using ErrorReport = std::function<void(const std::string&)>;
    // Sleeps up to `ms`, returning early when hand-over work (or anything
    // else the front end watches) arrives; true when the loop is to end.
    // Without one, the pass waits on the hand-over queue.
    using Sleep = std::function<bool(std::uint64_t ms)>;

    // The timers start counting at the clock's current time.
    HeadlessLoop(Engine& engine, Clock& clock, ErrorReport report, Sleep sleep = {});

    // `deviceChanges` notifications arrived since the last pass. Waits up to
    // `maxWaitMs` (less when a timer is due sooner) and runs whatever
    // hand-over work is waiting. True when the sleep asked to end.
    bool RunPass(int deviceChanges, std::uint64_t maxWaitMs);

  private:
    // One of the window's timers. Switched on again, it counts its whole
    // interval from then, as a window timer does.
    struct Ticker {
        std::uint32_t intervalMs;
        std::uint64_t due;
        bool active;

        void Follow(bool wanted, std::uint64_t now);
        std::uint64_t Next() const;
    };

    // False when `step` ended by an exception, which was reported.
    template <typename Step>
    bool Guarded(Step&& step);

    Engine& engine_;
    Clock& clock_;
    ErrorReport report_;
    Sleep sleep_;
    Ticker timer2_;
    Ticker timer3_;
    Ticker timer4_;
};

}  // namespace raid
