// Notification mail end to end: the dispatcher, its outbox and the real SMTP
// client against a real SMTP server (aiosmtpd in tests/smtp/smtp_peer.py).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "notify/compose/mail_date.h"
#include "notify/compose/mail_templates.h"
#include "notify/delivery/mail_dispatcher.h"
#include "notify/settings/memory_settings_store.h"
#include "support/smtp_peer.h"

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

std::size_t LongestLine(const std::string& wire) {
    std::size_t longest = 0;
    std::istringstream in(wire);
    for (std::string line; std::getline(in, line);) {
        longest = std::max(longest, line.size() - (line.empty() || line.back() != '\r' ? 0 : 1));
    }
    return longest;
}

// One run of the program: its settings, its dispatcher with the real client
// and an outbox in a folder runs may share.
struct ProgramRun {
    ProgramRun(VirtualClock& clock, const fs::path& folder, int port,
               std::vector<std::string> recipients = {"ops@example.com"})
        : clock(clock), folder(folder) {
        MailSettings fresh;
        fresh.TemplateDirectory = TemplateDirectory();
        MailPageFields f = PageFields(fresh);
        f.smtp = "127.0.0.1";
        f.port = std::to_string(port);
        f.security = "none";
        f.timeOut = "10";
        f.addr = "raid@example.com";
        f.recipients = std::move(recipients);
        f.subjects = {"Drive failed", "Enclosure gone"};
        std::atomic<std::uint8_t> ignored{0};
        saveError = SaveMailSettings(store, fresh, f, ignored);
        devices.table.entries[0] = kEnclosureMark | 0;
        devices.table.count = 1;
        dispatcher = std::make_unique<MailDispatcher>(
            MailDispatchServices{
                .store = store,
                .clock = clock,
                .devices = devices,
                .systemInfo = systemInfo,
                .mailFlags = flags,
                .sender = RealMailSender(),
                .outboxFolder = (folder / "outbox").string(),
                .defaultTemplateDirectory = TemplateDirectory(),
                .appTitle = "RAID GUI v0.50.11-5b",
            },
            MailDispatchHooks{
                .statusText = {},
                .logLines =
                    [this](const std::vector<std::string>& lines) {
                        log.insert(log.end(), lines.begin(), lines.end());
                    },
                .error = [this](const std::string& text) { errors.push_back(text); },
                .wake = {},
            });
        dispatcher->Initialise();
        Settle();
    }
    std::string TemplateDirectory() const { return folder.string() + "/"; }

    // The settings as a hand-edited key or template would leave them.
    void Reload() {
        flags.fetch_or(MailReloadRequested);
        Settle();
    }
    // Mail passes until nothing is left to do at the current virtual time;
    // the SMTP exchanges themselves take real time.
    void Settle() {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < giveUp) {
            if (flags.load() == 0 && !dispatcher->WorkDue() && dispatcher->Idle()) {
                return;
            }
            dispatcher->ServiceMailFlags();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the mail dispatch did not settle";
    }
    void Wait(std::int64_t seconds) {
        clock.Advance(static_cast<std::uint64_t>(seconds) * 1000);
        Settle();
    }
    VirtualClock& clock;
    fs::path folder;
    std::string saveError;
    MemorySettingsStore store;
    DeviceState devices;
    std::vector<std::string> systemInfo = {"\nSystem Name : host"};
    std::atomic<std::uint8_t> flags{0};
    std::vector<std::string> log, errors;
    std::unique_ptr<MailDispatcher> dispatcher;
};

class MailDeliveryTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { python_ = testing::AiosmtpdPython(); }

    void SetUp() override {
        if (!python_) {
            if (testing::InCi()) {
                FAIL() << "python3-aiosmtpd is not installed; CI must run the mail tests";
            }
            GTEST_SKIP() << "python3-aiosmtpd is not installed";
        }
    }

    std::unique_ptr<testing::SmtpPeer> StartPeer(const std::string& mode,
                                                 std::vector<std::string> extra = {}) {
        auto peer =
            std::make_unique<testing::SmtpPeer>(*python_, mode, fs::path(), fs::path(), extra);
        EXPECT_NE(peer->port(), 0) << "the SMTP peer did not start in mode " << mode;
        return peer;
    }

    testing::ScratchDir scratch_{"raid-mail-delivery"};
    VirtualClock clock_;
    static inline std::optional<std::string> python_;
};

