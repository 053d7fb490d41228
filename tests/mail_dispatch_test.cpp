#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "notify/compose/mail_templates.h"
#include "notify/delivery/mail_dispatcher.h"
#include "notify/settings/memory_settings_store.h"
#include "tests/support/posix_files.h"

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

// A mail server the test controls: down, refusing at the final "." for now
// (451) or for good (554), or accepting; it remembers what it was given and
// when.
class ScriptedServer {
  public:
    enum class Mode { Accept, Down, RefuseAtEnd, RejectAtEnd };

    MailSender Sender() {
        return [this](const SmtpServer& server, const MailMessage& message, Clock& clock,
                      const SmtpEvents& events) { return Serve(server, message, clock, events); };
    }
    void Set(Mode mode) {
        std::lock_guard lock(mutex_);
        mode_ = mode;
    }
    // The next exchange waits until the returned promise is set.
    std::shared_ptr<std::promise<void>> HoldNext() {
        std::lock_guard lock(mutex_);
        hold_ = std::make_shared<std::promise<void>>();
        return hold_;
    }
    std::vector<MailMessage> Received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::vector<std::int64_t> Attempts() {
        std::lock_guard lock(mutex_);
        return attempts_;
    }
    SmtpServer LastServer() {
        std::lock_guard lock(mutex_);
        return lastServer_;
    }

  private:
    SmtpOutcome Serve(const SmtpServer& server, const MailMessage& message, Clock& clock,
                      const SmtpEvents& events) {
        std::shared_ptr<std::promise<void>> hold;
        Mode mode;
        {
            std::lock_guard lock(mutex_);
            attempts_.push_back(clock.WallSeconds());
            lastServer_ = server;
            mode = mode_;
            hold = std::move(hold_);
        }
        if (hold) {
            hold->get_future().wait();
        }
        SmtpOutcome outcome;
        if (mode == Mode::Down) {
            outcome.step = "connect";
            outcome.replyText = "Connection refused";
            return outcome;
        }
        events.connected();
        events.workBegin();
        events.workEnd();
        if (mode == Mode::RefuseAtEnd || mode == Mode::RejectAtEnd) {
            outcome.step = "message";
            outcome.replyCode = mode == Mode::RefuseAtEnd ? 451 : 554;
            outcome.replyText = mode == Mode::RefuseAtEnd ? "Try again later" : "Message rejected";
        } else {
            outcome.accepted = true;
            std::lock_guard lock(mutex_);
            received_.push_back(message);
        }
        events.disconnected();
        return outcome;
    }

    std::mutex mutex_;
    Mode mode_ = Mode::Accept;
    std::shared_ptr<std::promise<void>> hold_;
    std::vector<MailMessage> received_;
    std::vector<std::int64_t> attempts_;
    SmtpServer lastServer_;
};

class MailDispatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::path(::testing::TempDir()) / (std::string("mail-dispatch-") + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        devices.table.entries[0] = kEnclosureMark | 0;
        devices.table.count = 1;
        Configure();
        Restart();
    }
    void TearDown() override {
        dispatcher.reset();
        fs::remove_all(folder);
    }

    void Configure() {
        MailSettings fresh;
        fresh.TemplateDirectory = folder.string() + "/";
        MailPageFields f = PageFields(fresh);
        f.smtp = "mail.example.com";
        f.addr = "raid@example.com";
        f.recipients = {"ops@example.com"};
        f.subjects = {"Drive failed", "Enclosure gone"};
        std::atomic<std::uint8_t> ignored{0};
        ASSERT_EQ(SaveMailSettings(store, fresh, f, ignored), "");
    }
    // A new run of the program on the same settings and outbox folder.
    void Restart() {
        dispatcher.reset();
        flags.store(0);
        dispatcher = std::make_unique<MailDispatcher>(
            MailDispatchServices{
                .store = store,
                .clock = clock,
                .devices = devices,
                .systemInfo = systemInfo,
                .mailFlags = flags,
                .sender = server.Sender(),
                .outboxFolder = (folder / "outbox").string(),
                .defaultTemplateDirectory = folder.string() + "/",
                .appTitle = "RAID GUI v0.50.11-5b",
            },
            MailDispatchHooks{
                .statusText =
                    [this](int panel, const std::string& text) {
                        status.push_back(std::to_string(panel) + ":" + text);
                    },
                .logLines =
                    [this](const std::vector<std::string>& lines) {
                        log.insert(log.end(), lines.begin(), lines.end());
                    },
                .error = [this](const std::string& text) { errors.push_back(text); },
                .wake = [this] { ++wakes; },
            });
        dispatcher->Initialise();
        Settle();
    }
    // Runs mail passes until nothing is left to do at the current time. The
    // bound is real time: the worker is a real thread, and a short sleep may
    // return at once (a pass count would be no bound where it does).
    void Settle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (flags.load() != 0 || dispatcher->WorkDue() || !dispatcher->Idle()) {
                dispatcher->ServiceMailFlags();
            } else {
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        FAIL() << "the mail dispatch did not settle";
    }
    void Wait(std::int64_t seconds) {
        clock.Advance(static_cast<std::uint64_t>(seconds) * 1000);
        Settle();
    }
    std::size_t OutboxFiles() const {
        std::size_t n = 0;
        for (const auto& entry : fs::directory_iterator(folder / "outbox")) {
            n += entry.path().extension() == ".mail" ? 1 : 0;
        }
        return n;
    }

    fs::path folder;
    VirtualClock clock;
    MemorySettingsStore store;
    DeviceState devices;
    std::vector<std::string> systemInfo = {"\nSystem Name : host"};
    std::atomic<std::uint8_t> flags{0};
    ScriptedServer server;
    std::vector<std::string> status, log, errors;
    std::atomic<int> wakes{0};
    std::unique_ptr<MailDispatcher> dispatcher;
};

TEST_F(MailDispatchTest, EveryRequestBecomesItsOwnMailAndIsSentOnce) {
    dispatcher->RequestMailNotification(1, 0, 0);
    dispatcher->RequestMailNotification(1, 0, 1);
    dispatcher->RequestMailNotification(2, 0, 0);
    EXPECT_EQ(flags.load(), MailSendPending);
    Settle();

    const auto received = server.Received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].bodyLines.front(), "Device1 P0 Hard Disk Drive fail.");
    EXPECT_EQ(received[1].bodyLines.front(), "Device1 P1 Hard Disk Drive fail.");
    EXPECT_EQ(received[2].bodyLines.front(), "Device1 RAID system fail.");
    EXPECT_EQ(received[2].subject, "[RAID GUI v0.50.11-5b Message] Enclosure gone");
    EXPECT_THAT(received[0].recipients, ElementsAre("ops@example.com"));
    EXPECT_EQ(log.size(), 3u);
    EXPECT_THAT(
        log, Contains(StartsWith("Mail \"[RAID GUI v0.50.11-5b Message] Drive failed\" (Device1 P0 "
                                 "Hard Disk Drive fail.) was sent to ops@example.com, ")));
    EXPECT_THAT(status, Contains("2:Email=2"));
    EXPECT_THAT(status, Contains("2:Connect"));
    EXPECT_THAT(status, Contains("3:Mail is Sending..."));
    EXPECT_EQ(status.back(), "3:Send mail Success!");
    EXPECT_EQ(dispatcher->outbox().Size(), 0u);
    EXPECT_EQ(OutboxFiles(), 0u);
    EXPECT_EQ(flags.load(), 0);
    EXPECT_THAT(errors, IsEmpty());
    // The stored "TimeOut" of 0 means 30 seconds.
    EXPECT_EQ(server.LastServer().timeoutSeconds, 30);

    Wait(7200);
    EXPECT_EQ(server.Received().size(), 3u);
}

