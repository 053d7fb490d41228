#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace raid {

// The hand-over from a worker thread to the main thread: the worker blocks
// until the main thread has run its callback. Unlike a plain blocking call
// into the event loop, a closed queue releases every waiting worker, so the
// main thread can join the workers while closing without a deadlock.
class MainThreadQueue {
  public:
    // `notifyMain` is called (from the worker) when work is waiting; the front
    // end then calls RunPending on its main thread.
    // The thread that constructs the queue is the main thread.
    explicit MainThreadQueue(std::function<void()> notifyMain = {})
        : notifyMain_(std::move(notifyMain)), mainThread_(std::this_thread::get_id()) {}

    // Worker side. True once `work` has run on the main thread; false when the
    // queue was closed before it ran or the work ended by an exception. Called
    // on the main thread itself (a one-shot run without workers), the work
    // runs at once.
    bool RunSync(std::function<void()> work);

    // Main thread: runs everything that is waiting. An exception that escapes
    // a work item is passed on once its worker has been released.
    void RunPending();
    // Main thread: waits up to `timeoutMs` for work (a main loop without a
    // window uses it); true when work is waiting.
    bool WaitForWork(std::uint32_t timeoutMs);
    // Main thread: no more work is taken; waiting workers return false.
    void Close();

  private:
    struct Item {
        std::function<void()> work;
        bool done = false;
        bool ran = false;
    };

    std::function<void()> notifyMain_;
    const std::thread::id mainThread_;
    std::mutex mutex_;
    std::condition_variable workArrived_;
    std::condition_variable workDone_;
    std::deque<std::shared_ptr<Item>> pending_;
    bool closed_ = false;
};

}  // namespace raid
