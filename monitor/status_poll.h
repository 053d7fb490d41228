#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/clock.h"
#include "device/command_channel.h"
#include "device/device_state.h"
#include "device/dialogs.h"
#include "monitor/poll_state.h"
#include "monitor/status_sink.h"

namespace raid {

// What the poll calls outside itself. Every hook may be left empty.
struct PollHooks {
    std::function<void()> processMessages;           // let the window handle pending events
    std::function<void(std::uint8_t)> detectEvents;  // after a completed poll
    std::function<void(std::uint8_t)> redraw;        // changed slots, after detectEvents
    std::function<void(int)> slotUnchecked;          // a failing slot was switched off
    std::function<void(const std::string&)> settingsChangeLine;  // for the event log
    std::function<std::string()> timeText;  // the current date and time, "c" format
    std::function<void()> readSmartThresholds;
    std::function<void()> readSmartData;
    std::function<void()> pollDone;  // every completed status poll, last
};

// The status poll and the other requests of the polling thread, all run on
// the main thread.
class StatusPoller {
  public:
    StatusPoller(CommandChannel& channel, Transport& transport, Clock& clock, DeviceState& devices,
                 ProcessFlags& flags, PollState& poll, StatusSink& status, Dialogs& dialogs,
                 PollHooks hooks);

    // One hand-over of the polling thread: the first pending request.
    void ServeRequest();
    void PollStatus();
    void ApplyQueuedSetting();
    // Every 5 s once discovery has found a device.
    void Timer2Tick();

    // Rounds of drive information / progress per slot and poll. A controller
    // that keeps reporting a busy drive without a running task would otherwise
    // keep the poll going round for ever.
    static constexpr int kMaxRounds = 4;

  private:
    enum class SlotOutcome { Changed, Failed, Skipped, Aborted };

    SlotOutcome PollSlot(std::size_t slot);
    // Sends one status command after the pause that keeps the controller from
    // being flooded; nullopt when the poll must stop (maintenance or closing).
    std::optional<CommandStatus> SendPaced(std::uint8_t code, ReplySector& reply);
    bool MustAbort() const;
    void Trace(int panel, const std::string& text);
    std::string SettingsLine(std::uint8_t code, const std::array<std::uint8_t, 3>& args) const;
    std::string PeriodText(unsigned hours) const;

    CommandChannel& channel_;
    Transport& transport_;
    Clock& clock_;
    DeviceState& devices_;
    ProcessFlags& flags_;
    PollState& poll_;
    StatusSink& status_;
    Dialogs& dialogs_;
    PollHooks hooks_;
};

}  // namespace raid