// The server refuses nobody@ for good (550) and later@ for now (451); the
// other two recipients get the mail on the first attempt either way.
TEST_F(MailDeliveryTest, OneRefusedRecipientDoesNotSilenceTheOthers) {
    struct Case {
        const char* refused;
        bool retried;
    } cases[] = {{"nobody@example.com", false}, {"later@example.com", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused);
        const auto peer = StartPeer("refuse-rcpt");
        const fs::path folder = scratch_.path() / c.refused;
        fs::create_directories(folder);
        ProgramRun run(clock_, folder, peer->port(),
                       {"ops@example.com", c.refused, "admin@example.com"});
        ASSERT_EQ(run.saveError, "");
        run.dispatcher->RequestMailNotification(1, 0, 1);
        run.Settle();

        EXPECT_EQ(Count(peer->Stored(), "Device1 P1 Hard Disk Drive fail."), 1u);
        EXPECT_THAT(run.log, Contains(HasSubstr("was sent to ops@example.com, admin@example.com")));
        if (c.retried) {
            ASSERT_EQ(run.dispatcher->outbox().Size(), 1u);
            const Outbox::Mail* waiting = run.dispatcher->outbox().NextDue(INT64_MAX);
            ASSERT_NE(waiting, nullptr);
            EXPECT_THAT(waiting->message.recipients, ElementsAre("later@example.com"));
            // The next attempt asks only for the one that was refused.
            run.Wait(60);
            const std::string received = peer->Received();
            EXPECT_EQ(Count(received, "RCPT to:<later@example.com>"), 2u);
            EXPECT_EQ(Count(received, "RCPT to:<ops@example.com>"), 1u);
            EXPECT_EQ(run.dispatcher->outbox().Size(), 1u);
            EXPECT_EQ(run.dispatcher->MailsGivenUp(), 0u);
        } else {
            EXPECT_THAT(run.log, Contains(HasSubstr("to nobody@example.com was given up (rcpt to "
                                                    "nobody@example.com: 550 No such user)")));
            EXPECT_EQ(run.dispatcher->outbox().Size(), 0u);
            run.Wait(3600);
            EXPECT_EQ(Count(peer->Received(), "RCPT to:<nobody@example.com>"), 1u);
        }
    }
}

TEST_F(MailDeliveryTest, ARefusalForGoodAtMailFromGivesTheMailUpAtOnce) {
    const auto peer = StartPeer("refuse-mail");
    ProgramRun run(clock_, scratch_.path(), peer->port());
    run.dispatcher->RequestMailNotification(2, 0, 0);
    run.Settle();
    EXPECT_EQ(run.dispatcher->outbox().Size(), 0u);
    EXPECT_EQ(run.dispatcher->MailsGivenUp(), 1u);
    ASSERT_EQ(run.log.size(), 1u);
    EXPECT_THAT(run.log[0], HasSubstr("to ops@example.com was given up (mail from: 553 5.7.1 "
                                      "Sender address rejected)"));
    run.Wait(3600);
    EXPECT_EQ(Count(peer->Received(), "Mail from:"), 1u);
}

// aiosmtpd refuses a line over 1,000 bytes ("500 Line too long"), as
// strict servers do.
TEST_F(MailDeliveryTest, OverLongSubjectBodyAndNameStillArriveWhole) {
    const auto peer = StartPeer("plain");
    ProgramRun run(clock_, scratch_.path(), peer->port());
    const std::string longWord(1200, 'w');
    const std::string subject = "Drive failed " + longWord;
    std::string contents;
    for (int i = 0; i < 150; ++i) {
        contents += "word" + std::to_string(i) + " ";
    }
    contents += longWord;
    ASSERT_EQ(SaveTemplate(SubjectTemplatePath(run.TemplateDirectory(), 1), {subject}), "");
    ASSERT_EQ(SaveTemplate(ContentsTemplatePath(run.TemplateDirectory(), 1), {contents}), "");
    const std::string name = "RAID box " + std::string(1200, 'n');
    run.store.Write(setting::UserName, SettingValue::String(name));
    ASSERT_EQ(run.store.Commit(), "");
    run.Reload();

    run.dispatcher->RequestMailNotification(1, 0, 0);
    run.Settle();
    ASSERT_THAT(run.log, Contains(HasSubstr("was sent to ops@example.com"))) << run.errors.size();
    const std::string wire = peer->Received();
    EXPECT_LE(LongestLine(wire), 998u);
    const std::string shown = peer->Decoded();
    const std::size_t nameEnd = shown.find(" <raid@example.com>\n");
    ASSERT_NE(nameEnd, std::string::npos) << shown;
    // The reader of the peer (Python's email package) keeps the blanks
    // between the encoded words of a display name, which RFC 2047 says to
    // drop; the name's own characters all arrive.
    std::string shownName = shown.substr(0, nameEnd);
    std::erase(shownName, ' ');
    std::string expectedName = name;
    std::erase(expectedName, ' ');
    EXPECT_EQ(shownName, expectedName);
    EXPECT_THAT(
        shown.substr(nameEnd),
        StartsWith(" <raid@example.com>\n[RAID GUI v0.50.11-5b Message] " + subject + "\n"));
    EXPECT_THAT(shown, HasSubstr(contents));
}

