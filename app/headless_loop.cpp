#include "app/headless_loop.h"

#include <algorithm>
#include <exception>

#include "app/escaped_exception.h"

namespace raid {

HeadlessLoop::HeadlessLoop(Engine& engine, Clock& clock, ErrorReport report)
    : engine_(engine),
      clock_(clock),
      report_(std::move(report)),
      timer2_{5000, clock.NowMs() + 5000},
      timer3_{1000, clock.NowMs() + 1000},
      timer4_{500, clock.NowMs() + 500} {}

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

void HeadlessLoop::RunPass(int deviceChanges, std::uint32_t maxWaitMs) {
    for (int n = deviceChanges; n > 0; --n) {
        Guarded([this] { engine_.DeviceChanged(); });
    }
    const std::uint64_t now = clock_.NowMs();
    auto fire = [this, now](Ticker& t, auto&& tick) {
        if (now >= t.due) {
            t.due = now + t.intervalMs;
            Guarded(tick);
        }
    };
    fire(timer4_, [this] { engine_.Timer4Tick(); });
    fire(timer2_, [this] { engine_.Timer2Tick(); });
    fire(timer3_, [this] { engine_.Timer3Tick(); });
    const std::uint64_t next = std::min({timer2_.due, timer3_.due, timer4_.due});
    const std::uint64_t wait =
        next > now ? std::min<std::uint64_t>({next - now, maxWaitMs}) : std::uint64_t{0};
    engine_.queue().WaitForWork(static_cast<std::uint32_t>(wait));
    // Each exception uses up the item that threw it, so this ends; the work
    // behind that item still runs in this pass.
    while (!Guarded([this] { engine_.queue().RunPending(); })) {
    }
}

}  // namespace raid
