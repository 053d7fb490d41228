#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/clock.h"
#include "notify/hook/command_run.h"
#include "notify/hook/hook_command.h"
#include "notify/hook/hook_event.h"

namespace raid {

// A user's command waiting to be run (again) for one event.
struct HookRun {
    HookCommand command;
    HookEvent event;
    std::int64_t created = 0;      // calendar seconds
    std::int64_t nextAttempt = 0;  // calendar seconds
    int failures = 0;
};

// The command hook beside the mail: runs, off the main thread and one at a
// time, the user's command for every event; a run that fails is tried again
// with the pauses of a mail and given up after the same day. Every failure
// and every give-up is logged. Runs waiting for their retry live in memory
// only. Add, Service and Stop are called on the main thread.
class HookRunner {
  public:
    using Runner = std::function<CommandOutcome(const HookRun&, const std::atomic<bool>& stop)>;

    struct Hooks {
        std::function<void(const std::vector<std::string>& lines)> logLines;
        // Any thread: Service has news to take.
        std::function<void()> wake;
    };

    // `runner` starts the command (the real one by default, with the time limit).
    HookRunner(Clock& clock, Hooks hooks, Runner runner = {});
    ~HookRunner();
    HookRunner(const HookRunner&) = delete;
    HookRunner& operator=(const HookRunner&) = delete;

    void Add(HookCommand command, HookEvent event);
    // Takes the outcome of a finished run, logs it and starts the next one that is due.
    void Service();
    // Any thread: whether Service has something to do.
    bool WorkDue();
    // Any thread: how long until a retry is due (UINT32_MAX: nothing waits).
    std::uint32_t SleepMs();
    // Kills a running command and ends the thread; waiting runs are dropped.
    void Stop();

    std::size_t Waiting() const { return runs_.size(); }
    bool Busy() const { return busy_.load(); }

  private:
    void Loop();
    void Finished(HookRun run, const CommandOutcome& outcome);
    void NoteDue();
    void Log(const std::string& line);

    Clock& clock_;
    Hooks hooks_;
    Runner runner_;
    std::vector<HookRun> runs_;  // waiting, oldest first (main thread)
    std::atomic<bool> busy_{false};
    std::atomic<bool> news_{false};
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> nextDue_{std::numeric_limits<std::int64_t>::max()};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<HookRun> job_;
    std::optional<std::pair<HookRun, CommandOutcome>> result_;
    std::thread thread_;
};

// What a failed run's log line calls it: the command and its event.
std::string HookRunTitle(const HookRun& run);

}  // namespace raid