// An editor's stray CR, a NUL, and a recipient stored with a line break:
// the mail still goes, to the recipients that can get it, and nothing of it
// reaches the exchange as a command.
TEST_F(MailDeliveryTest, StrayCrAndNulInStoredTextsCostNoMail) {
    const auto peer = StartPeer("plain");
    ProgramRun run(clock_, scratch_.path(), peer->port());
    {
        std::ofstream(SubjectTemplatePath(run.TemplateDirectory(), 1), std::ios::binary)
            << "Drive failed\r\r\n";
        const char contents[] = "Check the \0enclosure.\r\r\nThank you\r\n";
        std::ofstream(ContentsTemplatePath(run.TemplateDirectory(), 1), std::ios::binary)
            << std::string(contents, sizeof contents - 1);
    }
    run.store.Write(setting::UserName, SettingValue::String(std::string("RAID\0 box\r", 10)));
    run.store.Write(setting::ToAddrCount, SettingValue::Integer(2));
    run.store.Write(RecipientValueName(1),
                    SettingValue::String("evil@example.com\r\nRCPT TO:<x@example.com>"));
    ASSERT_EQ(run.store.Commit(), "");
    run.Reload();

    run.dispatcher->RequestMailNotification(1, 0, 0);
    run.Settle();
    EXPECT_THAT(run.log, Contains(HasSubstr("to \"evil@example.com\\r\\nRCPT TO:<x@example.com>\" "
                                            "was given up: the address is not of the form")));
    EXPECT_THAT(run.log, Contains(HasSubstr("was sent to ops@example.com")));
    const std::string wire = peer->Received();
    EXPECT_EQ(Count(wire, "RCPT to:"), 1u);
    EXPECT_EQ(wire.find("x@example.com"), std::string::npos);
    EXPECT_THAT(peer->Decoded(),
                StartsWith("RAID box <raid@example.com>\n[RAID GUI v0.50.11-5b Message] Drive "
                           "failed\n"));
    EXPECT_THAT(peer->Decoded(), HasSubstr("Check the enclosure.\r\nThank you\r\n"));
    EXPECT_EQ(run.dispatcher->outbox().Size(), 0u);
}

// Templates saved in the ANSI code page (not UTF-8) are read as
// Windows-1252: the page shows them as they were meant and the mail carries
// them as labelled UTF-8.
TEST_F(MailDeliveryTest, AnsiTemplatesAreReadAsWindows1252AndSentLabelled) {
    const auto peer = StartPeer("plain");
    ProgramRun run(clock_, scratch_.path(), peer->port());
    {
        std::ofstream(SubjectTemplatePath(run.TemplateDirectory(), 1), std::ios::binary)
            << "Ger\xe4t ausgefallen \x80 5\r\n";
        std::ofstream(ContentsTemplatePath(run.TemplateDirectory(), 1), std::ios::binary)
            << "Temperatur 61\xb0"
               "C\r\n";
    }
    run.Reload();
    const MailPageFields page = PageFields(run.dispatcher->settings());
    EXPECT_EQ(page.subjects[0], "Gerät ausgefallen € 5");
    EXPECT_THAT(page.contents[0], ElementsAre("Temperatur 61°C"));

    run.dispatcher->RequestMailNotification(1, 0, 0);
    run.Settle();
    EXPECT_THAT(peer->Stored(), HasSubstr("Content-Type: text/plain; charset=UTF-8"));
    EXPECT_THAT(peer->Decoded(),
                HasSubstr("\n[RAID GUI v0.50.11-5b Message] Gerät ausgefallen € 5\n"));
    EXPECT_THAT(peer->Decoded(), HasSubstr("Temperatur 61°C\r\n"));
}

