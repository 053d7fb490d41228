#include "monitor/event_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>

#include "app/run_wiring.h"
#include "monitor/device_change_log.h"
#include "monitor/event_log_lines.h"
#include "monitor/log_file.h"
#include "monitor/time_text.h"
#include "sim/ata_text.h"
#include "tests/support/environment.h"

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Time texts follow TZ and LC_TIME; this pins both so that the expected
// strings are fixed ("C" locale, UTC), and puts them back afterwards.
class LocalTimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) {
            savedTz_ = tz;
        }
        savedLocale_ = std::setlocale(LC_TIME, nullptr);
        ASSERT_EQ(testing::SetEnvironment("TZ", "UTC"), 0);
        ::tzset();
        ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr);
    }
    void TearDown() override {
        if (savedTz_) {
            testing::SetEnvironment("TZ", savedTz_->c_str());
        } else {
            testing::UnsetEnvironment("TZ");
        }
        ::tzset();
        std::setlocale(LC_TIME, savedLocale_.c_str());
    }

  private:
    std::optional<std::string> savedTz_;
    std::string savedLocale_;
};

constexpr std::int64_t kDec6At10 = 1796551200;  // 2026-12-06 10:00:00 UTC

using TimeTextTest = LocalTimeTest;

TEST_F(TimeTextTest, DateAndTimeInTheLocaleFormatWithoutTheTimeAtMidnight) {
    struct Case {
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {kDec6At10, "12/06/26 10:00:00"},
        {kDec6At10 - 10 * 3600, "12/06/26"},               // exactly midnight
        {kDec6At10 - 10 * 3600 + 1, "12/06/26 00:00:01"},  // one second after
        {kDec6At10 + 14 * 3600 - 1, "12/06/26 23:59:59"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
    }
}

TEST_F(TimeTextTest, LocalDateFollowsTheTimeZone) {
    ASSERT_EQ(testing::SetEnvironment("TZ", "UTC-2"), 0);  // two hours east of Greenwich
    ::tzset();
    EXPECT_EQ(TimeText(kDec6At10), "12/06/26 12:00:00");
    EXPECT_EQ(DayStem(kDec6At10 + 12 * 3600), "261207");
}

TEST_F(TimeTextTest, DayStemIsTwoDigitYearMonthDay) {
    EXPECT_EQ(DayStem(kDec6At10), "261206");
    EXPECT_EQ(DayStem(kDec6At10 + 27 * 86400), "270102");
}

TEST_F(TimeTextTest, SecondsThatHaveNoLocalDateGiveNoText) {
    const std::int64_t absurd = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(DayStem(absurd), std::nullopt);
    EXPECT_EQ(TimeText(absurd), "");
}

const std::string kSep(83, '-');
const std::string kStartLine = "RAID GUI v0.50.11-5b has started from 12/06/26 10:00:00";
constexpr std::uint64_t k500GB = 976773168;

// A mirrored enclosure with two present 500 GB drives.
void FillEnclosure(RaidStatus& r, ControllerBlock& block) {
    r.raidMode = kModeMirroring;
    r.arrayCapacity = k500GB;
    r.hdd1State = 0;
    r.hdd2State = 0;
    r.driveClass = 0x22;
    sim::PutAtaText(r.hdd1Model, "WDC WD5000AAKS");
    sim::PutAtaText(r.hdd2Model, "ST3500418AS");
    sim::PutAtaText(r.hdd1Serial, "WD-A1");
    sim::PutAtaText(r.hdd2Serial, "5VM2");
    r.hdd1Capacity = k500GB;
    r.hdd2Capacity = 2000000;
    sim::PutAtaText(std::span(block).subspan(54, 40), "USB RAID Box");
    const std::uint8_t firmware[] = {0x14, 0x04, 0x03, 0x25, 0, 0, 0, 0};
    std::copy(std::begin(firmware), std::end(firmware), block.begin() + 46);
}

const std::vector<std::string> kDevice1Block = {
    "Device1 information :",
    "Model# USB RAID Box",
    "Mirroring(RAID1), F/W Rev. 140403.5",
    "Configured Capacity : 465 GB(976773168 Sectors)",
    "RAID Status : 0x00",
    "  HDD1 is present.[00] ",
    "    Model no.: WDC WD5000AAKS",
    "    Serial no.: \"WD-A1               \"",
    "    Capacity : 465 GB(976773168 Sectors)",
    "  HDD2 is present. [00] ",
    "    Model no.: ST3500418AS",
    "    Serial no.: \"5VM2                \"",
    "    Capacity : 976 MB(2000000 Sectors)",
};

class EventLogTest : public LocalTimeTest {
  protected:
    EventLogTest()
        : mail(clock),
          services{devices,
                   flags,
                   clock,
                   mail,
                   [this] { ++smartRequests; },
                   [this](const std::string& text) { errors.push_back(text); },
                   [this](const std::string& line) { added.push_back(line); },
                   "RAID GUI v0.50.11-5b"} {}

    void SetUp() override {
        LocalTimeTest::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::path(::testing::TempDir()) / (std::string("event-log-") + info->name());
        fs::remove_all(folder);
        ASSERT_TRUE(fs::create_directories(folder));
        log.logFolder = folder.string();
    }
    void TearDown() override {
        fs::remove_all(folder);
        LocalTimeTest::TearDown();
    }

    // Enclosure `slot` of the device table, on physical disk `disk`.
    RaidStatus& Enclosure(std::size_t slot, std::uint8_t disk) {
        devices.table.entries[slot] = kEnclosureMark | disk;
        devices.table.count = std::max<std::uint8_t>(devices.table.count, slot + 1);
        FillEnclosure(devices.records[disk], devices.blocks[disk]);
        devices.blocks[disk][0] = disk;  // each enclosure's block is its own
        return devices.records[disk];
    }

    // One DetectEvents; returns the lines it added. Polls are 5 s apart.
    std::vector<std::string> Pass(std::uint8_t changedMask) {
        added.clear();
        DetectEvents(log, services, changedMask);
        clock.Advance(5000);
        return added;
    }
    // The start-up pass with enclosure 1, after which the redraw clears StartupPass.
    void Start() {
        Pass(0x01);
        flags.StartupPass = 0;
    }

    std::string Today() const { return (folder / "261206.log").string(); }
    std::string Tomorrow() const { return (folder / "261207.log").string(); }
    static std::vector<std::string> FileLines(const std::string& path) {
        return LoadLogFile(path).lines;
    }
    static std::string FileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream data;
        data << in.rdbuf();
        return data.str();
    }
    // A folder the log cannot be written to, whoever runs the test.
    void BlockFolder() {
        fs::remove_all(folder);
        std::ofstream(folder) << "a file where the folder should be";
    }
    void UnblockFolder() {
        fs::remove(folder);
        fs::create_directories(folder);
    }

    VirtualClock clock;
    RecordingMailSink mail;
    DeviceState devices;
    ProcessFlags flags;
    EventLogState log;
    int smartRequests = 0;
    std::vector<std::string> errors;
    std::vector<std::string> added;
    EventLogServices services;
    fs::path folder;
};

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST_F(EventLogTest, StartWithTodaysFileAppendsTheStartUpEntryAndSavesWithCrLf) {
    std::ofstream(Today(), std::ios::binary) << "yesterday's start\r\nan event\r\n";
    Enclosure(0, 3);
    Pass(0x01);

    const auto expected =
        Concat({{"yesterday's start", "an event", kSep, kStartLine}, kDevice1Block, {kSep}});
    EXPECT_EQ(log.EventLog, expected);
    EXPECT_EQ(FileBytes(Today()), JoinLogLines(expected));
    EXPECT_EQ(added, std::vector<std::string>(expected.begin() + 2, expected.end()))
        << "only new lines reach the hook";
    EXPECT_THAT(errors, IsEmpty());
}

