#include "device/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace raid {

std::uint64_t SteadyClock::NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::SleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t SteadyClock::WallSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace raid
