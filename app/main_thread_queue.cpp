#include "app/main_thread_queue.h"

#include <chrono>
#include <exception>

namespace raid {

bool MainThreadQueue::RunSync(std::function<void()> work) {
    if (std::this_thread::get_id() == mainThread_) {
        work();
        return true;
    }
    auto item = std::make_shared<Item>();
    item->work = std::move(work);
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        pending_.push_back(item);
    }
    workArrived_.notify_all();
    if (notifyMain_) {
        notifyMain_();
    }
    std::unique_lock lock(mutex_);
    workDone_.wait(lock, [&] { return item->done; });
    return item->ran;
}

void MainThreadQueue::RunPending() {
    for (;;) {
        std::shared_ptr<Item> item;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) {
                return;
            }
            item = pending_.front();
            pending_.pop_front();
        }
        // Work that throws still releases its worker; the exception goes on
        // to the front end's error display, and the work behind it waits for
        // the next call.
        std::exception_ptr escaped;
        try {
            item->work();
        } catch (...) {
            escaped = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            item->done = true;
            item->ran = escaped == nullptr;
        }
        workDone_.notify_all();
        if (escaped) {
            std::rethrow_exception(escaped);
        }
    }
}

bool MainThreadQueue::WaitForWork(std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    workArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return !pending_.empty() || closed_; });
    return !pending_.empty();
}

void MainThreadQueue::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        for (auto& item : pending_) {
            item->done = true;
        }
        pending_.clear();
    }
    workDone_.notify_all();
    workArrived_.notify_all();
}

}  // namespace raid