TEST_F(EventLogTest, LinesLoggedBetweenPassesFollowTodaysLinesAndAreSavedAtOnce) {
    std::ofstream(Today(), std::ios::binary) << "an event\r\n";
    AppendLogLines(log, services, {"Mail one"});
    EXPECT_EQ(FileLines(Today()), (std::vector<std::string>{"an event", "Mail one"}));
    EXPECT_EQ(added, std::vector<std::string>{"Mail one"});
}

TEST_F(EventLogTest, ALoggedLineWhoseSaveFailedReachesTheFileWithTheNext) {
    BlockFolder();
    AppendLogLines(log, services, {"Mail two"});
    EXPECT_THAT(errors, Contains(HasSubstr("kept in memory")));
    UnblockFolder();
    AppendLogLines(log, services, {"Mail three"});
    EXPECT_EQ(FileLines(Today()), (std::vector<std::string>{"Mail two", "Mail three"}));
}

TEST_F(EventLogTest, StartWithoutAFileBeginsWithOneSeparator) {
    Enclosure(0, 0);
    Enclosure(1, 1);
    Pass(0x03);
    auto block2 = kDevice1Block;
    block2[0] = "Device2 information :";
    EXPECT_EQ(FileLines(Today()), Concat({{kSep, kStartLine}, kDevice1Block, block2, {kSep}}));
}