TEST_F(MailDispatchTest, AMailTheServerDidNotTakeIsRetriedWithDoublingPausesUntilAccepted) {
    server.Set(ScriptedServer::Mode::Down);
    dispatcher->RequestMailNotification(1, 0, 1);
    Settle();
    EXPECT_EQ(dispatcher->outbox().Size(), 1u);
    EXPECT_EQ(OutboxFiles(), 1u);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THAT(errors[0], HasSubstr("connect: Connection refused"));

    // Ten more failures, each pause waited out to the second.
    for (const std::int64_t pause : {60, 120, 240, 480, 960, 1920, 3600, 3600, 3600, 3600}) {
        const std::size_t before = server.Attempts().size();
        Wait(pause - 1);
        EXPECT_EQ(server.Attempts().size(), before) << pause;
        Wait(1);
        EXPECT_EQ(server.Attempts().size(), before + 1) << pause;
    }
    EXPECT_EQ(errors.size(), 1u);  // no message per retry

    server.Set(ScriptedServer::Mode::Accept);
    Wait(3600);
    ASSERT_EQ(server.Received().size(), 1u);
    EXPECT_EQ(server.Received()[0].bodyLines.front(), "Device1 P1 Hard Disk Drive fail.");
    EXPECT_EQ(OutboxFiles(), 0u);
    Wait(3 * 3600);
    EXPECT_EQ(server.Received().size(), 1u);
    EXPECT_EQ(server.Attempts().size(), 12u);
}

