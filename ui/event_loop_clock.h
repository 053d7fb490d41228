#pragma once

#include "device/clock.h"

namespace raid::ui {

// The engine waits on the thread that runs the command. On the window's
// thread a wait must not freeze the window, so it is spent in the event loop,
// handling events as they come until the deadline; on any other thread it is
// a plain sleep.
class EventLoopClock final : public Clock {
  public:
    std::uint64_t NowMs() override { return steady_.NowMs(); }
    void SleepMs(std::uint32_t ms) override;
    std::int64_t WallSeconds() override { return steady_.WallSeconds(); }

  private:
    SteadyClock steady_;
};

// True on the thread that runs the window's event loop.
bool OnGuiThread();

// Handles pending window events when called on the window's thread; does
// nothing elsewhere (the detection thread runs commands too).
void PumpEventsIfGuiThread();

}  // namespace raid::ui