TEST_F(EventLogTest, StartUpBlocksOnlyForEnclosuresPolledInThePass) {
    Enclosure(0, 0);
    Enclosure(1, 1);
    Pass(0x02);
    EXPECT_EQ(std::count(log.EventLog.begin(), log.EventLog.end(), "Device1 information :"), 0);
    EXPECT_EQ(std::count(log.EventLog.begin(), log.EventLog.end(), "Device2 information :"), 1);
}

TEST_F(EventLogTest, DriveRemovedThenBackLogsBothAndAsksForMailAndSmart) {
    RaidStatus& r = Enclosure(0, 0);
    Start();

    r.hdd1State = 0xFF;
    r.driveClass = 0x24;
    EXPECT_THAT(Pass(0x01), ElementsAre("D1 HDD1 was removed, [FF] 12/06/26 10:00:05"));
    ASSERT_EQ(mail.Requests().size(), 1u);
    EXPECT_EQ(mail.Requests()[0], (MailRequest{kMailDriveRemoved, 0, 0, kDec6At10 + 5}));
    EXPECT_EQ(smartRequests, 0);

    r.hdd1State = 0;
    r.driveClass = 0x22;
    EXPECT_THAT(Pass(0x01),
                ElementsAre("D1 HDD1 was initialized. [00] 12/06/26 10:00:10",
                            "  Model no.: WDC WD5000AAKS", "  Serial no.: \"WD-A1               \"",
                            "  Capacity : 465 GB(976773168 Sectors)"));
    EXPECT_EQ(smartRequests, 1);
    EXPECT_EQ(mail.Requests().size(), 1u);
    EXPECT_EQ(FileLines(Today()), log.EventLog);
}

TEST_F(EventLogTest, SecondDriveRemovalNamesPortOneOfItsEnclosure) {
    Enclosure(0, 0);
    RaidStatus& second = Enclosure(1, 4);
    Pass(0x03);
    flags.StartupPass = 0;
    second.hdd2State = 0xFF;
    second.driveClass = 0x42;
    EXPECT_THAT(Pass(0x03), ElementsAre("D2 HDD2 was removed, [FF] 12/06/26 10:00:05"));
    ASSERT_EQ(mail.Requests().size(), 1u);
    EXPECT_EQ(mail.Requests()[0].device, 1);
    EXPECT_EQ(mail.Requests()[0].port, 1);
}

TEST_F(EventLogTest, StateChangeWithinTheSameClassLogsNothing) {
    RaidStatus& r = Enclosure(0, 0);
    r.hdd1State = 9;
    r.driveClass = 0x28;
    Start();
    const auto before = FileBytes(Today());
    r.hdd1State = 0x12;
    EXPECT_THAT(Pass(0x01), IsEmpty());
    EXPECT_EQ(FileBytes(Today()), before);
}

