#pragma once

#include <cstdint>
#include <functional>

#include "device/clock.h"
#include "device/command_channel.h"
#include "device/device_state.h"
#include "device/dialogs.h"
#include "maintenance/schedule_choice.h"
#include "monitor/poll_state.h"
#include "monitor/status_sink.h"

namespace raid {

// What the Set operation works with. `request` sets request bits of the
// polling thread and wakes it; `pump` lets the window (or the command line's
// loop) handle what is waiting, the polling thread's hand-over among it;
// `refresh` rebuilds the schedule texts.
struct ScheduleSetServices {
    DeviceState& devices;
    ProcessFlags& flags;
    PollState& poll;
    CommandChannel& channel;
    Clock& clock;
    Dialogs& dialogs;
    StatusSink& status;
    std::function<void(std::uint8_t)> request;
    std::function<void()> pump;
    std::function<void()> refresh;
};

enum class ScheduleSetOutcome {
    AlreadyRunning,  // a Set further up the stack; nothing done
    NoChange,        // the choice is the period in force; nothing sent
    Ok,              // the command was handed over and a status poll followed
    NotServed,       // error code 1: the command was not handed over in time
    NoPoll,          // error code 2: no status poll followed in time
    OutOfRange,      // error code 3: the choice cannot travel in the period byte
    Refused,         // the enclosure answered the command with a refusal (its status is the code)
    Closing,         // the window closed during the wait; nothing shown
};

// The error code shown for an outcome, 0 when there is none.
std::uint8_t ScheduleErrorCode(ScheduleSetOutcome outcome);

// The Set button of the schedule sub-page: one queued setting command for
// the polling thread, then a status poll that reads the schedule back. The
// caller's thread waits, handling events, while both are served.
class ScheduleSetter {
  public:
    explicit ScheduleSetter(ScheduleSetServices services) : s_(std::move(services)) {}

    ScheduleSetOutcome Set(const ScheduleChoice& choice);
    bool running() const { return running_; }

    // 51 rounds of 30 ms: about 1.5 s for each of the two hand-overs.
    static constexpr int kWaitRounds = 51;
    static constexpr std::uint32_t kWaitRoundMs = 30;

  private:
    ScheduleSetOutcome Run(const ScheduleChoice& choice);
    // False when the request is still pending after the rounds.
    bool WaitWhilePending(std::uint8_t bit);
    bool Closing() const { return s_.flags.AppClosing.load() != 0; }
    void Report(ScheduleSetOutcome outcome);

    ScheduleSetServices s_;
    bool running_ = false;
    std::uint8_t refusal_ = 0;  // the enclosure's status when it refused
};

}  // namespace raid
