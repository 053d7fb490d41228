#pragma once

namespace raid::cli {

// Holds Ctrl+C and the stop signals (SIGINT, SIGTERM, SIGHUP) back for its
// lifetime: a process that ends between the first erase and the last compare
// leaves a flash that the controller can no longer start from, and only the
// finished upgrade can be started again. A signal that comes meanwhile is
// taken when the hold ends, so it does not end the process afterwards either.
// On Linux the mask is the calling thread's: hold from the only thread, or
// before any other starts.
class StopSignalHold {
  public:
    StopSignalHold();
    ~StopSignalHold();
    StopSignalHold(const StopSignalHold&) = delete;
    StopSignalHold& operator=(const StopSignalHold&) = delete;

    // False when the signals could not be held back.
    bool held() const { return held_; }
    // Takes the stop signals that came so far; true when there was one.
    bool TakeArrived();

  private:
    bool held_ = false;
    unsigned blockedBefore_ = 0;  // Linux: which of the three were blocked already
};

}  // namespace raid::cli
