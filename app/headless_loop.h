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
class HeadlessLoop {
  public:
    using ErrorReport = std::function<void(const std::string&)>;

    // The timers start counting at the clock's current time.
    HeadlessLoop(Engine& engine, Clock& clock, ErrorReport report);

    // `deviceChanges` notifications arrived since the last pass. Waits up to
    // `maxWaitMs` (less when a timer is due sooner) for hand-over work and
    // runs whatever is waiting.
    void RunPass(int deviceChanges, std::uint32_t maxWaitMs);

  private:
    struct Ticker {
        std::uint32_t intervalMs;
        std::uint64_t due;
    };

    // False when `step` ended by an exception, which was reported.
    template <typename Step>
    bool Guarded(Step&& step);

    Engine& engine_;
    Clock& clock_;
    ErrorReport report_;
    Ticker timer2_;
    Ticker timer3_;
    Ticker timer4_;
};

}  // namespace raid