// The mail thread sleeps between mails: it must be woken for a request and for
// the worker's news, and may sleep until the next retry is due.
TEST_F(MailDispatchTest, TheMailThreadIsWokenForWorkAndMaySleepUntilTheNextRetry) {
    // Idle, it still looks at the outbox folder every two minutes for mails
    // another run left.
    EXPECT_EQ(dispatcher->SleepMs(), kOutboxRescanSeconds * 1000);
    server.Set(ScriptedServer::Mode::Down);
    const int idle = wakes.load();
    dispatcher->RequestMailNotification(1, 0, 1);
    const int requested = wakes.load();
    EXPECT_GT(requested, idle);
    Settle();
    EXPECT_GT(wakes.load(), requested);  // the failed attempt's news
    EXPECT_EQ(dispatcher->SleepMs(), 60'000u);
    clock.Advance(20'000);
    EXPECT_EQ(dispatcher->SleepMs(), 40'000u);
    clock.Advance(40'000);
    EXPECT_EQ(dispatcher->SleepMs(), 0u);
}

TEST_F(MailDispatchTest, AMailIsGivenUpAfterADayWithALogLine) {
    server.Set(ScriptedServer::Mode::RefuseAtEnd);
    dispatcher->RequestMailNotification(2, 0, 0);
    Settle();
    EXPECT_EQ(dispatcher->MailsGivenUp(), 0u);
    for (int hour = 0; hour < 25 && dispatcher->outbox().Size() != 0; ++hour) {
        Wait(3600);
    }
    EXPECT_EQ(dispatcher->outbox().Size(), 0u);
    EXPECT_EQ(dispatcher->MailsGivenUp(), 1u);
    EXPECT_EQ(OutboxFiles(), 0u);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_THAT(log[0], AllOf(StartsWith("Mail \"[RAID GUI v0.50.11-5b Message] Enclosure gone\" "
                                         "(Device1 RAID system fail.) to ops@example.com was "
                                         "given up after "),
                              HasSubstr("message: 451 Try again later")));
    EXPECT_THAT(errors.back(), HasSubstr("given up"));
    // The body was written, but the server refused it: that is no success.
    EXPECT_THAT(status, Not(Contains("3:Send mail Success!")));
    const auto attempts = server.Attempts();
    EXPECT_GE(attempts.back() - attempts.front(), Outbox::kGiveUpAfter);
}

TEST_F(MailDispatchTest, AMailRefusedForGoodIsGivenUpAtOnce) {
    server.Set(ScriptedServer::Mode::RejectAtEnd);
    dispatcher->RequestMailNotification(2, 0, 0);
    Settle();
    EXPECT_EQ(server.Attempts().size(), 1u);
    EXPECT_EQ(dispatcher->outbox().Size(), 0u);
    EXPECT_EQ(OutboxFiles(), 0u);
    EXPECT_EQ(dispatcher->MailsGivenUp(), 1u);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_THAT(log[0], AllOf(HasSubstr("to ops@example.com was given up (message: 554 "
                                        "Message rejected)")));
    Wait(7200);
    EXPECT_EQ(server.Attempts().size(), 1u);
}

TEST_F(MailDispatchTest, ARestartResumesTheWaitingMails) {
    server.Set(ScriptedServer::Mode::Down);
    dispatcher->RequestMailNotification(1, 0, 0);
    dispatcher->RequestMailNotification(2, 0, 0);
    Settle();
    EXPECT_EQ(OutboxFiles(), 2u);

    server.Set(ScriptedServer::Mode::Accept);
    Restart();
    EXPECT_THAT(server.Received(), IsEmpty());  // not due yet
    Wait(60);
    const auto received = server.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bodyLines.front(), "Device1 P0 Hard Disk Drive fail.");
    EXPECT_EQ(received[1].bodyLines.front(), "Device1 RAID system fail.");
    EXPECT_EQ(OutboxFiles(), 0u);
}

TEST_F(MailDispatchTest, OutboxFilesArePrivateAndAnUnreadableOneIsMovedAside) {
    server.Set(ScriptedServer::Mode::Down);
    dispatcher->RequestMailNotification(1, 0, 0);
    Settle();
    for (const auto& entry : fs::directory_iterator(folder / "outbox")) {
        if (testing::kPosixFiles) {
            EXPECT_EQ(testing::PermissionBits(entry.path()), 0600u);
        }
    }
    std::ofstream(folder / "outbox" / "1-1.mail") << "{ broken";
    Restart();
    ASSERT_FALSE(errors.empty());
    EXPECT_THAT(errors.back(), HasSubstr("1-1.mail could not be read"));
    EXPECT_TRUE(fs::exists(folder / "outbox" / "1-1.mail.unreadable"));
    EXPECT_EQ(dispatcher->outbox().Size(), 1u);
}

TEST_F(MailDispatchTest, NoMailForSuppressedKindsUnsavedOrEmptySettings) {
    store.Write(setting::EMailSend, SettingValue::Integer(2));
    ASSERT_EQ(store.Commit(), "");
    flags.fetch_or(MailReloadRequested);
    Settle();
    dispatcher->RequestMailNotification(2, 0, 0);
    Settle();
    EXPECT_THAT(server.Attempts(), IsEmpty());
    // An enclosure that keeps a backup schedule (no E-mail page button) is
    // still watched.
    devices.slots[0].features = kFeatureBackup | kFeatureHybrid;
    dispatcher->RequestMailNotification(1, 0, 0);
    Settle();
    EXPECT_EQ(server.Received().size(), 1u);

    // No recipients: the request is dropped, as designed.
    store.Write(setting::ToAddrCount, SettingValue::Integer(0));
    ASSERT_EQ(store.Commit(), "");
    flags.fetch_or(MailReloadRequested);
    Settle();
    dispatcher->RequestMailNotification(1, 0, 0);
    Settle();
    EXPECT_EQ(server.Attempts().size(), 1u);
    EXPECT_EQ(dispatcher->outbox().Size(), 0u);

    // Never saved: mail is off.
    MemorySettingsStore empty;
    MailSettings off;
    std::atomic<std::uint8_t> noFlags{0};
    InitialiseMailSettings(empty, off, "/x/", noFlags);
    EXPECT_FALSE(off.MailSettingsLoaded);
    EXPECT_EQ(noFlags.load(), 0);
}

// A CR in a template is dropped when it is read: the mail goes out, and the
// CR cannot start a command of its own.
TEST_F(MailDispatchTest, ATemplateEditedByHandCannotInjectIntoTheExchange) {
    std::ofstream(SubjectTemplatePath(folder.string() + "/", 1), std::ios::binary)
        << "Drive failed\rRCPT TO:<x@evil>\r\n";
    flags.fetch_or(MailReloadRequested);
    Settle();
    dispatcher->RequestMailNotification(1, 0, 0);
    Settle();
    ASSERT_EQ(server.Received().size(), 1u);
    EXPECT_EQ(server.Received()[0].subject,
              "[RAID GUI v0.50.11-5b Message] Drive failedRCPT TO:<x@evil>");
    EXPECT_THAT(server.Received()[0].recipients, ElementsAre("ops@example.com"));
    EXPECT_EQ(OutboxFiles(), 0u);
}

// A mail file edited by hand is checked again before it is sent.
TEST_F(MailDispatchTest, AnOutboxFileEditedByHandCannotInjectIntoTheExchange) {
    server.Set(ScriptedServer::Mode::Down);
    dispatcher->RequestMailNotification(1, 0, 0);
    Settle();
    dispatcher.reset();
    for (const auto& entry : fs::directory_iterator(folder / "outbox")) {
        if (entry.path().extension() != ".mail") {
            continue;
        }
        std::ifstream in(entry.path());
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string subject = "Drive failed\"";
        text.replace(text.find(subject), subject.size(), "Drive failed\\r\\nRCPT TO:<x@evil>\"");
        std::ofstream(entry.path(), std::ios::trunc) << text;
    }
    server.Set(ScriptedServer::Mode::Accept);
    Restart();
    Wait(60);
    EXPECT_THAT(server.Received(), IsEmpty());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_THAT(log[0], HasSubstr("Drive failed\\r\\nRCPT TO:<x@evil>"));
    EXPECT_THAT(log[0], HasSubstr("given up: the subject contains a line break"));
    EXPECT_EQ(OutboxFiles(), 0u);
}

TEST_F(MailDispatchTest, TheTestMailGoesToTheSenderAndReportsTheOutcome) {
    std::vector<SmtpOutcome> outcomes;
    auto done = [&outcomes](const SmtpOutcome& o) { outcomes.push_back(o); };

    dispatcher->settings().MailEditDirty = kDirtySmtp;
    EXPECT_EQ(dispatcher->StartTestMail(done), TestMailStart::Unsaved);
    dispatcher->settings().MailEditDirty = 0;

    auto release = server.HoldNext();
    EXPECT_EQ(dispatcher->StartTestMail(done), TestMailStart::Started);
    EXPECT_EQ(dispatcher->StartTestMail(done), TestMailStart::Busy);
    release->set_value();
    Settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].accepted);
    ASSERT_EQ(server.Received().size(), 1u);
    EXPECT_THAT(server.Received()[0].recipients, ElementsAre("raid@example.com"));
    EXPECT_EQ(server.Received()[0].subject, "[RAID GUI v0.50.11-5b Message] Mail Test ");
    EXPECT_EQ(status.back(), "3:Send mail Success!");
    EXPECT_THAT(log, IsEmpty());  // the test mail is not logged

    server.Set(ScriptedServer::Mode::RefuseAtEnd);
    status.clear();
    EXPECT_EQ(dispatcher->StartTestMail(done), TestMailStart::Started);
    Settle();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_FALSE(outcomes[1].accepted);
    EXPECT_EQ(outcomes[1].ErrorText(), "message: 451 Try again later");
    EXPECT_THAT(status, Not(Contains("3:Send mail Success!")));
    EXPECT_EQ(dispatcher->outbox().Size(), 0u);  // a test mail is never kept

    // A save makes the settings not ready until the mail pass reloads them.
    MailPageFields fields = PageFields(dispatcher->settings());
    ASSERT_EQ(dispatcher->Save(fields), "");
    EXPECT_EQ(dispatcher->StartTestMail(done), TestMailStart::NotReady);
    Settle();
    EXPECT_EQ(dispatcher->StartTestMail(done), TestMailStart::Started);
}

std::size_t RunLockFiles(const fs::path& folder) {
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        n += name.starts_with(".run-") && name.ends_with(".lock") ? 1 : 0;
    }
    return n;
}

