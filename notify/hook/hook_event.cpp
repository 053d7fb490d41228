#include "notify/hook/hook_event.h"

#include <cstdio>
#include <cstdlib>

#include "monitor/mail_request.h"
#include "monitor/status_text.h"
#include "notify/compose/mail_compose.h"
#include "notify/compose/mail_date.h"

namespace raid {
namespace {

constexpr std::size_t kNameOffset = 54;
constexpr std::size_t kNameLength = 40;

std::string Body(const MailMessage& message) {
    std::string body;
    for (const std::string& line : BodyLines(message.bodyLines)) {
        body += line + "\n";
    }
    return body;
}

std::string WithoutNul(std::string text) {
    std::erase(text, '\0');
    return text;
}

}  // namespace

std::string IsoTime(std::int64_t wallSeconds) {
    const MailDateParts p = LocalMailDateParts(wallSeconds);
    const int offset = std::abs(p.utcOffsetMinutes);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", p.year, p.month,
                  p.day, p.hour, p.minute, p.second, p.utcOffsetMinutes < 0 ? '-' : '+',
                  offset / 60, offset % 60);
    return text;
}

std::string HookEventName(std::uint8_t kind, const AlertState* alerts, std::uint8_t device) {
    switch (kind) {
        case kMailDriveRemoved:
            return "drive-failed";
        case kMailDeviceRemoved:
            return "enclosure-gone";
        case kMailOverHeat:
            return "over-heat";
        case kMailFanFail:
            return "fan-fail";
        case kMailSmart:
            return "smart";
        case kMailRebuild:
            return alerts != nullptr && device < alerts->slots.size() &&
                           alerts->slots[device].rebuild.failed
                       ? "rebuild-failed"
                       : "rebuild-done";
        default:
            return "kind-" + std::to_string(kind);
    }
}

HookEvent NotificationHookEvent(const DeviceState& devices, const AlertState* alerts,
                                const MailSettings& settings,
                                const std::vector<std::string>& systemInfo,
                                const std::string& appTitle, std::uint8_t kind, std::uint8_t device,
                                std::uint8_t port, const std::vector<std::string>& report,
                                std::int64_t at) {
    HookEvent event;
    event.event = HookEventName(kind, alerts, device);
    event.device = "Device" + std::to_string(device + 1);
    event.time = IsoTime(at);
    const MailMessage message = ComposeNotification(settings, kind, report, systemInfo, appTitle);
    event.subject = message.subject;
    event.message = Body(message);
    if (device >= devices.table.count || device >= kMaxDevices) {
        return event;  // an enclosure that is gone from the table
    }
    const std::uint8_t disk = devices.table.Disk(device);
    if (disk >= kMaxDisks) {
        return event;
    }
    const RaidStatus& r = devices.records[disk];
    const bool driveEvent = kind == kMailDriveRemoved || kind == kMailSmart || kind == kMailRebuild;
    if (driveEvent && port < 2) {
        event.drive = port == 0 ? "HDD1" : "HDD2";
        event.model = ModelText(port == 0 ? r.hdd1Model : r.hdd2Model);
        event.serial = SerialText(port == 0 ? r.hdd1Serial : r.hdd2Serial);
        while (!event.serial.empty() && event.serial.back() == ' ') {
            event.serial.pop_back();
        }
        while (!event.serial.empty() && event.serial.front() == ' ') {
            event.serial.erase(event.serial.begin());
        }
    } else {
        const ControllerBlock& block = devices.blocks[disk];
        event.model =
            ModelText(std::span<const std::uint8_t>(block.data() + kNameOffset, kNameLength));
    }
    return event;
}

HookEvent TestHookEvent(const MailSettings& settings, const std::vector<std::string>& systemInfo,
                        const std::string& appTitle, std::int64_t at) {
    HookEvent event;
    event.event = "test";
    event.time = IsoTime(at);
    const MailMessage message = ComposeTestMail(settings, systemInfo, appTitle);
    event.subject = message.subject;
    event.message = Body(message);
    return event;
}

std::vector<std::string> HookEnvironment(const HookEvent& e) {
    return {
        "RAIDGUI_EVENT=" + WithoutNul(e.event),     "RAIDGUI_DEVICE=" + WithoutNul(e.device),
        "RAIDGUI_DRIVE=" + WithoutNul(e.drive),     "RAIDGUI_SUBJECT=" + WithoutNul(e.subject),
        "RAIDGUI_MESSAGE=" + WithoutNul(e.message), "RAIDGUI_TIME=" + WithoutNul(e.time),
        "RAIDGUI_MODEL=" + WithoutNul(e.model),     "RAIDGUI_SERIAL=" + WithoutNul(e.serial),
    };
}

}  // namespace raid
