// Exceptions that escape engine work: the work's worker is released, the
// flags that hold later work back are cleared, and a headless main loop
// reports the exception and goes on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include "app/escaped_exception.h"
#include "app/headless_loop.h"
#include "tests/support/engine_rig.h"
#include "tests/support/scratch_folder.h"

namespace raid {
namespace {

using ::testing::ElementsAre;

// The stand-in enclosures behind a switch that makes reads or opens throw,
// as a failing allocation or a library call deep in a backend would.
class ThrowingTransport final : public Transport {
  public:
    explicit ThrowingTransport(Transport& inner) : inner_(inner) {}
    DeviceHandle OpenDevice(std::uint8_t code) override {
        if (throwOnOpen) {
            throw std::runtime_error("open threw");
        }
        return inner_.OpenDevice(code);
    }
    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        if (throwOnRead) {
            throw std::runtime_error("read threw");
        }
        return inner_.ReadSectors(handle, lba, buffer, count);
    }
    bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) override {
        return inner_.InquiryDevice(handle, buffer);
    }
    void CloseHandle(DeviceHandle handle) override { inner_.CloseHandle(handle); }
    std::optional<OpenFailure> LastOpenFailure() const override { return inner_.LastOpenFailure(); }

    std::atomic<bool> throwOnOpen{false};
    std::atomic<bool> throwOnRead{false};

  private:
    Transport& inner_;
};

// The engine on virtual time, driven by hand, on the throwing transport.
struct Rig {
    Rig()
        : sim(sim::DefaultScenario(), clock),
          transport(sim),
          mail(clock),
          frontEnd(&state.flags.StartupPass),
          engine(state, EngineServices{transport, catalog, facts, clock, dialogs, status, mail},
                 frontEnd, {}) {
        state.log.logFolder = testing::MakeScratchFolder("safety-net").string();
        testing::StartUp(engine, state);
    }
    ~Rig() {
        std::error_code ignored;
        std::filesystem::remove_all(state.log.logFolder, ignored);
    }

    VirtualClock clock;
    sim::SimTransport sim;
    ThrowingTransport transport;
    FixedDiskCatalog catalog;
    CannedSystemFacts facts;
    testing::RecordingDialogs dialogs;
    testing::RecordingStatus status;
    RecordingMailSink mail;
    AppState state;
    testing::RecordingFrontEnd frontEnd;
    Engine engine;
};

// Waits (real time) for `flag`, at most two seconds.
bool Eventually(const std::atomic<bool>& flag) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!flag.load() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return flag.load();
}

TEST(EscapedException, TextOfWhatEscaped) {
    EXPECT_EQ(EscapedExceptionText(std::make_exception_ptr(std::runtime_error("disk gone"))),
              "disk gone");
    EXPECT_EQ(EscapedExceptionText(std::make_exception_ptr(42)), "An unknown exception occurred.");
}

TEST(HandOverQueue, WorkThatThrowsReleasesItsWorkerAndTheWorkBehindItStillRuns) {
    // Shared with the workers: a worker that is never released (the fault
    // this test is about) is left behind, with what it uses, so that the
    // test fails instead of hanging.
    struct Shared {
        MainThreadQueue queue;
        std::atomic<bool> firstReturned{false};
        std::atomic<bool> firstRan{true};
        std::atomic<bool> secondRan{false};
    };
    auto shared = std::make_shared<Shared>();
    std::thread first([shared] {
        shared->firstRan = shared->queue.RunSync([] { throw std::runtime_error("poll threw"); });
        shared->firstReturned = true;
    });
    ASSERT_TRUE(shared->queue.WaitForWork(5000));
    std::thread second([shared] { shared->queue.RunSync([shared] { shared->secondRan = true; }); });
    // Usually both wait before the main thread runs anything.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    std::string escaped;
    try {
        shared->queue.RunPending();
    } catch (const std::runtime_error& e) {
        escaped = e.what();
    }
    EXPECT_EQ(escaped, "poll threw") << "the exception goes on to the error display";
    const bool released = Eventually(shared->firstReturned);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!shared->secondRan.load() && std::chrono::steady_clock::now() < end) {
        shared->queue.WaitForWork(10);
        shared->queue.RunPending();
    }
    shared->queue.Close();  // a worker still waiting would keep the join below for ever
    second.join();
    EXPECT_TRUE(shared->secondRan.load());
    if (!released) {
        first.detach();
        FAIL() << "the worker of the work that threw is still waiting";
    }
    first.join();
    EXPECT_FALSE(shared->firstRan.load()) << "the work did not run to its end";
}

TEST(ServeRequestSafety, APollThatThrowsLeavesNothingThatHoldsTheNextOneBack) {
    Rig rig;
    rig.transport.throwOnRead = true;
    rig.state.poll.PollRequest.store(ReqStatusPoll | ReqSmartData);
    EXPECT_THROW(rig.engine.poller().ServeRequest(), std::runtime_error);
    EXPECT_EQ(rig.state.poll.PollBusy.load(), 0);
    EXPECT_EQ(rig.state.poll.StatusPollRunning.load(), 0);
    EXPECT_EQ(rig.state.poll.PollRequest.load(), ReqSmartData)
        << "the poll's request is served; the SMART read still waits";

    rig.transport.throwOnRead = false;
    rig.frontEnd.redraws.clear();
    testing::PollOnce(rig.engine, rig.state, rig.clock);
    ASSERT_EQ(rig.frontEnd.redraws.size(), 1u) << "the next poll ran";
    EXPECT_EQ(rig.frontEnd.redraws[0].first, 0x03);
}