TEST_F(EventLogTest, AFailedPollLogsNothingAndTheChangeIsLoggedWhenAPollSucceeds) {
    RaidStatus& r = Enclosure(0, 0);
    Start();
    r.hdd2State = 0xFF;
    r.driveClass = 0x42;
    EXPECT_THAT(Pass(0x00), IsEmpty());
    EXPECT_THAT(mail.Requests(), IsEmpty());
    EXPECT_THAT(Pass(0x01), ElementsAre("D1 HDD2 was removed, [FF] 12/06/26 10:00:10"));
}

TEST_F(EventLogTest, RebuildProgressAndEndThroughThePasses) {
    RaidStatus& r = Enclosure(0, 0);
    Start();
    r.taskMask = 0x01;
    r.hdd1State = 1;
    std::vector<std::string> lines;
    for (const std::uint8_t percent : {10, 10, 55, 99}) {
        r.progressPercent = percent;
        const auto pass = Pass(0x01);
        lines.insert(lines.end(), pass.begin(), pass.end());
    }
    r.taskMask = 0;
    r.hdd1State = 0;
    const auto end = Pass(0x01);
    lines.insert(lines.end(), end.begin(), end.end());
    EXPECT_THAT(lines, ElementsAre("D1 HDD2 --> HDD1 10%, 12/06/26 10:00:05",
                                   "D1 HDD2 --> HDD1 55%, 12/06/26 10:00:15",
                                   "D1 HDD2 --> HDD1 99%, 12/06/26 10:00:20",
                                   "D1 HDD2 --> HDD1 Done, 12/06/26 10:00:25"));
    EXPECT_EQ(FileLines(Today()), log.EventLog);
}

TEST_F(EventLogTest, DeviceSetChangeIsLoggedWithTheTimeRightAfterEachLine) {
    Enclosure(0, 0);
    Enclosure(1, 1);
    Pass(0x03);
    flags.StartupPass = 0;

    // The first enclosure is unplugged; the second moves up to slot 0.
    devices.previousBlocks = devices.blocks;
    devices.newTable.count = 1;
    devices.newTable.entries[0] = kEnclosureMark | 1;
    RecordDeviceSetChange(log, devices, mail);
    EXPECT_THAT(mail.Requests(), ElementsAre(MailRequest{kMailDeviceRemoved, 0, 0, kDec6At10 + 5}));
    devices.table = devices.newTable;
    // Its drive changed meanwhile: the new class becomes the base, not an event.
    devices.records[1].hdd2State = 0xFF;
    devices.records[1].driveClass = 0x42;

    const auto lines = Pass(0x01);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_THAT(std::vector(lines.begin(), lines.begin() + 4),
                ElementsAre(kSep, "D1 Device was removed.12/06/26 10:00:05",
                            "    Device had changed.12/06/26 10:00:05", "Device1 information :"));
    EXPECT_EQ(lines.back(), kSep);
    EXPECT_THAT(log.DeviceChangeLines, IsEmpty());
    EXPECT_FALSE(log.DeviceChangePending);
    EXPECT_THAT(Pass(0x01), IsEmpty());
    EXPECT_EQ(mail.Requests().size(), 1u) << "no drive-removal mail for the base class";
}

TEST_F(EventLogTest, SettingsLinesAloneAreSaved) {
    Enclosure(0, 0);
    Start();
    log.SettingsChangeLines.push_back("D1 Buzzer Mute(setted): ON, 12/06/26 10:00:04");
    EXPECT_THAT(Pass(0x00), ElementsAre("D1 Buzzer Mute(setted): ON, 12/06/26 10:00:04"));
    EXPECT_THAT(log.SettingsChangeLines, IsEmpty());
    EXPECT_EQ(FileLines(Today()).back(), "D1 Buzzer Mute(setted): ON, 12/06/26 10:00:04");
}

