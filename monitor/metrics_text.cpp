#include "monitor/metrics_text.h"

#include <cstdio>

#include "monitor/status_summary.h"
#include "monitor/status_text.h"

namespace raid {
namespace {

// Label values are quoted; a backslash, a quote or a line break inside
// would break the line, so they are escaped as the format asks.
std::string LabelValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) >= 0x20) {
            out += c;
        }
    }
    return out;
}

class Writer {
  public:
    void Family(const char* name, const char* type, const char* help) {
        text_ += std::string("# HELP ") + name + " " + help + "\n";
        text_ += std::string("# TYPE ") + name + " " + type + "\n";
    }
    void Sample(const char* name, const std::string& labels, double value) {
        char number[32];
        std::snprintf(number, sizeof number, "%.15g", value);
        text_ += name;
        if (!labels.empty()) {
            text_ += "{" + labels + "}";
        }
        text_ += std::string(" ") + number + "\n";
    }
    std::string Take() { return std::move(text_); }

  private:
    std::string text_;
};

// The name field is padded with blanks to its 40 characters.
std::string TrimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string DeviceLabel(std::size_t slot) {
    return "device=\"" + std::to_string(slot + 1) + "\"";
}

std::string DriveLabel(std::size_t slot, int drive) {
    return DeviceLabel(slot) + ",drive=\"HDD" + std::to_string(drive + 1) + "\"";
}

}  // namespace

