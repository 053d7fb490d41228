#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "notify/smtp/smtp_io.h"

namespace raid {

// Asks a running exchange, from another thread, to end its waits early: from
// the request on, every wait ends by the stop's deadline at the latest, so a
// reply that comes within the grace is still taken.
class SmtpStop {
  public:
    // How often a wait looks whether a stop was asked for.
    static constexpr int kCheckEveryMs = 100;

    void Request(std::chrono::milliseconds grace) {
        const auto by = std::chrono::steady_clock::now() + grace;
        by_.store(by.time_since_epoch().count());
    }
    bool Requested() const { return by_.load() != kNone; }
    // `deadline`, or the stop's deadline when that comes first.
    SmtpDeadline Limit(SmtpDeadline deadline) const {
        const std::int64_t by = by_.load();
        if (by == kNone) {
            return deadline;
        }
        return std::min(deadline, SmtpDeadline(SmtpDeadline::duration(by)));
    }

  private:
    static constexpr std::int64_t kNone = INT64_MAX;
    std::atomic<std::int64_t> by_{kNone};
};

// The milliseconds one slice of a wait may last: up to `deadline` as the stop
// limits it, and never past the next look at the stop.
inline int WaitSliceMs(SmtpDeadline deadline, const SmtpStop* stop) {
    const SmtpDeadline end = stop != nullptr ? stop->Limit(deadline) : deadline;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    const std::int64_t cap = stop != nullptr ? SmtpStop::kCheckEveryMs : INT32_MAX;
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, cap));
}

// Whether a wait up to `deadline` is over, by itself or by a stop.
inline bool WaitOver(SmtpDeadline deadline, const SmtpStop* stop) {
    const SmtpDeadline end = stop != nullptr ? stop->Limit(deadline) : deadline;
    return std::chrono::steady_clock::now() >= end;
}

}  // namespace raid
