// The Prometheus text file of raidcli monitor --metrics.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "monitor/metrics_text.h"

namespace raid {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Fixture {
    Fixture() {
        devices.table.count = 1;
        devices.table.entries[0] = 0x40 | 3;  // disk 3
        RaidStatus& r = devices.records[3];
        r.hdd1State = 0x01;
        r.hdd2State = 0x05;
        r.driveClass = 0x82;  // HDD1 present, HDD2 failed
        r.raidTaskStatus = 2;
        r.progressPercent = 42;
        r.envStatus = 0xFF;  // reports no temperature
        // Name bytes are stored pair-swapped: "A\"B\\" reads back as A"B\ .
        const char swapped[] = "\"A\\B";
        for (int i = 0; i < 4; ++i) {
            devices.blocks[3][54 + i] = static_cast<std::uint8_t>(swapped[i]);
        }
        for (int i = 4; i < 40; ++i) {
            devices.blocks[3][54 + i] = ' ';
        }
        poll.lastPollSuccessAt[0] = 1'796'551'200;
    }
    std::string Text(const MetricsExtras& extras = {}) {
        return MetricsText(devices, poll, extras);
    }
    DeviceState devices;
    PollState poll;
};

// The exposition format wants each family's samples right under its TYPE
// line; a family split in two is refused by the collector.
TEST(MetricsText, EveryFamilyIsOneBlockUnderItsOwnTypeLine) {
    Fixture f;
    MetricsExtras extras;
    extras.smartHealth = [](std::size_t, int drive) -> std::optional<std::uint16_t> {
        return drive == 0 ? std::optional<std::uint16_t>(0x0000) : std::nullopt;
    };
    extras.mailsQueued = 2;
    extras.mailsFailed = 1;
    std::istringstream lines(f.Text(extras));
    std::map<std::string, int> typed;
    std::string current;
    int samples = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("# TYPE ", 0) == 0) {
            current = line.substr(7, line.find(' ', 7) - 7);
            EXPECT_EQ(++typed[current], 1) << current;
        } else if (line.rfind("#", 0) != 0) {
            const std::string name = line.substr(0, line.find_first_of("{ "));
            EXPECT_EQ(name, current) << line;
            ++samples;
        }
    }
    EXPECT_GT(samples, 10);
    EXPECT_EQ(typed.count("raidgui_smart_overall_health"), 1u);
    EXPECT_EQ(typed.count("raidgui_mails_failed_total"), 1u);
}

TEST(MetricsText, ReportsDrivesTaskAndPollTimeOfTheTableEntries) {
    Fixture f;
    const std::string text = f.Text();
    EXPECT_THAT(text, HasSubstr("raidgui_enclosures 1\n"));
    EXPECT_THAT(text, HasSubstr("raidgui_drive_state{device=\"1\",drive=\"HDD2\"} 5\n"));
    EXPECT_THAT(text, HasSubstr("raidgui_drive_class{device=\"1\",drive=\"HDD1\"} 2\n"));
    EXPECT_THAT(text, HasSubstr("raidgui_drive_class{device=\"1\",drive=\"HDD2\"} 8\n"));
    EXPECT_THAT(text, HasSubstr("raidgui_rebuild_percent{device=\"1\"} 42\n"));
    EXPECT_THAT(
        text, HasSubstr("raidgui_last_poll_success_timestamp_seconds{device=\"1\"} 1796551200\n"));
    // No temperature reported, none invented; no SMART or mail figures unknown.
    EXPECT_THAT(text, Not(HasSubstr("raidgui_temperature_celsius{")));
    EXPECT_THAT(text, Not(HasSubstr("raidgui_smart_overall_health")));
    EXPECT_THAT(text, Not(HasSubstr("raidgui_mails_queued")));
}

TEST(MetricsText, EscapesTheEnclosureNameInItsLabel) {
    Fixture f;
    EXPECT_THAT(f.Text(), HasSubstr("name=\"A\\\"B\\\\\""));
}

TEST(MetricsText, AnEntryWithADiskNumberOutOfRangeIsLeftOut) {
    Fixture f;
    f.devices.table.count = 2;
    f.devices.table.entries[1] = 0x40 | 0x0F;  // disk 15: no record for it
    const std::string text = f.Text();
    EXPECT_THAT(text, HasSubstr("raidgui_enclosures 2\n"));
    EXPECT_THAT(text, Not(HasSubstr("device=\"2\"")));
}

}  // namespace
}  // namespace raid

namespace raid {
namespace {

// The record keeps the last percentage after a rebuild; the gauge drops.
TEST(MetricsText, RebuildGaugeDropsWhenTheTaskEnds) {
    Fixture f;
    EXPECT_THAT(f.Text(), HasSubstr("raidgui_rebuild_percent{device=\"1\"} 42\n"));
    f.devices.records[3].raidTaskStatus = 0;
    EXPECT_THAT(f.Text(), HasSubstr("raidgui_rebuild_percent{device=\"1\"} 0\n"));
}

TEST(MetricsText, AlertStateOfEnclosuresThatReportIt) {
    Fixture f;
    f.devices.records[3].envStatus = 0xA0;
    AlertState alerts;
    alerts.slots[0].overHeat = true;
    alerts.slots[0].drives[1].counts[0] = 8;
    alerts.lastEventAt = 1'796'551'260;
    MetricsExtras extras;
    extras.alerts = &alerts;
    const std::string text = f.Text(extras);
    EXPECT_THAT(text, HasSubstr("raidgui_over_heat{device=\"1\"} 1\n"));
    EXPECT_THAT(text, HasSubstr("raidgui_fan_failed{device=\"1\"} 0\n"));
    EXPECT_THAT(text, HasSubstr("raidgui_heat_limit_celsius 55\n"));
    EXPECT_THAT(text,
                HasSubstr("raidgui_smart_attribute_raw{device=\"1\",drive=\"HDD2\",id=\"5\"} 8\n"));
    EXPECT_THAT(text, Not(HasSubstr("id=\"197\"")));  // not read: left out
    EXPECT_THAT(text, HasSubstr("raidgui_last_alert_timestamp_seconds 1796551260\n"));
}

}  // namespace
}  // namespace raid
