#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "notify/compose/event_report.h"
#include "notify/compose/mail_address.h"
#include "notify/compose/mail_body.h"
#include "notify/compose/mail_compose.h"
#include "notify/compose/mail_header.h"
#include "sim/ata_text.h"

namespace raid {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

constexpr const char* kTitle = "RAID GUI v0.50.11-5b";

// One mirrored enclosure on disk 2 at device-table index 0; HDD2 has just
// dropped out.
void OneEnclosure(DeviceState& devices) {
    devices.table.entries[0] = kEnclosureMark | 2;
    devices.table.count = 1;
    ControllerBlock& block = devices.blocks[2];
    sim::PutAtaText(std::span(block).subspan(54, 40), "USB RAID Box");
    sim::PutAtaText(std::span(block).subspan(46, 8), "1.02.03 ");
    RaidStatus& r = devices.records[2];
    r.raidMode = kModeMirroring;
    r.arrayCapacity = 976773168;
    r.driveClass = 0x42;  // HDD1 present, HDD2 absent
    r.sataSpeed = 0x23;   // HDD1 6G, HDD2 3G
    sim::PutAtaText(r.hdd1Model, "WDC WD5000");
    sim::PutAtaText(r.hdd1Serial, "WD-123");
    r.hdd1Capacity = 976773168;
    sim::PutAtaText(r.hdd2Model, "ST2000");
    sim::PutAtaText(r.hdd2Serial, "Z1X2");
    r.hdd2Capacity = 2000000;
}

TEST(EventReport, AKindOneReportNamesTheBayAndShowsBothDrivesDetails) {
    DeviceState devices;
    OneEnclosure(devices);
    EXPECT_THAT(
        EventReportLines(devices, 1, 0, 1),
        ElementsAre("Device1 P1 Hard Disk Drive fail.", "Device1 information :",
                    "Model# USB RAID Box", "Mirroring(RAID1), F/W Rev. 1.02.03 ",
                    "Configured Capacity : 465 GB(976773168 Sectors)", "  HDD1 is present.(SATA6G)",
                    "    Model no.: WDC WD5000", "    Serial no.: \"WD-123              \"",
                    "    Capacity : 465 GB(976773168 Sectors)", "  HDD2 is absent. ",
                    "    Model no.: ST2000", "    Serial no.: \"Z1X2                \"",
                    "    Capacity : 976 MB(2000000 Sectors)"));
}

TEST(EventReport, OtherKindsShowDetailsOnlyForPresentOrFailedDrives) {
    DeviceState devices;
    OneEnclosure(devices);
    const auto kind2 = EventReportLines(devices, 2, 0, 0);
    EXPECT_EQ(kind2.front(), "Device1 RAID system fail.");
    EXPECT_EQ(kind2.back(), "  HDD2 is absent. ");
    EXPECT_EQ(EventReportLines(devices, 3, 0, 0).front(), "Device1 over heat.");
    EXPECT_EQ(EventReportLines(devices, 4, 0, 0).front(), "Device1 fan fail.");

    struct Case {
        std::uint8_t driveClass;
        std::uint8_t speed;
        std::string hdd1Line;
        bool details;
    };
    const Case cases[] = {
        {0x21, 0, "HDD1 was inserted.", false},
        {0x28, 0, "  HDD1 was failed, Capacity too small.", true},
        {0x22, 0x01, "  HDD1 is present.(SATA1.5G)", true},
        {0x22, 0x04, "  HDD1 is present.(SATA)", true},
    };
    for (const auto& c : cases) {
        devices.records[2].driveClass = c.driveClass;
        devices.records[2].sataSpeed = c.speed;
        const auto lines = EventReportLines(devices, 2, 0, 0);
        ASSERT_GT(lines.size(), 6u);
        EXPECT_EQ(lines[5], c.hdd1Line);
        EXPECT_EQ(lines[6] == "    Model no.: WDC WD5000", c.details) << c.hdd1Line;
    }
    // A firmware revision with bytes below 0x20 is printed as hexadecimal.
    devices.blocks[2][46] = 0x14;
    devices.blocks[2][47] = 0x04;
    devices.blocks[2][48] = 0x03;
    devices.blocks[2][49] = 0x25;
    devices.blocks[2][50] = 0xAB;
    devices.blocks[2][51] = 0x00;
    EXPECT_EQ(EventReportLines(devices, 2, 0, 0)[3], "Mirroring(RAID1), F/W Rev. 14040325AB00");
}

TEST(EventReport, NoReportForADeviceOutsideTheTable) {
    DeviceState devices;
    OneEnclosure(devices);
    EXPECT_TRUE(EventReportLines(devices, 1, 1, 0).empty());
    EXPECT_TRUE(EventReportLines(devices, 1, 200, 0).empty());
    devices.table.count = 0;
    EXPECT_TRUE(EventReportLines(devices, 2, 0, 0).empty());
}

MailSettings Configured() {
    MailSettings s;
    s.serverList = {"587", "mail.example.com", "RAID box", "raid@example.com", "", "pw", "raid"};
    s.PasswordStatus = 1;
    s.RecipientList = {"ops@example.com", "boss@example.com"};
    s.SubjectTemplates[1] = {"Enclosure gone"};
    s.ContentsTemplates[1] = {"Check the cable.", ".hidden"};
    s.MailSettingsLoaded = true;
    return s;
}

const std::vector<std::string> kSystemInfo = {"\n=========== [System Information] ==============",
                                              "\nSystem Name : host"};

TEST(MailCompose, ANotificationCarriesReportSystemInfoAndTemplateToEveryRecipient) {
    const MailSettings settings = Configured();
    const MailMessage m =
        ComposeNotification(settings, 2, {"Device1 RAID system fail."}, kSystemInfo, kTitle);
    EXPECT_EQ(m.fromName, "RAID box");
    EXPECT_EQ(m.fromAddress, "raid@example.com");
    EXPECT_THAT(m.recipients, ElementsAre("ops@example.com", "boss@example.com"));
    EXPECT_EQ(m.subject, "[RAID GUI v0.50.11-5b Message] Enclosure gone");
    // The system information's leading line feeds become line ends.
    EXPECT_THAT(m.bodyLines, ElementsAre("Device1 RAID system fail.",
                                         "=========== [System Information] ==============",
                                         "System Name : host", "Check the cable.", ".hidden"));

    // An empty table: only system information and the template; an empty
    // subject template leaves the trailing blank.
    const MailMessage bare = ComposeNotification(settings, 1, {}, kSystemInfo, kTitle);
    EXPECT_EQ(bare.subject, "[RAID GUI v0.50.11-5b Message] ");
    EXPECT_EQ(bare.bodyLines.size(), 2u);
}

// Templates may hold 1 MiB each: composing the mail and writing it for the wire must stay quick
// on every send attempt.
TEST(MailCompose, TheLargestTemplatesGoOnTheWireQuickly) {
    MailSettings settings = Configured();
    std::string subject;
    while (subject.size() < (1u << 20)) {
        subject += "Ger\xC3\xA4t ausgefallen ";
    }
    settings.SubjectTemplates[1] = {subject};
    std::vector<std::string> contents;
    for (std::size_t size = 0; size < (1u << 20); size += 2001) {
        contents.push_back(std::string(1000, 'x') + " \xC3\xBC " + std::string(996, '.'));
    }
    settings.ContentsTemplates[1] = contents;
    const auto start = std::chrono::steady_clock::now();
    const MailMessage m =
        ComposeNotification(settings, 2, {"Device1 RAID system fail."}, kSystemInfo, kTitle);
    const WireBody body = PrepareBody(m.bodyLines);
    const std::string header = MailHeaderBlock(m, "Sun, 6 Dec 2026 18:00:00 +0800", true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(body.quotedPrintable);
    EXPECT_GT(body.lines.size(), contents.size());
    EXPECT_GT(header.size(), subject.size());
}
TEST(MailCompose, TheTestMailGoesToTheSenderOnly) {
    MailSettings settings = Configured();
    settings.RecipientList.clear();
    const MailMessage m = ComposeTestMail(settings, kSystemInfo, kTitle);
    EXPECT_THAT(m.recipients, ElementsAre("raid@example.com"));
    EXPECT_EQ(m.subject, "[RAID GUI v0.50.11-5b Message] Mail Test ");
    EXPECT_THAT(m.bodyLines, ElementsAre("[RAID GUI v0.50.11-5b] E-Mail test!",
                                         "=========== [System Information] ==============",
                                         "System Name : host"));
}

TEST(MailCompose, LineBreaksInsideTextsNeverReachTheExchangeAsBareCharacters) {
    EXPECT_THAT(BodyLines({"a\r\n.\r\nMAIL FROM:<x@y>", std::string("b\0c", 3), "d\re\nf", ""}),
                ElementsAre("a", ".", "MAIL FROM:<x@y>", "bc", "d", "e", "f", ""));
    for (const auto& line : BodyLines({"\n\nx\r\r", "\r\n"})) {
        EXPECT_FALSE(HasLineBreakOrNul(line)) << line;
    }
}

TEST(MailCompose, TheServerComesFromTheSettingsWithTheTimeOutApplied) {
    MailSettings settings = Configured();
    const std::pair<std::string, int> timeouts[] = {{"", 30}, {"0", 30}, {"5", 5}, {"99", 99}};
    for (const auto& [text, seconds] : timeouts) {
        settings.serverList[kServerTimeOut] = text;
        const ServerChoice choice = ServerFromSettings(settings);
        ASSERT_EQ(choice.error, "");
        EXPECT_EQ(choice.server.timeoutSeconds, seconds) << text;
    }
    const ServerChoice choice = ServerFromSettings(settings);
    EXPECT_EQ(choice.server.host, "mail.example.com");
    EXPECT_EQ(choice.server.port, 587);
    EXPECT_TRUE(choice.server.login);
    EXPECT_EQ(choice.server.user, "raid");
    EXPECT_EQ(choice.server.password, "pw");
    EXPECT_EQ(choice.server.security, MailSecurity::Auto);

    const std::pair<std::string, MailSecurity> security[] = {{"none", MailSecurity::None},
                                                             {"starttls", MailSecurity::StartTls},
                                                             {"tls", MailSecurity::Tls}};
    for (const auto& [text, value] : security) {
        settings.security = text;
        EXPECT_EQ(ServerFromSettings(settings).server.security, value);
    }
    for (const char* port : {"smtp", "", "0", "70000", "25x"}) {
        settings.serverList[kServerPort] = port;
        EXPECT_THAT(ServerFromSettings(settings).error, HasSubstr("port")) << port;
    }
}

TEST(MailCompose, AMessageThatCouldInjectIsRefusedAtSend) {
    const MailMessage good = ComposeTestMail(Configured(), kSystemInfo, kTitle);
    EXPECT_EQ(MessageProblem(good), "");
    struct Case {
        const char* what;
        void (*edit)(MailMessage&);
    };
    const Case cases[] = {
        {"sender address", [](MailMessage& m) { m.fromAddress = "a@b>\r\nRCPT TO:<c@d"; }},
        {"recipient", [](MailMessage& m) { m.recipients = {"c d@e"}; }},
        {"no recipient", [](MailMessage& m) { m.recipients.clear(); }},
        {"sender name", [](MailMessage& m) { m.fromName = "x\ny"; }},
        {"subject", [](MailMessage& m) { m.subject = "x\r"; }},
        {"line of the mail", [](MailMessage& m) { m.bodyLines.push_back("a\n.\nQUIT"); }},
    };
    for (const auto& c : cases) {
        MailMessage m = good;
        c.edit(m);
        EXPECT_THAT(MessageProblem(m), HasSubstr(c.what));
    }
}

}  // namespace
}  // namespace raid