TEST_F(EventLogTest, SettingsLinesWaitWhileNoEnclosureIsKnown) {
    log.SettingsChangeLines.push_back("D1 Buzzer Mute(setted): OFF, 12/06/26 10:00:00");
    Pass(0x00);
    flags.StartupPass = 0;
    Pass(0x00);
    EXPECT_THAT(log.SettingsChangeLines,
                ElementsAre("D1 Buzzer Mute(setted): OFF, 12/06/26 10:00:00"));
    EXPECT_THAT(log.EventLog, ElementsAre(kSep, kStartLine, kSep));
}

TEST_F(EventLogTest, SettingsLinesComeAfterTheFirstEnclosuresEvents) {
    Enclosure(0, 0);
    RaidStatus& second = Enclosure(1, 1);
    Pass(0x03);
    flags.StartupPass = 0;
    devices.records[0].hdd1State = 0xFF;
    devices.records[0].driveClass = 0x24;
    second.hdd1State = 0xFF;
    second.driveClass = 0x24;
    log.SettingsChangeLines.push_back("settings");
    EXPECT_THAT(Pass(0x03), ElementsAre("D1 HDD1 was removed, [FF] 12/06/26 10:00:05", "settings",
                                        "D2 HDD1 was removed, [FF] 12/06/26 10:00:05"));
}

TEST_F(EventLogTest, NewDayStartsAFileWithBlocksAndComparesClassesFromTheNextPass) {
    RaidStatus& r = Enclosure(0, 0);
    Start();
    const auto yesterday = FileLines(Today());
    clock.Advance(14ull * 3600 * 1000);  // past midnight
    log.SettingsChangeLines.push_back("late setting");
    r.hdd1State = 0xFF;
    r.driveClass = 0x24;

    auto block = kDevice1Block;
    block[5] = "  HDD1 is absent. [FF] ";
    block[6] = "    Model no.:WDC WD5000AAKS";
    EXPECT_EQ(Pass(0x01), Concat({{kSep}, block, {kSep, "late setting"}}));
    EXPECT_EQ(FileLines(Tomorrow()), log.EventLog);
    EXPECT_EQ(FileLines(Today()), yesterday);
    EXPECT_THAT(mail.Requests(), IsEmpty());

    EXPECT_THAT(Pass(0x01), ElementsAre(HasSubstr("D1 HDD1 was removed, [FF] 12/07/26 00:00:")));
}

TEST_F(EventLogTest, SettingsLineBeforeMidnightStaysInItsDaysFile) {
    Enclosure(0, 0);
    Start();
    clock.Advance((14ull * 3600 - 10) * 1000);  // 23:59:55
    log.SettingsChangeLines.push_back("D1 Buzzer Mute(setted): ON, 12/06/26 23:59:54");
    Pass(0x01);
    clock.Advance(10000);
    Pass(0x01);
    EXPECT_EQ(FileLines(Today()).back(), "D1 Buzzer Mute(setted): ON, 12/06/26 23:59:54");
    EXPECT_EQ(FileLines(Tomorrow()), Concat({{kSep}, kDevice1Block, {kSep}}));
}

TEST_F(EventLogTest, FailedSaveKeepsTheLinesAndTheNextPassSavesThemAll) {
    RaidStatus& r = Enclosure(0, 0);
    BlockFolder();
    Start();
    ASSERT_THAT(errors, ElementsAre(HasSubstr("Event log not saved, kept in memory")));
    EXPECT_THAT(errors[0], HasSubstr(Today()));

    r.hdd1State = 0xFF;
    r.driveClass = 0x24;
    Pass(0x01);
    EXPECT_EQ(errors.size(), 2u);
    const auto expected = Concat(
        {{kSep, kStartLine}, kDevice1Block, {kSep, "D1 HDD1 was removed, [FF] 12/06/26 10:00:05"}});
    EXPECT_EQ(log.EventLog, expected);

    UnblockFolder();
    EXPECT_THAT(Pass(0x01), IsEmpty());
    EXPECT_EQ(FileLines(Today()), expected);
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_FALSE(log.saveOwed);
}