std::string MetricsText(const DeviceState& devices, const PollState& poll,
                        const MetricsExtras& extras) {
    Writer w;
    const std::size_t count = std::min<std::size_t>(devices.table.count, kMaxSlots);
    auto records = [&](auto&& each) {
        for (std::size_t slot = 0; slot < count; ++slot) {
            const std::uint8_t disk = devices.table.Disk(slot);
            if (disk < kMaxDisks) {
                each(slot, disk, devices.records[disk]);
            }
        }
    };

    w.Family("raidgui_enclosures", "gauge", "Enclosures found by the last discovery.");
    w.Sample("raidgui_enclosures", "", static_cast<double>(devices.table.count));

    w.Family("raidgui_enclosure_info", "gauge",
             "An enclosure being monitored, with its name and mode.");
    records([&](std::size_t slot, std::uint8_t disk, const RaidStatus& r) {
        w.Sample("raidgui_enclosure_info",
                 DeviceLabel(slot) + ",disk=\"" + std::to_string(disk) + "\",name=\"" +
                     LabelValue(TrimmedRight(BlockNameText(devices.blocks[disk]))) + "\",mode=\"" +
                     LabelValue(ModeName(r.raidMode)) + "\",monitored=\"" +
                     (poll.slotChecked[slot].load() ? "1" : "0") + "\"",
                 1);
    });

    w.Family("raidgui_drive_state", "gauge", "The controller's state code of a drive.");
    records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
        w.Sample("raidgui_drive_state", DriveLabel(slot, 0), r.hdd1State);
        w.Sample("raidgui_drive_state", DriveLabel(slot, 1), r.hdd2State);
    });

    w.Family("raidgui_drive_class", "gauge",
             "A drive's class: 1 inserted, 2 present, 4 absent, 8 failed, 0 unknown.");
    records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
        w.Sample("raidgui_drive_class", DriveLabel(slot, 0), r.driveClass & 0x0F);
        w.Sample("raidgui_drive_class", DriveLabel(slot, 1), r.driveClass >> 4);
    });

    // Each family's samples stand together under its TYPE line, as the format
    // requires.
    w.Family("raidgui_task_running", "gauge", "1 while the array runs a task (a rebuild).");
    records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
        w.Sample("raidgui_task_running", DeviceLabel(slot), r.raidTaskStatus == 2 ? 1 : 0);
    });
    w.Family("raidgui_rebuild_percent", "gauge", "Progress of the array's task in percent.");
    records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
        // The record keeps the last percentage after the task ended; the
        // gauge must not show a rebuild that is over as still under way.
        const bool running = r.raidTaskStatus == 2 || (r.taskMask & 0x03) != 0;
        w.Sample("raidgui_rebuild_percent", DeviceLabel(slot), running ? r.progressPercent : 0);
    });

    w.Family("raidgui_temperature_celsius", "gauge", "The enclosure's temperature.");
    records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
        if (r.envStatus == kValidMark) {
            w.Sample("raidgui_temperature_celsius", DeviceLabel(slot), r.temperature);
        }
    });
    w.Family("raidgui_fan_rpm", "gauge", "The enclosure's fan speed.");
    records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
        if (r.envStatus == kValidMark) {
            w.Sample("raidgui_fan_rpm", DeviceLabel(slot), r.fanRpm);
        }
    });

    if (extras.smartHealth) {
        w.Family("raidgui_smart_overall_health", "gauge",
                 "A drive's SMART overall health: 0 Good, 1 Warning, 2 Error.");
        records([&](std::size_t slot, std::uint8_t, const RaidStatus&) {
            for (int drive = 0; drive < 2; ++drive) {
                if (auto health = extras.smartHealth(slot, drive)) {
                    w.Sample("raidgui_smart_overall_health", DriveLabel(slot, drive), *health);
                }
            }
        });
    }

    w.Family("raidgui_last_poll_success_timestamp_seconds", "gauge",
             "When the enclosure last answered a status poll (Unix time).");
    records([&](std::size_t slot, std::uint8_t, const RaidStatus&) {
        if (poll.lastPollSuccessAt[slot] != 0) {
            w.Sample("raidgui_last_poll_success_timestamp_seconds", DeviceLabel(slot),
                     static_cast<double>(poll.lastPollSuccessAt[slot]));
        }
    });

    if (extras.alerts != nullptr) {
        const AlertState& a = *extras.alerts;
        w.Family("raidgui_over_heat", "gauge",
                 "1 while the enclosure is over its heat limit (raidgui_heat_limit_celsius).");
        records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
            if (ReportsEnvironment(r)) {
                w.Sample("raidgui_over_heat", DeviceLabel(slot), a.slots[slot].overHeat ? 1 : 0);
            }
        });
        w.Family("raidgui_heat_limit_celsius", "gauge", "The over-heat limit.");
        w.Sample("raidgui_heat_limit_celsius", "", a.heatLimit);
        w.Family("raidgui_fan_failed", "gauge", "1 while the enclosure's fan has failed.");
        records([&](std::size_t slot, std::uint8_t, const RaidStatus& r) {
            if (ReportsEnvironment(r)) {
                w.Sample("raidgui_fan_failed", DeviceLabel(slot), a.slots[slot].fanFailed ? 1 : 0);
            }
        });
        w.Family("raidgui_smart_attribute_raw", "gauge",
                 "Raw counts of reallocated (5), pending (197) and offline uncorrectable (198) "
                 "sectors.");
        records([&](std::size_t slot, std::uint8_t, const RaidStatus&) {
            for (int drive = 0; drive < 2; ++drive) {
                const DriveAlert& d = a.slots[slot].drives[static_cast<std::size_t>(drive)];
                for (std::size_t k = 0; k < kWatchedAttributes.size(); ++k) {
                    if (d.counts[k]) {
                        w.Sample("raidgui_smart_attribute_raw",
                                 DriveLabel(slot, drive) + ",id=\"" +
                                     std::to_string(kWatchedAttributes[k]) + "\"",
                                 static_cast<double>(*d.counts[k]));
                    }
                }
            }
        });
        if (a.lastEventAt != 0) {
            w.Family("raidgui_last_alert_timestamp_seconds", "gauge",
                     "When the last alert line was logged (Unix time).");
            w.Sample("raidgui_last_alert_timestamp_seconds", "",
                     static_cast<double>(a.lastEventAt));
        }
    }

    if (extras.mailsQueued) {
        w.Family("raidgui_mails_queued", "gauge", "Notification mails waiting to be sent.");
        w.Sample("raidgui_mails_queued", "", static_cast<double>(*extras.mailsQueued));
    }
    if (extras.mailsFailed) {
        w.Family("raidgui_mails_failed_total", "counter",
                 "Notification mails given up after their retries.");
        w.Sample("raidgui_mails_failed_total", "", static_cast<double>(*extras.mailsFailed));
    }
    return w.Take();
}

}  // namespace raid