TEST(OutboxFolder, OnlyTheRunThatHoldsTheFolderResumesItsMails) {
    const fs::path folder = fs::path(::testing::TempDir()) / "outbox-held";
    fs::remove_all(folder);
    {
        Outbox earlier(folder.string());
        ASSERT_THAT(earlier.Resume(100), IsEmpty());
        MailMessage m;
        m.subject = "waiting";
        ASSERT_EQ(earlier.Add(m, 100), "");
    }
    {
        Outbox first(folder.string());
        Outbox second(folder.string());
        EXPECT_THAT(first.Resume(100), IsEmpty());
        EXPECT_THAT(second.Resume(100), IsEmpty());
        EXPECT_EQ(first.Size(), 1u);
        EXPECT_EQ(second.Size(), 0u);
        ASSERT_NE(first.NextDue(100), nullptr);
        EXPECT_EQ(first.NextDue(100)->message.subject, "waiting");
        EXPECT_EQ(first.NextDue(99), nullptr);
        EXPECT_EQ(RunLockFiles(folder), 1u);
    }
    // The second run left no mail, so it leaves no lock file either (Windows
    // refuses to delete a file its holder keeps open without sharing).
    EXPECT_EQ(RunLockFiles(folder), 0u);
    fs::remove_all(folder);
}