TEST_F(EventLogTest, LinesOwedToYesterdayReachYesterdaysFile) {
    RaidStatus& r = Enclosure(0, 0);
    BlockFolder();
    Start();
    r.hdd1State = 0xFF;
    r.driveClass = 0x24;
    Pass(0x01);
    const auto dayOne = log.EventLog;

    clock.Advance(14ull * 3600 * 1000);
    UnblockFolder();
    Pass(0x01);
    EXPECT_EQ(FileLines(Today()), dayOne);
    EXPECT_EQ(FileLines(Tomorrow()), log.EventLog);
    EXPECT_THAT(log.earlierDays, IsEmpty());
}

TEST_F(EventLogTest, UnreadableFileIsNeverReplacedAndIsMergedOnceReadable) {
    Enclosure(0, 0);
    fs::create_directory(Today());  // exists, but cannot be read as a file
    Start();
    EXPECT_THAT(errors,
                ElementsAre(HasSubstr("Event log not read"), HasSubstr("could not be read first")));
    EXPECT_TRUE(fs::is_directory(Today()));
    const auto ours = log.EventLog;

    fs::remove(Today());
    std::ofstream(Today(), std::ios::binary) << "written before\r\n";
    Pass(0x01);
    EXPECT_EQ(FileLines(Today()), Concat({{"written before"}, ours}));
}

TEST_F(EventLogTest, LinesKeptForAnUnreadableFileAreSavedOnceItHasGone) {
    Enclosure(0, 0);
    fs::create_directory(Today());
    Start();
    AppendLogLines(log, services, {"Send mail Success!"});
    const auto ours = log.EventLog;
    ASSERT_TRUE(log.saveOwed);

    fs::remove(Today());
    AppendLogLines(log, services, {"Mail two"});
    EXPECT_EQ(FileLines(Today()), Concat({ours, {"Mail two"}}));
    EXPECT_FALSE(log.saveOwed);
}

TEST_F(EventLogTest, AtTheEndOfARunKeptLinesOfEveryDayAreSavedButNoUnreadFileIsReplaced) {
    Enclosure(0, 0);
    fs::create_directory(Today());  // in the way of today's file for now
    {
        // Too large to be a day file of ours: it is never read, so never replaced.
        std::ofstream large(Tomorrow(), std::ios::binary);
        large.seekp(static_cast<std::streamoff>(kMaxLogFileBytes));
        large.put('x');
    }
    Start();
    const auto dayOne = log.EventLog;
    clock.Advance(14ull * 3600 * 1000);
    AppendLogLines(log, services, {"Send mail Success!"});
    ASSERT_EQ(log.earlierDays.size(), 1u);
    fs::remove(Today());

    EXPECT_EQ(SaveOwedLogLines(log),
              Tomorrow() + " is larger than " + std::to_string(kMaxLogFileBytes) + " bytes");
    EXPECT_EQ(FileLines(Today()), dayOne);
    EXPECT_EQ(fs::file_size(Tomorrow()), kMaxLogFileBytes + 1);

    fs::remove(Tomorrow());
    EXPECT_EQ(SaveOwedLogLines(log), "");
    EXPECT_EQ(FileLines(Tomorrow()), std::vector<std::string>{"Send mail Success!"});
    EXPECT_FALSE(log.saveOwed);
    EXPECT_THAT(log.earlierDays, IsEmpty());
}

TEST_F(EventLogTest, DeviceCountAndDiskNumbersAreBounded) {
    Enclosure(0, 0);
    Enclosure(1, 1);
    devices.table.entries[1] = kEnclosureMark | 0x0C;  // a disk number with no record
    for (std::size_t k = 2; k < kMaxDevices; ++k) {
        Enclosure(k, static_cast<std::uint8_t>(k));
    }
    devices.table.count = 255;
    const auto lines = Pass(0xFF);
    const auto blocks = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find(" information :") != std::string::npos;
    });
    EXPECT_EQ(blocks, 3) << "slots 0, 2 and 3; slot 1 names no disk, slots from 4 are not logged";
    EXPECT_THAT(lines, ::testing::Contains("Device4 information :"));
}

