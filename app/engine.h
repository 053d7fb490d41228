#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "app/device_change_follow_up.h"
#include "app/front_end.h"
#include "app/main_thread_queue.h"
#include "app/notification_alarm.h"
#include "app/wakeup.h"
#include "device/clock.h"
#include "device/command_channel.h"
#include "device/dialogs.h"
#include "device/discovery.h"
#include "device/disk_catalog.h"
#include "device/enclosure_lock.h"
#include "device/transport.h"
#include "maintenance/firmware_image.h"
#include "maintenance/firmware_upgrade.h"
#include "maintenance/last_panel_text.h"
#include "maintenance/smart_reader.h"
#include "maintenance/spi_flash_access.h"
#include "monitor/mail_request.h"
#include "monitor/status_poll.h"
#include "monitor/status_sink.h"
#include "sysinfo/system_facts.h"

namespace raid {

// The operating-system services the engine runs on.
struct EngineServices {
    Transport& transport;
    DiskCatalog& catalog;
    SystemFacts& facts;
    Clock& clock;
    Dialogs& dialogs;
    StatusSink& status;
    MailRequestSink& mail;
};

// The program without its window: process-wide state, the three worker
// threads and the timer ticks. The front end owns the timers and the main
// loop and calls the ticks; everything but discovery runs on the main thread.
class Engine {
  public:
    // `notifyMain` tells the front end that hand-over work waits in queue().
    Engine(AppState& state, EngineServices services, FrontEnd& frontEnd,
           std::function<void()> notifyMain);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Start-up: Initialise, then the worker threads. Call once.
    void Start();
    // Volume and disk counts, system information lines (no threads).
    void Initialise();
    // Closing: refused (false, with the designed message) during a firmware
    // upgrade; otherwise stops everything and returns true.
    bool Close();

    // The worker-to-main-thread hand-over; the front end runs its pending
    // work on the main thread.
    MainThreadQueue& queue() { return queue_; }

    // What the detection thread does in one pass: a discovery when one was
    // requested. True when it ran one.
    bool RunDetectionPass();

    // One discovery and one status poll on the calling thread, without the
    // workers and without writing the event log (a one-shot status report).
    int DiscoverAndPollOnce();

    // Timers of the main window.
    void Timer2Tick();  // 5000 ms: status-poll pacing
    void Timer3Tick();  // 1000 ms: SMART refresh pacing
    void Timer4Tick();  // 500 ms: device-change follow-up
    bool Timer2Enabled() const { return timer2Enabled_; }
    // Timer4 has nothing to follow up: no device-change countdown, no
    // discovery asked for, running or waiting to be applied. A front end may
    // then let Timer4 rest until the next device change or hand-over.
    bool FollowUpIdle() const;
    bool Timer3Enabled() const { return timer3Enabled_; }

    // A device-change notification from the platform (main thread).
    void DeviceChanged() { followUp_.DeviceChanged(); }
    // Sets request bits of the polling thread and wakes it.
    void Request(std::uint8_t bits);
    // Sets mail request bits and wakes the mail thread.
    void RequestMail(std::uint8_t bits);

    // Served on the main thread when the mail thread finds MailFlags set.
    void SetMailService(std::function<void()> service) { mailService_ = std::move(service); }
    // Asked by the mail thread on every pass (on that thread): whether the
    // service has work even though MailFlags is clear. Set before Start.
    // `due`: work besides MailFlags waits; `sleepMs`: how long the mail thread
    // may sleep before it must look again (a retry's time).
    void SetMailDue(std::function<bool()> due, std::function<std::uint32_t()> sleepMs = {}) {
        mailDue_ = std::move(due);
        mailSleepMs_ = std::move(sleepMs);
    }
    // Any thread, also after the engine is gone: the mail thread looks again.
    std::function<void()> MailWaker() const {
        return [weak = std::weak_ptr<Wakeup>(mailWake_)] {
            if (auto wake = weak.lock()) {
                wake->Notify();
            }
        };
    }
    // Lines that are logged between passes, added to today's log and saved.
    void AddLogLines(const std::vector<std::string>& lines);
    // Let the window handle pending events during long device work.
    void SetMessagePump(std::function<void()> pump);
    // The lock that keeps other processes of ours off an enclosure while we
    // talk to it. Without one, nobody else is assumed to be there.
    void SetEnclosureLock(EnclosureLock& lock) { channel_.SetEnclosureLock(lock); }

    // The firmware file confirmed on the Upgrade page (OpenDialog1CanClose),
    // checked against device-table entry `device`. Nothing happens while an
    // upgrade runs. True when an image is loaded.
    bool LoadFirmware(const std::string& path, ImageFile& file, std::size_t device);
    // Image2_UpgradeClick for device-table entry `device`.
    UpgradeResult UpgradeFirmware(std::size_t device, UpgradeView& view);
    // Every check of an upgrade of `device`, nothing written.
    UpgradeResult CheckUpgrade(std::size_t device);
    // See Discovery::SetKeepBusyPlaces: one-shot commands number what they find.
    void SetKeepBusyPlaces(bool keep) { discovery_.SetKeepBusyPlaces(keep); }
    SpiFlashAccess& flash() { return flash_; }

    CommandChannel& channel() { return channel_; }
    StatusPoller& poller() { return poller_; }
    SmartReader& smartReader() { return smartReader_; }
    DeviceChangeFollowUp& followUp() { return followUp_; }
    AppState& state() { return state_; }
    Clock& clock() { return services_.clock; }

    static constexpr const char* kUpgradeRunning = "Firmware is upgrading, please wait a moment.";

  private:
    FirmwareUpgrade MakeUpgrade(UpgradeView& view);
    void DetectLoop();
    void PollLoop();
    void MailLoop();
    void DetectEventsNow(std::uint8_t changedMask);
    EventLogServices LogServices();
    void ReadSmart(std::uint8_t feature);
    void StopThreads();

    AppState& state_;
    EngineServices services_;
    FrontEnd& frontEnd_;
    // The mail sink the event log asks: it raises the front end's alarm too.
    AlarmingMailSink alarms_;
    MainThreadQueue queue_;
    CommandChannel channel_;
    LastPanelText panels_;
    SpiFlashAccess flash_;
    SmartReader smartReader_;
    Discovery discovery_;
    StatusPoller poller_;
    DeviceChangeFollowUp followUp_;
    std::function<void()> mailService_;
    std::function<bool()> mailDue_;
    std::function<std::uint32_t()> mailSleepMs_;
    std::function<void()> pump_;

    bool timer2Enabled_ = false;
    bool timer3Enabled_ = false;
    bool started_ = false;
    bool logEvents_ = true;
    std::atomic<bool> terminate_{false};
    Wakeup detectWake_;
    Wakeup pollWake_;
    std::shared_ptr<Wakeup> mailWake_ = std::make_shared<Wakeup>();
    std::thread detectThread_;
    std::thread pollThread_;
    std::thread mailThread_;
};

}  // namespace raid