// Times no run of ours writes: before the epoch (the age of the mail would
// overflow) or far ahead (the mail would never be given up).
TEST(OutboxFolder, AMailWithTimesOutsideASaneWindowIsMovedAside) {
    const fs::path folder = fs::path(::testing::TempDir()) / "outbox-times";
    fs::remove_all(folder);
    fs::create_directories(folder);
    constexpr std::int64_t kNow = 1'796'551'200;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    struct Case {
        const char* id;
        std::int64_t created;
        std::int64_t nextAttempt;
        bool kept;
    };
    const Case cases[] = {
        {"1-good", kNow - 600, kNow + 60, true},
        {"2-clock-set-back", kNow + 3600, kNow + 3600, true},
        {"3-old", 0, 0, true},
        {"4-smallest", kMin, kNow, false},
        {"5-negative", -1, kNow, false},
        {"6-far-ahead", kNow + 2 * Outbox::kGiveUpAfter, kNow, false},
        {"7-largest", kMax, kNow, false},
        {"8-attempt-never", kNow, kMax, false},
        {"9-attempt-smallest", kNow, kMin, false},
    };
    for (const Case& c : cases) {
        const fs::path path = folder / (std::string(c.id) + ".mail");
        std::ofstream(path) << "{\"created\": " << c.created
                            << ", \"nextAttempt\": " << c.nextAttempt
                            << ", \"failures\": 1, \"lastError\": \"\", \"fromName\": \"RAID\", "
                               "\"fromAddress\": \"raid@example.com\", \"recipients\": "
                               "[\"ops@example.com\"], \"subject\": \"s\", \"body\": [\"b\"]}\n";
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    }
    {
        Outbox outbox(folder.string());
        const std::vector<std::string> problems = outbox.Resume(kNow);
        for (const Case& c : cases) {
            EXPECT_EQ(outbox.Find(c.id) != nullptr, c.kept) << c.id;
            EXPECT_EQ(fs::exists(folder / (std::string(c.id) + ".mail")), c.kept) << c.id;
            if (!c.kept) {
                EXPECT_THAT(problems, Contains(HasSubstr(std::string(c.id) + ".mail"))) << c.id;
            }
        }
        // The old mail is given up at its first failure, without overflow.
        EXPECT_TRUE(outbox.Failed("3-old", kNow, "down"));
        EXPECT_FALSE(outbox.Failed("1-good", kNow, "down"));
    }
    fs::remove_all(folder);
}

TEST(OutboxFolder, PausesDoubleFromAMinuteToAnHour) {
    const std::int64_t expected[] = {60, 120, 240, 480, 960, 1920, 3600, 3600};
    for (int failures = 1; failures <= 8; ++failures) {
        EXPECT_EQ(RetryPause(failures), expected[failures - 1]);
    }
    EXPECT_EQ(RetryPause(1'000'000), 3600);
}

}  // namespace
}  // namespace raid