// Discovery runs on the detection thread, where nothing would catch an
// exception but the end of the process.
TEST(DetectionSafety, ASearchThatThrowsKeepsTheKnownEnclosuresAndIsShownOnTheMainThread) {
    auto rigOwner = std::make_unique<Rig>();
    Rig& rig = *rigOwner;
    const DeviceTable table = rig.state.devices.table;
    const auto blocks = rig.state.devices.blocks;
    const auto linesBefore = rig.state.log.EventLog.size();
    ASSERT_EQ(table.count, 2);

    rig.transport.throwOnRead = true;
    rig.state.devices.DetectRequest.store(1);
    std::atomic<bool> returned{false};
    std::thread detection([&] {
        rig.engine.RunDetectionPass();
        returned = true;
    });
    ASSERT_TRUE(rig.engine.queue().WaitForWork(5000));
    std::string shown;
    try {
        rig.engine.queue().RunPending();
    } catch (const std::exception& e) {
        shown = e.what();
    }
    EXPECT_EQ(shown, "read threw");
    if (!Eventually(returned)) {
        detection.detach();
        rigOwner.release();
        FAIL() << "the detection thread is still waiting";
    }
    detection.join();

    // The search is over: polling may go on, with the enclosures it had.
    EXPECT_EQ(rig.state.devices.PollPaused.load(), 0);
    rig.transport.throwOnRead = false;
    rig.engine.Timer4Tick();  // applies the search
    EXPECT_EQ(rig.state.devices.table.count, 2);
    EXPECT_EQ(rig.state.devices.table.entries, table.entries);
    EXPECT_EQ(rig.state.devices.blocks, blocks);
    testing::ServeAll(rig.engine, rig.state);
    rig.frontEnd.redraws.clear();
    testing::PollOnce(rig.engine, rig.state, rig.clock);
    ASSERT_EQ(rig.frontEnd.redraws.size(), 1u);
    EXPECT_EQ(rig.frontEnd.redraws[0].first, 0x03);
    for (std::size_t i = linesBefore; i < rig.state.log.EventLog.size(); ++i) {
        EXPECT_EQ(rig.state.log.EventLog[i].find("removed"), std::string::npos)
            << rig.state.log.EventLog[i];
    }
}

TEST(HeadlessLoopSafety, AHandOverThatThrowsIsReportedAndMonitoringGoesOn) {
    auto rigOwner = std::make_unique<Rig>();
    Rig& rig = *rigOwner;
    std::vector<std::string> reports;
    HeadlessLoop loop(rig.engine, rig.clock,
                      [&](const std::string& text) { reports.push_back(text); });

    // What the polling thread does: hand the poll over and wait for it.
    auto handOverPoll = [&](std::atomic<bool>& returned) {
        return std::thread([&] {
            rig.state.poll.PollRequest.fetch_or(ReqStatusPoll);
            rig.engine.queue().RunSync([&] { rig.engine.poller().ServeRequest(); });
            returned = true;
        });
    };
    rig.transport.throwOnRead = true;
    std::atomic<bool> firstReturned{false};
    std::thread first = handOverPoll(firstReturned);
    ASSERT_TRUE(rig.engine.queue().WaitForWork(5000));
    loop.RunPass(0, 0);
    EXPECT_THAT(reports, ElementsAre("read threw"));
    if (!Eventually(firstReturned)) {
        // Left behind with the rig it waits on, so that the test fails
        // instead of hanging.
        first.detach();
        rigOwner.release();
        FAIL() << "the polling thread is still waiting for its hand-over";
    }
    first.join();

    rig.transport.throwOnRead = false;
    rig.frontEnd.redraws.clear();
    std::atomic<bool> secondReturned{false};
    std::thread second = handOverPoll(secondReturned);
    ASSERT_TRUE(rig.engine.queue().WaitForWork(5000));
    loop.RunPass(0, 0);
    second.join();
    EXPECT_EQ(rig.frontEnd.redraws.size(), 1u) << "the next poll ran";
    EXPECT_EQ(reports.size(), 1u);
}

TEST(HeadlessLoopSafety, ATickThatThrowsIsReportedAndTheOtherTimersGoOn) {
    Rig rig;
    std::vector<std::string> reports;
    HeadlessLoop loop(rig.engine, rig.clock,
                      [&](const std::string& text) { reports.push_back(text); });
    rig.state.poll.PollRequest.store(0);
    rig.transport.throwOnOpen = true;  // the recount after a device change opens every disk
    loop.RunPass(1, 0);
    for (int pass = 0; pass < 12 && reports.empty(); ++pass) {
        rig.clock.Advance(500);
        loop.RunPass(0, 0);
    }
    EXPECT_THAT(reports, ElementsAre("open threw"));
    EXPECT_EQ(rig.state.devices.DetectionRunning.load(), 0)
        << "polls are not held back by a recount that never finished";

    // Two Timer2 ticks later a poll is requested again.
    rig.transport.throwOnOpen = false;
    for (int pass = 0; pass < 20 && !(rig.state.poll.PollRequest.load() & ReqStatusPoll); ++pass) {
        rig.clock.Advance(500);
        loop.RunPass(0, 0);
    }
    EXPECT_TRUE(rig.state.poll.PollRequest.load() & ReqStatusPoll);
}

}  // namespace
}  // namespace raid
