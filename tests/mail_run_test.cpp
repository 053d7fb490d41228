#include "app/mail_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>

#include "app/engine.h"
#include "device/fixed_disk_catalog.h"
#include "notify/settings/file_settings_store.h"
#include "sim/scenario.h"
#include "sim/sim_transport.h"
#include "sysinfo/canned_system_facts.h"
#include "tests/support/recorders.h"

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::HasSubstr;

// The engine's mail thread with the real dispatch behind it: a request made
// on the main thread is sent, a failed one is tried again when it is due
// (with MailFlags clear), and the outcome reaches the event log.
TEST(MailRun, TheMailThreadSendsRetriesAndLogsThroughTheEngine) {
    const fs::path folder = fs::path(::testing::TempDir()) / "mail-run";
    fs::remove_all(folder);
    fs::create_directories(folder / "log");
    {
        FileSettingsStore store(folder.string());
        ASSERT_EQ(store.Open(), "");
        MailSettings settings;
        settings.TemplateDirectory = folder.string() + "/";
        MailPageFields fields = PageFields(settings);
        fields.smtp = "mail.example.com";
        fields.addr = "raid@example.com";
        fields.recipients = {"ops@example.com"};
        std::atomic<std::uint8_t> flags{0};
        ASSERT_EQ(SaveMailSettings(store, settings, fields, flags), "");
    }

    // The run ends before its folder is removed: it holds the outbox, and
    // Windows removes no file that is held open.
    {
        std::mutex mutex;
        int attempts = 0;
        bool serverUp = false;
        MailSender sender = [&](const SmtpServer&, const MailMessage&, Clock&, const SmtpEvents&) {
            std::lock_guard lock(mutex);
            ++attempts;
            SmtpOutcome outcome;
            outcome.accepted = serverUp;
            outcome.step = serverUp ? "" : "connect";
            outcome.replyText = serverUp ? "" : "Connection refused";
            return outcome;
        };
        auto attemptsSoFar = [&] {
            std::lock_guard lock(mutex);
            return attempts;
        };

        VirtualClock clock;
        sim::SimTransport sim(sim::DefaultScenario(), clock);
        FixedDiskCatalog catalog(std::vector<CatalogVolume>{});
        CannedSystemFacts facts;
        testing::RecordingDialogs dialogs;
        testing::RecordingStatus status;
        AppState state;
        state.log.logFolder = (folder / "log").string();
        testing::RecordingFrontEnd frontEnd(&state.flags.StartupPass);
        MailRun mail(state, clock, frontEnd, sender,
                     SettingsPlace{.folder = folder.string(), .registry = false});
        ASSERT_EQ(mail.storeProblem(), "");
        Engine engine(
            state, EngineServices{sim, catalog, facts, clock, dialogs, status, mail.dispatcher()},
            frontEnd, {});
        mail.Connect(engine);
        engine.Start();

        auto runUntil = [&](auto done) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!done() && std::chrono::steady_clock::now() < deadline) {
                engine.queue().WaitForWork(10);
                engine.queue().RunPending();
            }
            return done();
        };
        // The start-up load comes through the mail thread.
        ASSERT_TRUE(runUntil([&] { return mail.dispatcher().settings().MailSettingsLoaded; }));
        mail.dispatcher().RequestMailNotification(2, 0, 0);
        ASSERT_TRUE(runUntil([&] { return attemptsSoFar() == 1 && mail.dispatcher().Idle(); }));
        EXPECT_EQ(mail.dispatcher().outbox().Size(), 1u);
        EXPECT_EQ(state.MailFlags.load(), 0);

        {
            std::lock_guard lock(mutex);
            serverUp = true;
        }
        clock.Advance(60'000);
        ASSERT_TRUE(runUntil([&] { return mail.dispatcher().outbox().Size() == 0; }));
        EXPECT_EQ(attemptsSoFar(), 2);
        EXPECT_THAT(state.log.EventLog, Contains(HasSubstr("was sent to ops@example.com")));
        EXPECT_TRUE(fs::exists(state.log.fileName));
        EXPECT_TRUE(engine.Close());
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace raid