// The server has the whole message and holds its reply to ".": a stop waits
// a few seconds, not the whole time-out, and keeps what the server said.
TEST_F(MailDeliveryTest, AStopWhileTheServerHoldsItsReplyIsBriefAndKeepsTheOutcome) {
    struct Case {
        const char* hold;
        bool accepted;
    } cases[] = {{"1", true}, {"20", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hold);
        const auto peer = StartPeer("hold-data", {"--hold", c.hold});
        const fs::path folder = scratch_.path() / c.hold;
        fs::create_directories(folder);
        ProgramRun run(clock_, folder, peer->port());
        run.store.Write(setting::TimeOut, SettingValue::String("45"));
        ASSERT_EQ(run.store.Commit(), "");
        run.Reload();
        run.dispatcher->RequestMailNotification(1, 0, 0);
        run.dispatcher->ServiceMailFlags();
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (peer->ReceivedSoFar().find("\r\n.\r\n") == std::string::npos &&
               std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const auto start = std::chrono::steady_clock::now();
        run.dispatcher->Stop();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, kMailStopGrace + std::chrono::seconds(1));
        if (c.accepted) {
            EXPECT_EQ(run.dispatcher->outbox().Size(), 0u);
            EXPECT_THAT(run.log, Contains(HasSubstr("was sent to ops@example.com")));
        } else {
            // Not answered in time: it stays, to be sent after the restart.
            EXPECT_EQ(run.dispatcher->outbox().Size(), 1u);
            EXPECT_THAT(run.log, IsEmpty());
        }
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(folder / "outbox")) {
            files += entry.path().extension() == ".mail" ? 1 : 0;
        }
        EXPECT_EQ(files, c.accepted ? 0u : 1u);
    }
}

// Two runs share the log folder: the second does not hold the outbox. The
// mail it could not send waits until it ends; then the holder sends it,
// once, dated when it was composed.
TEST_F(MailDeliveryTest, AMailLeftByASecondRunIsSentByTheHolderOnce) {
    const auto peer = StartPeer("plain");
    const auto down = StartPeer("silent");  // accepts, never greets
    ProgramRun holder(clock_, scratch_.path(), peer->port());
    ASSERT_TRUE(holder.dispatcher->outbox().HoldsFolder());
    const std::int64_t composed = clock_.WallSeconds();
    {
        ProgramRun second(clock_, scratch_.path(), down->port());
        second.store.Write(setting::TimeOut, SettingValue::String("1"));
        ASSERT_EQ(second.store.Commit(), "");
        second.Reload();
        ASSERT_FALSE(second.dispatcher->outbox().HoldsFolder());
        second.dispatcher->RequestMailNotification(2, 0, 0);
        second.Settle();
        EXPECT_EQ(second.dispatcher->outbox().Size(), 1u);
        // While the second run lives, its mail is its own.
        holder.Wait(kOutboxRescanSeconds);
        EXPECT_EQ(holder.dispatcher->outbox().Size(), 0u);
    }
    clock_.Advance(3600 * 1000);
    holder.Wait(kOutboxRescanSeconds);
    EXPECT_EQ(holder.dispatcher->outbox().Size(), 0u);
    const std::string stored = peer->Stored();
    EXPECT_EQ(Count(stored, "Device1 RAID system fail."), 1u);
    EXPECT_THAT(stored, HasSubstr("Date: " + FormatMailDate(LocalMailDateParts(composed))));
    EXPECT_THAT(stored, HasSubstr("Message-ID: <"));
    EXPECT_THAT(stored, HasSubstr("Event Time : "));
    EXPECT_THAT(holder.log, Contains(HasSubstr("was sent to ops@example.com")));
    holder.Wait(3600);
    EXPECT_EQ(Count(peer->Stored(), "Device1 RAID system fail."), 1u);
}

}  // namespace
}  // namespace raid
