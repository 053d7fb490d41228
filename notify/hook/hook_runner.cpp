#include "notify/hook/hook_runner.h"

#include <algorithm>

#include "monitor/time_text.h"
#include "notify/delivery/outbox.h"

namespace raid {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

CommandOutcome RunForReal(const HookRun& run, const std::atomic<bool>& stop) {
    return RunCommand(run.command.program, run.command.args, HookEnvironment(run.event),
                      kHookTimeLimit, stop);
}

}  // namespace

std::string HookRunTitle(const HookRun& run) {
    std::string title = "Command " + HookCommandText(run.command) + " for " + run.event.event;
    if (!run.event.device.empty()) {
        title +=
            " (" + run.event.device + (run.event.drive.empty() ? "" : " " + run.event.drive) + ")";
    }
    return title;
}

HookRunner::HookRunner(Clock& clock, Hooks hooks, Runner runner)
    : clock_(clock), hooks_(std::move(hooks)), runner_(runner ? std::move(runner) : RunForReal) {
    thread_ = std::thread([this] { Loop(); });
}

HookRunner::~HookRunner() {
    Stop();
}

void HookRunner::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void HookRunner::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_.load() || job_.has_value(); });
        if (stop_.load()) {
            return;
        }
        HookRun run = std::move(*job_);
        job_.reset();
        lock.unlock();
        CommandOutcome outcome = runner_(run, stop_);
        lock.lock();
        result_.emplace(std::move(run), std::move(outcome));
        busy_.store(false);
        news_.store(true);
        lock.unlock();
        if (hooks_.wake) {
            hooks_.wake();
        }
        lock.lock();
    }
}

void HookRunner::Add(HookCommand command, HookEvent event) {
    const std::int64_t now = clock_.WallSeconds();
    runs_.push_back({std::move(command), std::move(event), now, now, 0});
    Service();
}

bool HookRunner::WorkDue() {
    return news_.load() || (!busy_.load() && clock_.WallSeconds() >= nextDue_.load());
}

std::uint32_t HookRunner::SleepMs() {
    if (news_.load()) {
        return 0;
    }
    const std::int64_t due = nextDue_.load();
    if (due == kNever || busy_.load()) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    const std::int64_t now = clock_.WallSeconds();
    return due <= now ? 0
                      : static_cast<std::uint32_t>(std::min<std::int64_t>(due - now, 3600) * 1000);
}

void HookRunner::Service() {
    std::optional<std::pair<HookRun, CommandOutcome>> result;
    {
        std::lock_guard lock(mutex_);
        result.swap(result_);
        news_.store(false);
    }
    if (result) {
        Finished(std::move(result->first), result->second);
    }
    if (!stop_.load() && !busy_.load()) {
        const std::int64_t now = clock_.WallSeconds();
        const auto due = std::find_if(runs_.begin(), runs_.end(),
                                      [now](const HookRun& r) { return r.nextAttempt <= now; });
        if (due != runs_.end()) {
            {
                std::lock_guard lock(mutex_);
                job_ = std::move(*due);
                busy_.store(true);
            }
            runs_.erase(due);
            wake_.notify_all();
        }
    }
    NoteDue();
}

void HookRunner::Finished(HookRun run, const CommandOutcome& outcome) {
    if (outcome.Ok() || outcome.stopped) {
        return;
    }
    ++run.failures;
    const std::int64_t now = clock_.WallSeconds();
    const std::string what = HookRunTitle(run) + " failed (" + outcome.Text() + ")";
    // A program that is not there fails the same way every time.
    if (outcome.missing) {
        Log(what + "; it is not tried again");
        return;
    }
    if (now - run.created >= Outbox::kGiveUpAfter) {
        Log(what + "; given up after " + std::to_string(run.failures) + " attempts in 24 hours");
        return;
    }
    const std::int64_t pause = RetryPause(run.failures);
    Log(what + "; tried again in " + std::to_string(pause / 60) + " min");
    run.nextAttempt = now + pause;
    runs_.push_back(std::move(run));
}

void HookRunner::NoteDue() {
    std::int64_t earliest = kNever;
    for (const HookRun& run : runs_) {
        earliest = std::min(earliest, run.nextAttempt);
    }
    nextDue_.store(earliest);
}

void HookRunner::Log(const std::string& line) {
    if (hooks_.logLines) {
        hooks_.logLines({line + ", " + TimeText(clock_.WallSeconds())});
    }
}

}  // namespace raid
