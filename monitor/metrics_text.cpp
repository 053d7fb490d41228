#include "monitor/metrics_text.h"

#include <cstdio>

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
        w.Sample("raidgui_rebuild_percent", DeviceLabel(slot), r.progressPercent);
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
