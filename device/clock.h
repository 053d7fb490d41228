#pragma once

#include <atomic>
#include <cstdint>

namespace raid {

// Every wait in the program goes through a Clock so that tests can run on
// virtual time: a four-second reply budget then costs nothing.
class Clock {
  public:
    virtual ~Clock() = default;
    // Monotonic milliseconds, for waits and budgets.
    virtual std::uint64_t NowMs() = 0;
    virtual void SleepMs(std::uint32_t ms) = 0;
    // Calendar time (seconds since the epoch), for log lines and file names.
    virtual std::int64_t WallSeconds() = 0;
};

class SteadyClock final : public Clock {
  public:
    std::uint64_t NowMs() override;
    void SleepMs(std::uint32_t ms) override;
    std::int64_t WallSeconds() override;
};

// Sleeping advances time instantly. Safe to share between threads.
class VirtualClock final : public Clock {
  public:
    // The calendar starts at `wallStart` (default 2026-12-06 10:00:00 UTC).
    explicit VirtualClock(std::uint64_t startMs = 1'000'000, std::int64_t wallStart = 1796551200)
        : start_(startMs), now_(startMs), wallStart_(wallStart) {}
    std::uint64_t NowMs() override { return now_.load(); }
    void SleepMs(std::uint32_t ms) override { now_ += ms; }
    std::int64_t WallSeconds() override {
        return wallStart_ + static_cast<std::int64_t>((now_.load() - start_) / 1000);
    }
    void Advance(std::uint64_t ms) { now_ += ms; }

  private:
    const std::uint64_t start_;
    std::atomic<std::uint64_t> now_;
    const std::int64_t wallStart_;
};

}  // namespace raid