// The drive lines of the information block, by class.
TEST(DeviceInformationBlockTest, DriveLinesByClass) {
    struct Case {
        std::uint8_t driveClass;
        std::uint8_t hdd1State;
        std::uint8_t hdd2State;
        bool serials;
        std::vector<std::string> lines;
    } cases[] = {
        {0x44,
         0xFF,
         0xFF,
         true,
         {"  HDD1 is absent. [FF] ", "    Model no.:WDC   ",
          "    Serial no.: \"S1                  \"", "    Capacity : 976 MB(2000000 Sectors)",
          "  HDD2 is absent. [FF] ", "    Model no.: ST3   ",
          "    Serial no.: \"S2                  \"", "    Capacity : 976 MB(2000000 Sectors)"}},
        {0x44, 0xFF, 0xFF, false, {"  HDD1 is absent. [FF] ", "  HDD2 is absent. [FF] "}},
        {0x88,
         0x12,
         0x09,
         true,
         {"  HDD1 was failed, Rebuilding failure. [12] ", "    Model no.: WDC   ",
          "    Serial no.: \"S1                  \"", "    Capacity : 976 MB(2000000 Sectors)",
          "  HDD2 was failed, Unmatched SSD. [09] ", "    Model no.: ST3   ",
          "    Serial no.: \"S2                  \"", "    Capacity : 976 MB(2000000 Sectors)"}},
        {0x11, 0x06, 0x06, true, {"HDD1 was inserted. [06] ", "HDD2 was inserted. [06] "}},
        {0x00, 0x33, 0x33, true, {}},  // no class bit: no drive line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "class " << std::hex << int{c.driveClass});
        RaidStatus r;
        r.driveClass = c.driveClass;
        r.hdd1State = c.hdd1State;
        r.hdd2State = c.hdd2State;
        r.raidMode = 63;
        r.raidTaskStatus = 0x03;
        sim::PutAtaText(r.hdd1Model, "WDC");
        sim::PutAtaText(r.hdd2Model, "ST3");
        if (c.serials) {
            sim::PutAtaText(r.hdd1Serial, "S1");
            sim::PutAtaText(r.hdd2Serial, "S2");
        }
        r.hdd1Capacity = r.hdd2Capacity = 2000000;
        const auto block = DeviceInformationBlock(2, r, ControllerBlock{});
        ASSERT_GE(block.size(), 5u);
        EXPECT_THAT(std::vector(block.begin(), block.begin() + 5),
                    ElementsAre("Device2 information :", "Model# ", "Bypass, F/W Rev. 000000.0",
                                "Configured Capacity : 0 MB(0 Sectors)", "RAID Status : 0x03"));
        EXPECT_THAT(std::vector(block.begin() + 5, block.end()), ElementsAreArray(c.lines));
    }
}

