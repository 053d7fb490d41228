#pragma once

#include <string>

namespace raid {

// An exclusive hold on an outbox folder for the life of the object: the
// window and a monitoring service can share a log folder, and only the run
// that holds the folder resumes the mails an earlier run left, so no waiting
// mail is sent twice. A run that does not hold the folder holds a lock of its
// own instead, which tells the holder that its mails are still looked after.
class OutboxLock {
  public:
    OutboxLock() = default;
    ~OutboxLock();
    OutboxLock(const OutboxLock&) = delete;
    OutboxLock& operator=(const OutboxLock&) = delete;

    // True when this run now holds `folder` (made when missing), or the lock
    // file `name` in it; false when another run holds it or the lock cannot be
    // taken (`error` then says why).
    bool Acquire(const std::string& folder, std::string& error, const std::string& name = ".lock");
    bool Held() const { return handle_ >= 0; }
    // Removes the lock file this run holds, then lets it go: no other run can
    // take the file in between, and none finds a stale one afterwards.
    void RemoveAndRelease();

  private:
    long long handle_ = -1;
    std::string path_;
};

}  // namespace raid
