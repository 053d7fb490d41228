// The engine's timers, device-change follow-up and worker threads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/engine_rig.h"

namespace raid {
namespace {

using ::testing::ElementsAre;
using testing::EngineRig;

CatalogVolume Volume(const std::string& mountPoint) {
    CatalogVolume v;
    v.mountPoint = mountPoint;
    v.driveType = kDriveTypeFixed;
    v.extent = VolumeExtent{0, 1 << 20, 1 << 30};
    return v;
}

// Ticks Timer4 every 500 ms of virtual time until a discovery has been
// requested; returns how many ticks that took, or -1.
int TicksUntilDiscovery(EngineRig& rig, int limit) {
    for (int tick = 1; tick <= limit; ++tick) {
        rig.clock.Advance(500);
        rig.engine.Timer4Tick();
        if (rig.state.devices.DetectRequest.load()) {
            return tick;
        }
    }
    return -1;
}

TEST(DeviceChange, ABurstOfMessagesLeadsToOneRunFiveSecondsAfterTheLast) {
    EngineRig rig(sim::DefaultScenario(), {Volume("/")});
    rig.StartUp();
    rig.catalog.SetVolumes({Volume("/"), Volume("/media/stick")});  // a USB stick arrives

    // Three messages 2 s apart: each one restarts the wait.
    for (int message = 0; message < 3; ++message) {
        rig.engine.DeviceChanged();
        for (int tick = 0; tick < 4; ++tick) {
            rig.clock.Advance(500);
            rig.engine.Timer4Tick();
            ASSERT_EQ(rig.state.devices.DetectRequest.load(), 0) << message << "/" << tick;
        }
    }
    // 4 ticks have passed since the last message; ten more ticks count the
    // wait out and the next one recounts: between 5 and 5.5 s after it.
    EXPECT_EQ(TicksUntilDiscovery(rig, 20), 7);
    EXPECT_EQ(rig.state.devices.PollPaused.load(), 1);
    EXPECT_EQ(rig.state.devices.letterCount, 2);

    rig.engine.RunDetectionPass();
    EXPECT_EQ(rig.state.devices.DetectRequest.load(), 0);
    rig.engine.Timer4Tick();
    EXPECT_EQ(rig.status.panels[1], "Detected OK");
    EXPECT_EQ(rig.state.devices.DetectionRunning.load(), 0);
}

TEST(DeviceChange, AChangeThatMovesNeitherCountRunsNoDiscovery) {
    EngineRig rig(sim::DefaultScenario(), {Volume("/")});
    rig.StartUp();
    rig.engine.DeviceChanged();
    EXPECT_EQ(TicksUntilDiscovery(rig, 20), -1);
    EXPECT_EQ(rig.state.devices.DetectionRunning.load(), 0);
    EXPECT_EQ(rig.state.devices.DetectCountdown, 0);
}

// Timer4 may rest only while there is nothing to follow up: from a device
// message to the applied discovery it must keep ticking.
TEST(DeviceChange, FollowUpIsIdleOnlyBetweenAnAppliedDiscoveryAndTheNextMessage) {
    EngineRig rig(sim::DefaultScenario(), {Volume("/")});
    EXPECT_FALSE(rig.engine.FollowUpIdle());  // the start-up discovery is asked for
    rig.StartUp();
    EXPECT_TRUE(rig.engine.FollowUpIdle());

    rig.catalog.SetVolumes({Volume("/"), Volume("/media/stick")});
    rig.engine.DeviceChanged();
    int busyTicks = 0;
    while (!rig.state.devices.DetectRequest.load() && busyTicks < 30) {
        EXPECT_FALSE(rig.engine.FollowUpIdle()) << busyTicks;
        rig.clock.Advance(500);
        rig.engine.Timer4Tick();
        ++busyTicks;
    }
    ASSERT_EQ(rig.state.devices.DetectRequest.load(), 1);
    EXPECT_FALSE(rig.engine.FollowUpIdle());  // asked for
    rig.engine.RunDetectionPass();
    EXPECT_FALSE(rig.engine.FollowUpIdle());  // done, not yet applied
    rig.engine.Timer4Tick();
    EXPECT_EQ(rig.status.panels[1], "Detected OK");
    EXPECT_TRUE(rig.engine.FollowUpIdle());
}

TEST(DeviceChange, AnEnclosureThatLeavesIsLoggedWithAKindTwoRequest) {
    auto s = sim::DefaultScenario();
    EngineRig rig(s);
    rig.StartUp();
    rig.clock.Advance(200'000);  // the default timeline takes the stripe away at 200 s
    rig.PollOnce();
    rig.engine.DeviceChanged();
    ASSERT_GT(TicksUntilDiscovery(rig, 20), 0);
    rig.engine.RunDetectionPass();
    rig.engine.Timer4Tick();
    EXPECT_EQ(rig.state.devices.table.count, 1);
    ASSERT_FALSE(rig.mail.Requests().empty());
    EXPECT_EQ(rig.mail.Requests().back().kind, kMailDeviceRemoved);
    EXPECT_EQ(rig.mail.Requests().back().device, 1);
    rig.ServeAll();
    const auto lines = rig.LogLines();
    const bool logged = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("D2 Device was removed.", 0) == 0;
    });
    EXPECT_TRUE(logged);
    // The mirror stays: its backup countdown moved between the two
    // discoveries, which must not make it look removed and found again.
    const auto removals = std::count_if(rig.mail.Requests().begin(), rig.mail.Requests().end(),
                                        [](const auto& r) { return r.kind == kMailDeviceRemoved; });
    EXPECT_EQ(removals, 1);
    for (const std::string& line : lines) {
        EXPECT_NE(line.rfind("D1 Device was removed.", 0), 0u) << line;
        EXPECT_EQ(line.find("New Device was found."), std::string::npos) << line;
    }
}

TEST(DeviceChange, AStatusPollInProgressDelaysTheRecount) {
    EngineRig rig(sim::DefaultScenario(), {Volume("/")});
    rig.StartUp();
    rig.catalog.SetVolumes({});
    rig.engine.DeviceChanged();
    rig.state.poll.StatusPollRunning.store(1);
    EXPECT_EQ(TicksUntilDiscovery(rig, 30), -1);
    rig.state.poll.StatusPollRunning.store(0);
    EXPECT_EQ(TicksUntilDiscovery(rig, 1), 1);
}

TEST(SmartTimer, CountsDownAndRequestsTheRefresh) {
    EngineRig rig;
    rig.StartUp();
    rig.state.CurrentPage = 5;
    std::vector<std::string> labels;
    for (int tick = 0; tick < 61; ++tick) {
        rig.engine.Timer3Tick();
        labels.push_back(rig.frontEnd.smartLabel);
    }
    EXPECT_EQ(labels[0], "Updates after 60 seconds.");
    EXPECT_EQ(labels[59], "Updates after 1 second.");
    EXPECT_EQ(labels[60], "Updating...");
    // The start-up pass read every threshold sector: only the data is due.
    EXPECT_EQ(rig.state.poll.PollRequest.load() & (ReqSmartData | ReqSmartThresholds),
              ReqSmartData);
    rig.engine.Timer3Tick();
    EXPECT_EQ(rig.frontEnd.smartLabel, "Updating...") << "while the refresh is pending";
    EXPECT_EQ(rig.state.SmartCountdown, 60);
}

TEST(SmartTimer, AskForThresholdsAgainAfterAFailedThresholdPass) {
    EngineRig rig;
    rig.StartUp();
    rig.state.smart.thresholdsValid = false;
    for (int tick = 0; tick < 61; ++tick) {
        rig.engine.Timer3Tick();
    }
    EXPECT_EQ(rig.state.poll.PollRequest.load() & (ReqSmartData | ReqSmartThresholds),
              ReqSmartData | ReqSmartThresholds);
}

TEST(Close, IsRefusedDuringAFirmwareUpgrade) {
    EngineRig rig;
    rig.state.flags.MaintenanceBusy.store(1);
    EXPECT_FALSE(rig.engine.Close());
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, "Firmware is upgrading, please wait a moment.");
    EXPECT_EQ(rig.dialogs.boxes[0].caption, "Message");
    EXPECT_EQ(rig.state.flags.AppClosing.load(), 0);
    rig.state.flags.MaintenanceBusy.store(0);
    EXPECT_TRUE(rig.engine.Close());
    EXPECT_EQ(rig.state.flags.AppClosing.load(), 1);
}

