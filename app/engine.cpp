#include "app/engine.h"

#include "monitor/device_change_log.h"
#include "monitor/time_text.h"
#include "sysinfo/system_info.h"

namespace raid {
namespace {

constexpr std::uint32_t kDetectIdleMs = 100;
constexpr std::uint32_t kPollPassMs = 50;
constexpr std::uint32_t kMailPassMs = 200;
constexpr int kSmartPage = 5;

}  // namespace

Engine::Engine(AppState& state, EngineServices services, FrontEnd& frontEnd,
               std::function<void()> notifyMain)
    : state_(state),
      services_(services),
      frontEnd_(frontEnd),
      queue_(std::move(notifyMain)),
      channel_(services.transport, services.clock),
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
              }),
      followUp_(
          state, discovery_, services.facts, services.clock, services.status, frontEnd,
          DeviceChangeFollowUp::Hooks{
              .wakeDetection = [this] { detectWake_.Notify(); },
              .recordDeviceSetChange =
                  [this] { RecordDeviceSetChange(state_.log, state_.devices, services_.mail); },
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
}

Engine::~Engine() {
    if (started_) {
        state_.flags.MaintenanceBusy.store(0);
        Close();
    }
}

void Engine::SetMessagePump(std::function<void()> pump) {
    pump_ = pump;
    channel_.SetMessagePump(std::move(pump));
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
    mailWake_.Notify();
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
    mailWake_.Notify();
}

bool Engine::RunDetectionPass() {
    DeviceState& dev = state_.devices;
    if (!dev.DetectRequest.exchange(0)) {
        return false;
    }
    discovery_.DiscoverDevices();
    dev.PollPaused.store(0);
    dev.DetectDone.store(1);
    pollWake_.Notify();
    return true;
}

void Engine::DetectLoop() {
    while (!terminate_.load()) {
        if (!RunDetectionPass()) {
            detectWake_.Wait(kDetectIdleMs);
        }
    }
}

void Engine::PollLoop() {
    state_.poll.PollBusy.store(0);
    while (!terminate_.load()) {
        if (!state_.devices.PollPaused.load() &&
            (state_.poll.PollRequest.load() & kServedRequests) != 0) {
            queue_.RunSync([this] { poller_.ServeRequest(); });
        }
        pollWake_.Wait(kPollPassMs);
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
        mailWake_.Wait(kMailPassMs);
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
    const bool ran = smartReader_.ReadSmartPass(feature).ran;
    if (ran && feature == kSmartReadData && state_.CurrentPage == kSmartPage) {
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
        .mail = services_.mail,
        .requestSmartThresholds = [this] { Request(ReqSmartThresholds); },
        .reportError =
            [this](const std::string& error) { services_.status.SetPanel(kPanelErrors, error); },
        .lineAdded = [this](const std::string& line) { frontEnd_.LogLineAdded(line); },
        .appTitle = kAppTitle,
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