TEST(DriveTransitionTest, LinesAndEventsByNewClass) {
    struct Case {
        int drive;
        std::uint8_t oldClass;
        std::uint8_t newClass;
        std::uint8_t state;
        DriveEvent event;
        const char* line;
        bool details;
    } cases[] = {
        {0, 0x22, 0x28, 0x12, DriveEvent::Failed, "D2 HDD1 was failed, Rebuilding failure, [12] T",
         true},
        {0, 0x22, 0x28, 0x09, DriveEvent::Failed, "D2 HDD1 was failed, [09] T", true},
        {1, 0x22, 0x82, 0x12, DriveEvent::Failed, "D2 HDD2 was failed, Rebuilding failure. [12] T",
         true},
        {1, 0x22, 0x82, 0x09, DriveEvent::Failed, "D2 HDD2 was failed, Capacity too small. [09] T",
         true},
        {0, 0x42, 0x41, 0x06, DriveEvent::Inserted, "D2 HDD1 was inserted, [06] T", false},
        {1, 0x42, 0x12, 0x06, DriveEvent::Inserted, "D2 HDD2 was inserted, [06] T", false},
        {1, 0x12, 0x22, 0x00, DriveEvent::Initialized, "D2 HDD2 was initialized, [00] T", true},
        {0, 0x28, 0x22, 0x01, DriveEvent::Initialized, "D2 HDD1 was initialized. [01] T", true},
        {1, 0x22, 0x42, 0xFF, DriveEvent::Removed, "D2 HDD2 was removed, [FF] T", false},
        // The other drive changed: nothing for this one.
        {1, 0x22, 0x24, 0x00, DriveEvent::None, nullptr, false},
        // A bit that was already set in the old class.
        {0, 0x2A, 0x28, 0x09, DriveEvent::None, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "drive " << c.drive << " to " << std::hex << int{c.newClass});
        RaidStatus r;
        r.driveClass = c.newClass;
        (c.drive == 0 ? r.hdd1State : r.hdd2State) = c.state;
        sim::PutAtaText(c.drive == 0 ? r.hdd1Model : r.hdd2Model, "MODEL-X");
        sim::PutAtaText(c.drive == 0 ? r.hdd1Serial : r.hdd2Serial, "SER");
        (c.drive == 0 ? r.hdd1Capacity : r.hdd2Capacity) = k500GB;
        const DriveChange change = DriveTransition(2, c.drive, c.oldClass, r, "T");
        EXPECT_EQ(change.event, c.event);
        if (c.line == nullptr) {
            EXPECT_THAT(change.lines, IsEmpty());
        } else if (c.details) {
            EXPECT_THAT(change.lines, ElementsAre(c.line, "  Model no.: MODEL-X",
                                                  "  Serial no.: \"SER                 \"",
                                                  "  Capacity : 465 GB(976773168 Sectors)"));
        } else {
            EXPECT_THAT(change.lines, ElementsAre(c.line));
        }
    }
}

TEST(RebuildLineTest, ProgressAndEndOfARebuild) {
    struct Step {
        std::uint8_t taskMask;
        std::uint8_t percent;
        std::uint8_t driveClass;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> lines;
    } cases[] = {
        {"ends at 99",
         {{1, 10, 0x22}, {1, 10, 0x22}, {1, 55, 0x22}, {1, 99, 0x22}, {0, 0, 0x22}},
         {"D1 HDD2 --> HDD1 10%, T", "D1 HDD2 --> HDD1 55%, T", "D1 HDD2 --> HDD1 99%, T",
          "D1 HDD2 --> HDD1 Done, T"}},
        {"ends at 98",
         {{1, 98, 0x22}, {0, 0, 0x22}},
         {"D1 HDD2 --> HDD1 98%, T", "D1 HDD1 OK, HDD2 OK, T"}},
        {"towards HDD2",
         {{2, 0, 0x22}, {2, 99, 0x22}, {0, 0, 0x22}},
         {"D1 HDD1 --> HDD2 0%, T", "D1 HDD1 --> HDD2 99%, T", "D1 HDD1 --> HDD2 Done, T"}},
        {"ends with a drive absent, and only once",
         {{1, 99, 0x22}, {0, 0, 0x42}, {0, 0, 0x22}},
         {"D1 HDD2 --> HDD1 99%, T"}},
        {"no rebuild seen", {{0, 0, 0x22}, {0, 50, 0x22}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogSlot slot;
        RaidStatus r;
        std::vector<std::string> lines;
        for (const Step& step : c.steps) {
            r.taskMask = step.taskMask;
            r.progressPercent = step.percent;
            r.driveClass = step.driveClass;
            if (auto line = RebuildLine(slot, 1, r, "T")) {
                lines.push_back(*line);
            }
        }
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(slot.lastPercent, kNoPercent);
    }
}

}  // namespace
}  // namespace raid
