#include "app/notification_alarm.h"

#include "monitor/status_text.h"
#include "notify/compose/event_report.h"
#include "notify/settings/mail_settings.h"

namespace raid {

std::string NotificationAlarm::Summary() const {
    std::string text = enclosure;
    if (!drive.empty()) {
        text += ", " + drive;
    }
    return text + ": " + what;
}

NotificationAlarm DescribeNotification(const DeviceState& devices, std::uint8_t kind,
                                       std::uint8_t device, std::uint8_t port) {
    NotificationAlarm alarm;
    alarm.kind = kind;
    alarm.device = device;
    alarm.port = port;
    alarm.enclosure = "Device" + std::to_string(device + 1);
    if (device < devices.table.count && device < kMaxDevices) {
        const std::uint8_t disk = devices.table.Disk(device);
        if (disk < kMaxDisks) {
            // A departure is reported before the new blocks replace the old.
            const ControllerBlock& block =
                kind == kMailDeviceRemoved ? devices.previousBlocks[disk] : devices.blocks[disk];
            alarm.enclosure += " " + BlockNameText(block);
        }
    }
    if (kind == kMailDriveRemoved) {
        alarm.drive = "HDD" + std::to_string(port + 1);
    }
    alarm.what = kind >= 1 && kind <= kMailKindCaptions.size()
                     ? kMailKindCaptions[kind - 1]
                     : "Notification " + std::to_string(kind);
    const std::vector<std::string> report = EventReportLines(devices, kind, device, port);
    if (!report.empty()) {
        alarm.detail = report.front();
    }
    return alarm;
}

void AlarmingMailSink::RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                               std::uint8_t port) {
    const NotificationAlarm alarm = DescribeNotification(devices_, kind, device, port);
    next_.RequestMailNotification(kind, device, port);
    if (raise_) {
        raise_(alarm);
    }
}

}  // namespace raid
