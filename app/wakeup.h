#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace raid {

// Lets a worker thread sleep until there is work: Notify wakes it at once,
// and the timeout is only a safety net, so an idle worker costs nothing.
class Wakeup {
  public:
    void Notify() {
        {
            std::lock_guard lock(mutex_);
            ++generation_;
        }
        cv_.notify_all();
    }

    // Returns when notified since the last wait, or after `timeoutMs`.
    void Wait(std::uint32_t timeoutMs) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [this] { return generation_ != seen_; });
        seen_ = generation_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::uint64_t generation_ = 0;
    std::uint64_t seen_ = 0;
};

}  // namespace raid
