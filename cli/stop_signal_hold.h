#pragma once

namespace raid::cli {

// Holds back everything that would end the process by its default action for
// its lifetime: Ctrl+C, SIGTERM, SIGHUP and SIGQUIT on Linux; Ctrl+C,
// Ctrl+Break and the console's close, log-off and shut-down events on
// Windows. A process that ends between the first erase and the last compare
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
    // Windows: the event set when a stop arrives, for a loop to wait on.
    void* ArrivedEvent() const { return arrived_; }

  private:
    bool held_ = false;
    unsigned blockedBefore_ = 0;  // Linux: which of the stop signals were blocked already
    void* arrived_ = nullptr;     // Windows: the event the console handler sets
    void* ended_ = nullptr;       // Windows: set when the hold ends
};

// A reader that went away (`raidcli ... | head`) must not end the program in
// the middle of its work: writes to it fail instead, and the program goes on.
// False when that could not be arranged.
bool IgnoreBrokenPipes();

}  // namespace raid::cli
