#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace raid::cli {

// What the headless monitor's main thread sleeps on: one wait for a stop
// signal, hand-over work from a worker, a device notification or the next
// timer, so that an idle monitor does not wake at all between its timers.
class MainLoopWaiter {
  public:
    MainLoopWaiter();
    ~MainLoopWaiter();
    MainLoopWaiter(const MainLoopWaiter&) = delete;
    MainLoopWaiter& operator=(const MainLoopWaiter&) = delete;

    // Takes SIGINT, SIGTERM and SIGHUP (Windows: Ctrl+C, Ctrl+Break and the
    // console's close) away from their default action (call before any thread
    // starts, so that every thread inherits the mask) and opens what the loop
    // waits on. False with `error` set when that fails.
    bool Open(std::string& error);

    // Any thread: the next (or the current) Wait returns.
    void Wake();

    // Main thread: waits up to `timeoutMs` for a wake, a stop signal or
    // `extraFd` (-1: none; Linux only) turning readable. True when a stop
    // signal came.
    bool Wait(std::uint64_t timeoutMs, int extraFd);

  private:
    struct Waits;  // the platform's wait objects
    std::unique_ptr<Waits> waits_;
};

}  // namespace raid::cli