// With the real worker threads: work reaches the main thread only through
// the hand-over, and a message raised during discovery is shown there.
class ThreadDialogs final : public Dialogs {
  public:
    void MessageBox(const std::string& text, const std::string&, DialogIcon) override {
        texts.push_back(text);
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> texts;
    std::vector<std::thread::id> threads;
};

TEST(EngineThreads, DiscoveryMessagesAndPollsRunOnTheMainThread) {
    std::vector<CatalogVolume> volumes;
    for (int i = 0; i < 22; ++i) {
        volumes.push_back(Volume("/v" + std::to_string(i)));
    }
    VirtualClock clock;
    sim::SimTransport sim(sim::DefaultScenario(), clock);
    FixedDiskCatalog catalog(volumes);
    CannedSystemFacts facts;
    ThreadDialogs dialogs;
    testing::RecordingStatus status;
    RecordingMailSink mail(clock);
    AppState state;
    const auto logFolder = std::filesystem::path(::testing::TempDir()) / "engine-threads-log";
    std::filesystem::create_directories(logFolder);
    state.log.logFolder = logFolder.string();
    testing::RecordingFrontEnd frontEnd(&state.flags.StartupPass);
    Engine engine(state, EngineServices{sim, catalog, facts, clock, dialogs, status, mail},
                  frontEnd, {});
    engine.Start();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (frontEnd.redraws.empty() && std::chrono::steady_clock::now() < deadline) {
        engine.queue().WaitForWork(10);
        engine.queue().RunPending();
        engine.Timer4Tick();
    }
    ASSERT_FALSE(frontEnd.redraws.empty()) << "the first poll reached the main thread";
    EXPECT_THAT(dialogs.texts, ElementsAre("Drive Count Must less than 20."));
    ASSERT_EQ(dialogs.threads.size(), 1u);
    EXPECT_EQ(dialogs.threads[0], std::this_thread::get_id());

    // Armed alone, the polling thread hands nothing over.
    while (engine.queue().WaitForWork(300)) {
        engine.queue().RunPending();  // the SMART requests of start-up
    }
    state.poll.PollRequest.store(ReqPollArmed);
    EXPECT_FALSE(engine.queue().WaitForWork(300));
    EXPECT_TRUE(engine.Close());
    std::filesystem::remove_all(logFolder);
}

}  // namespace
}  // namespace raid
