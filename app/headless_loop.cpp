#include "app/headless_loop.h"

#include <algorithm>
#include <exception>
#include <limits>

#include "app/escaped_exception.h"

namespace raid {

void HeadlessLoop::Ticker::Follow(bool wanted, std::uint64_t now) {
    if (wanted && !active) {
        due = now + intervalMs;
    }
    active = wanted;
}

std::uint64_t HeadlessLoop::Ticker::Next() const {
    return active ? due : std::numeric_limits<std::uint64_t>::max();
}

HeadlessLoop::HeadlessLoop(Engine& engine, Clock& clock, ErrorReport report, Sleep sleep)
    : engine_(engine),
      clock_(clock),
      report_(std::move(report)),
      sleep_(std::move(sleep)),
      timer2_{5000, clock.NowMs() + 5000, true},
      timer3_{1000, clock.NowMs() + 1000, true},
      timer4_{500, clock.NowMs() + 500, true} {}

template <typename Step>
bool HeadlessLoop::Guarded(Step&& step) {
    try {
        step();
        return true;
    } catch (...) {
        if (report_) {
            report_(EscapedExceptionText(std::current_exception()));
        }
        return false;
    }
}

bool HeadlessLoop::RunPass(int deviceChanges, std::uint64_t maxWaitMs) {
    for (int n = deviceChanges; n > 0; --n) {
        Guarded([this] { engine_.DeviceChanged(); });
    }
    std::uint64_t now = clock_.NowMs();
    timer4_.Follow(!engine_.FollowUpIdle(), now);
    timer2_.Follow(engine_.Timer2Enabled(), now);
    timer3_.Follow(engine_.Timer3Enabled(), now);
    auto fire = [this, now](Ticker& t, auto&& tick) {
        if (t.active && now >= t.due) {
            t.due = now + t.intervalMs;
            Guarded(tick);
        }
    };
    fire(timer4_, [this] { engine_.Timer4Tick(); });
    fire(timer2_, [this] { engine_.Timer2Tick(); });
    fire(timer3_, [this] { engine_.Timer3Tick(); });
    // A tick may have switched a timer on (a discovery applied): it is looked
    // at again in the next pass, so the wait ends at once.
    now = clock_.NowMs();
    std::uint64_t next = std::min({timer2_.Next(), timer3_.Next(), timer4_.Next()});
    if ((engine_.Timer2Enabled() && !timer2_.active) ||
        (engine_.Timer3Enabled() && !timer3_.active) ||
        (!engine_.FollowUpIdle() && !timer4_.active)) {
        next = now;
    }
    const std::uint64_t wait = next > now ? std::min(next - now, maxWaitMs) : std::uint64_t{0};
    bool stop = false;
    if (sleep_) {
        stop = sleep_(wait);
    } else {
        engine_.queue().WaitForWork(
            static_cast<std::uint32_t>(std::min<std::uint64_t>(wait, UINT32_MAX)));
    }
    // Each exception uses up the item that threw it, so this ends; the work
    // behind that item still runs in this pass.
    while (!Guarded([this] { engine_.queue().RunPending(); })) {
    }
    return stop;
}

}  // namespace raid
