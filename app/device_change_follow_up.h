#pragma once

#include <functional>
#include <string>

#include "app/app_state.h"
#include "app/front_end.h"
#include "device/clock.h"
#include "device/discovery.h"
#include "monitor/status_sink.h"
#include "sysinfo/system_facts.h"

namespace raid {

// The main thread's side of discovery, run every 500 ms: waits for a burst of
// device-change messages to settle, recounts volumes and disks, asks the
// detection thread for a new run when they changed, and applies its result.
class DeviceChangeFollowUp {
  public:
    struct Hooks {
        std::function<void()> wakeDetection;          // DetectRequest was set
        std::function<void()> recordDeviceSetChange;  // old vs new table, before the swap
        std::function<void(std::uint8_t)> request;    // sets PollRequest bits
        std::function<void(bool)> setPollTimers;      // Timer2 and Timer3 on or off
        std::function<void(bool)> setSmartTimer;      // Timer3 alone
    };

    DeviceChangeFollowUp(AppState& state, Discovery& discovery, SystemFacts& facts, Clock& clock,
                         StatusSink& status, FrontEnd& frontEnd, Hooks hooks);

    // A device-change message: act 5 s after the last one.
    void DeviceChanged() { state_.devices.DetectCountdown = kCountdownStart; }
    void Tick();

    const std::string& statusText() const { return statusText_; }

    static constexpr std::uint8_t kCountdownStart = 16;
    static constexpr std::uint8_t kCountdownDue = 26;

  private:
    void Recount();
    void ApplyDiscovery();
    void SetStatusText(const std::string& text, bool visible);

    AppState& state_;
    Discovery& discovery_;
    SystemFacts& facts_;
    Clock& clock_;
    StatusSink& status_;
    FrontEnd& frontEnd_;
    Hooks hooks_;
    std::string statusText_;
    bool statusVisible_ = true;
};

}  // namespace raid
