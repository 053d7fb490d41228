#include "app/engine.h"

#include <algorithm>
#include <exception>
#include <limits>

#include "maintenance/smart_watch.h"
#include "monitor/device_change_log.h"
#include "monitor/time_text.h"
#include "sysinfo/system_info.h"

namespace raid {
namespace {

// A worker with nothing to do sleeps until it is notified: every place that
// gives it work wakes it. The long timeout is only a safety net. Work that is
// still pending after a pass (a request held back for the next hand-over) is
// taken up after the worker's own pass interval.
constexpr std::uint32_t kIdleSafetyNetMs = 60'000;
constexpr std::uint32_t kPollPassMs = 50;
constexpr std::uint32_t kMailPassMs = 200;
constexpr std::uint32_t kMailRetryLookMs = 1000;
constexpr int kSmartPage = 5;

}  // namespace

Engine::Engine(AppState& state, EngineServices services, FrontEnd& frontEnd,
               std::function<void()> notifyMain)
    : state_(state),
      services_(services),
      frontEnd_(frontEnd),
      alarms_(services.mail, state.devices,
              [this](const NotificationAlarm& alarm) { frontEnd_.NotificationRaised(alarm); }),
      queue_(std::move(notifyMain)),
      channel_(services.transport, services.clock),
      panels_(services.status),
      flash_(
          SpiFlashAccess::Services{
              .channel = channel_,
              .transport = services.transport,
              .clock = services.clock,
              .devices = state.devices,
              .flags = state.flags,
              .status = panels_,
              .message =
                  [this](const std::string& text, const std::string& caption, DialogIcon icon) {
                      // Discovery reads the flash on the detection thread.
                      queue_.RunSync([this, text, caption, icon] {
                          services_.dialogs.MessageBox(text, caption, icon);
                      });
                  },
          },
          state.maintenance.progressCounter),
      smartReader_(channel_, state.devices, state.flags, state.poll, state.smart),
      discovery_(channel_, services.transport, services.catalog, services.clock, state.devices,
                 state.flags,
                 [this](const std::string& text) {
                     // Discovery runs on the detection thread; the box belongs
                     // to the main thread.
                     queue_.RunSync([this, text] {
                         services_.dialogs.MessageBox(text, "", DialogIcon::Warning);
                     });
                 }),
      poller_(channel_, services.transport, services.clock, state.devices, state.flags, state.poll,
              services.status, services.dialogs,
              PollHooks{
                  .processMessages =
                      [this] {
                          if (pump_) {
                              pump_();
                          }
                      },
                  .detectEvents = [this](std::uint8_t mask) { DetectEventsNow(mask); },
                  .redraw =
                      [this](std::uint8_t mask) {
                          frontEnd_.RedrawStatus(mask, state_.flags.StartupPass.load() ||
                                                           state_.log.FullRedrawRequested);
                      },
                  .slotUnchecked = [this](int slot) { frontEnd_.SlotUnchecked(slot); },
                  .settingsChangeLine =
                      [this](const std::string& line) {
                          state_.log.SettingsChangeLines.push_back(line);
                      },
                  .timeText = [this] { return TimeText(services_.clock.WallSeconds()); },
                  .readSmartThresholds = [this] { ReadSmart(kSmartReadThresholds); },
                  .readSmartData = [this] { ReadSmart(kSmartReadData); },
                  .pollDone = [this] { frontEnd_.PollDone(); },
              }),
      followUp_(state, discovery_, services.facts, services.clock, services.status, frontEnd,
                DeviceChangeFollowUp::Hooks{
                    .wakeDetection = [this] { detectWake_.Notify(); },
                    .recordDeviceSetChange =
                        [this] { RecordDeviceSetChange(state_.log, state_.devices, alarms_); },
                    .request = [this](std::uint8_t bits) { Request(bits); },
                    .setPollTimers =
                        [this](bool on) {
                            timer2Enabled_ = on;
                            timer3Enabled_ = on;
                        },
                    .setSmartTimer = [this](bool on) { timer3Enabled_ = on; },
                }) {
    channel_.SetTargetResolver([this] {
        const DeviceState& dev = state_.devices;
        if (dev.DetectionRunning.load()) {
            return dev.EntryUnderTest.load();
        }
        return dev.table.Disk(dev.currentSlot.load());
    });
    discovery_.SetFlashHeaderReader([this](std::span<std::uint8_t, 256> header) {
        return flash_.ReadSpiFlash(0, static_cast<std::uint32_t>(header.size()), header);
    });
}

Engine::~Engine() {
    if (started_) {
        state_.flags.MaintenanceBusy.store(0);
        Close();
    }
}

void Engine::SetMessagePump(std::function<void()> pump) {
    pump_ = pump;
    flash_.SetMessagePump(pump);
    channel_.SetMessagePump(std::move(pump));
}

bool Engine::LoadFirmware(const std::string& path, ImageFile& file, std::size_t device) {
    if (state_.flags.MaintenanceBusy.load()) {
        return state_.maintenance.image.Loaded();
    }
    // The product check reads what discovery writes: not while it runs.
    if (state_.devices.DetectionRunning.load() || state_.devices.DetectDone.load()) {
        state_.maintenance.image.Release();
        services_.dialogs.MessageBox(FirmwareUpgrade::kDetectingText, "Message",
                                     DialogIcon::Information);
        return false;
    }
    UpgradeDeviceFacts facts;
    if (device < state_.devices.table.count && !state_.devices.table.InUse(device)) {
        facts = KnownTarget(state_.devices, device).facts;
    }
    return LoadFirmwareImage(path, facts, ImageLoadServices{file, panels_, services_.dialogs},
                             state_.maintenance.image);
}

FirmwareUpgrade Engine::MakeUpgrade(UpgradeView& view) {
    FirmwareUpgrade upgrade(
        FirmwareUpgrade::Services{
            .flash = flash_,
            .channel = channel_,
            .transport = services_.transport,
            .lock = channel_.enclosureLock(),
            .clock = services_.clock,
            .devices = state_.devices,
            .flags = state_.flags,
            .status = panels_,
            .dialogs = services_.dialogs,
            .view = view,
        },
        state_.maintenance);
    upgrade.SetMessagePump(pump_);
    return upgrade;
}

UpgradeResult Engine::UpgradeFirmware(std::size_t device, UpgradeView& view) {
    return MakeUpgrade(view).Run(device);
}

UpgradeResult Engine::CheckUpgrade(std::size_t device) {
    UpgradeView unseen;
    return MakeUpgrade(unseen).Check(device);
}

void Engine::Start() {
    if (started_) {
        return;
    }
    started_ = true;
    Initialise();
    detectThread_ = std::thread([this] { DetectLoop(); });
    pollThread_ = std::thread([this] { PollLoop(); });
    mailThread_ = std::thread([this] { MailLoop(); });
}

void Engine::Initialise() {
    state_.devices.letterCount = discovery_.CountLetters();
    state_.devices.diskCount = discovery_.CountDisks();
    state_.systemInfoLines = BuildSystemInfoLines(services_.facts);
    state_.SmartCountdown = kSmartRefreshTicks;
}

bool Engine::Close() {
    if (state_.flags.MaintenanceBusy.load()) {
        services_.dialogs.MessageBox(kUpgradeRunning, "Message", DialogIcon::Information);
        return false;
    }
    state_.flags.AppClosing.store(1);
    state_.poll.PollRequest.store(0);
    timer2Enabled_ = false;
    timer3Enabled_ = false;
    StopThreads();
    return true;
}

void Engine::StopThreads() {
    terminate_.store(true);
    queue_.Close();
    detectWake_.Notify();
    pollWake_.Notify();
    mailWake_->Notify();
    for (std::thread* t : {&detectThread_, &pollThread_, &mailThread_}) {
        if (t->joinable()) {
            t->join();
        }
    }
}

void Engine::Request(std::uint8_t bits) {
    state_.poll.PollRequest.fetch_or(bits);
    pollWake_.Notify();
}

void Engine::RequestMail(std::uint8_t bits) {
    state_.MailFlags.fetch_or(bits);
    mailWake_->Notify();
}

bool Engine::RunDetectionPass() {
    DeviceState& dev = state_.devices;
    if (!dev.DetectRequest.exchange(0)) {
        return false;
    }
    // A search that ends by an exception leaves the enclosures as they were
    // known before it, so that polling goes on with them; the exception is
    // handed to the main thread, whose error display shows it.
    const auto blocks = dev.blocks;
    const auto records = dev.records;
    const auto slots = dev.slots;
    const auto devices = dev.devices;
    std::exception_ptr escaped;
    try {
        discovery_.DiscoverDevices();
    } catch (...) {
        escaped = std::current_exception();
        dev.newTable = dev.table;
        dev.blocks = blocks;
        dev.records = records;
        dev.slots = slots;
        dev.devices = devices;
    }
    dev.PollPaused.store(0);
    dev.DetectDone.store(1);
    pollWake_.Notify();
    // The main thread may have let its follow-up timer rest meanwhile: a
    // hand-over wakes it to apply the result (an empty one when the search
    // has nothing to show).
    if (escaped) {
        queue_.RunSync([escaped] { std::rethrow_exception(escaped); });
    } else {
        queue_.RunSync([] {});
    }
    return true;
}

bool Engine::FollowUpIdle() const {
    const DeviceState& dev = state_.devices;
    return dev.DetectCountdown == 0 && dev.DetectRequest.load() == 0 &&
           dev.DetectDone.load() == 0 && dev.PollPaused.load() == 0 &&
           dev.DetectionRunning.load() == 0;
}

void Engine::DetectLoop() {
    while (!terminate_.load()) {
        if (!RunDetectionPass()) {
            detectWake_.Wait(kIdleSafetyNetMs);
        }
    }
}

void Engine::PollLoop() {
    state_.poll.PollBusy.store(0);
    auto servable = [this] {
        return !state_.devices.PollPaused.load() &&
               (state_.poll.PollRequest.load() & kServedRequests) != 0;
    };
    while (!terminate_.load()) {
        if (servable()) {
            queue_.RunSync([this] { poller_.ServeRequest(); });
        }
        pollWake_.Wait(servable() ? kPollPassMs : kIdleSafetyNetMs);
    }
}

void Engine::MailLoop() {
    while (!terminate_.load()) {
        if (state_.MailFlags.load() != 0 || (mailDue_ && mailDue_())) {
            queue_.RunSync([this] {
                if (mailService_) {
                    mailService_();
                }
            });
        }
        // With nothing queued the thread sleeps until it is woken (a request,
        // news of the mail worker). A mail waiting for its retry is looked at
        // about once a second: the retry's time is the clock's, which need
        // not run at the pace of this wait.
        std::uint32_t wait = kIdleSafetyNetMs;
        if (state_.MailFlags.load() != 0) {
            wait = kMailPassMs;
        } else if (mailSleepMs_) {
            const std::uint32_t untilDue = mailSleepMs_();
            if (untilDue != std::numeric_limits<std::uint32_t>::max()) {
                wait = std::clamp(untilDue, kMailPassMs, kMailRetryLookMs);
            }
        }
        mailWake_->Wait(wait);
    }
}

void Engine::Timer2Tick() {
    if (!timer2Enabled_) {
        return;
    }
    poller_.Timer2Tick();
    pollWake_.Notify();
}

void Engine::Timer3Tick() {
    const DeviceState& dev = state_.devices;
    if (!timer3Enabled_ || dev.DetectCountdown != 0 || dev.DetectionRunning.load() ||
        state_.flags.MaintenanceBusy.load() || state_.flags.AppClosing.load()) {
        return;
    }
    const bool pending = (state_.poll.PollRequest.load() & ReqSmartData) != 0;
    if (state_.CurrentPage == kSmartPage) {
        const unsigned n = state_.SmartCountdown;
        if (pending || n == 0) {
            frontEnd_.SetSmartLabel("Updating...");
        } else {
            frontEnd_.SetSmartLabel("Updates after " + std::to_string(n) +
                                    (n == 1 ? " second." : " seconds."));
        }
    }
    if (pending) {
        return;
    }
    if (state_.SmartCountdown != 0) {
        --state_.SmartCountdown;
        return;
    }
    Request(static_cast<std::uint8_t>(ReqSmartData |
                                      (state_.smart.thresholdsValid ? 0 : ReqSmartThresholds)));
    state_.SmartCountdown = kSmartRefreshTicks;
}

void Engine::ReadSmart(std::uint8_t feature) {
    const SmartPassReport report = smartReader_.ReadSmartPass(feature);
    if (!report.ran) {
        return;
    }
    const std::int64_t now = services_.clock.WallSeconds();
    const SmartFindings found = WatchSmartPass(state_.alerts, state_.smart, state_.devices, feature,
                                               report, now, TimeText(now));
    if (logEvents_) {
        AddLogLines(found.lines);
        for (const auto& [slot, drive] : found.drives) {
            services_.mail.RequestMailNotification(kMailSmart, slot, drive);
        }
    }
    if (feature == kSmartReadData && state_.CurrentPage == kSmartPage) {
        frontEnd_.SmartDataRead();
    }
}

void Engine::Timer4Tick() {
    followUp_.Tick();
}

int Engine::DiscoverAndPollOnce() {
    DeviceState& dev = state_.devices;
    logEvents_ = false;
    dev.letterCount = discovery_.CountLetters();
    dev.diskCount = discovery_.CountDisks();
    dev.DetectRequest.store(1);
    RunDetectionPass();
    const int found = dev.newTable.count;
    followUp_.Tick();
    state_.flags.StartupPass.store(0);
    state_.poll.PollRequest.store(0);
    poller_.PollStatus();
    logEvents_ = true;
    return found;
}

EventLogServices Engine::LogServices() {
    return EventLogServices{
        .devices = state_.devices,
        .flags = state_.flags,
        .clock = services_.clock,
        .mail = alarms_,
        .requestSmartThresholds = [this] { Request(ReqSmartThresholds); },
        .reportError =
            [this](const std::string& error) { services_.status.SetPanel(kPanelErrors, error); },
        .lineAdded = [this](const std::string& line) { frontEnd_.LogLineAdded(line); },
        .appTitle = kAppTitle,
        .alerts = &state_.alerts,
    };
}

void Engine::DetectEventsNow(std::uint8_t changedMask) {
    if (!logEvents_) {
        return;
    }
    DetectEvents(state_.log, LogServices(), changedMask);
}

void Engine::AddLogLines(const std::vector<std::string>& lines) {
    AppendLogLines(state_.log, LogServices(), lines);
}

}  // namespace raid
