#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/device_state.h"
#include "monitor/mail_request.h"

namespace raid {

// A notification as the desktop shows it: which enclosure, which drive and
// what happened, in words.
struct NotificationAlarm {
    std::uint8_t kind = 0;
    std::uint8_t device = 0;
    std::uint8_t port = 0;
    std::string enclosure;  // "Device1 Sim Mirror Dock"
    std::string drive;      // "HDD2"; empty when the whole enclosure is concerned
    std::string what;       // the kind's caption: "Hard Disks Fail", "Device Removed", ...
    std::string detail;     // the first line of the mail's event report

    // One line for a tooltip or a banner.
    std::string Summary() const;
};

// Describes a notification request about device-table entry `device`. Asked
// when the request is made, while the table still names the enclosure (a
// departed one is described from the blocks known before the discovery).
NotificationAlarm DescribeNotification(const DeviceState& devices, std::uint8_t kind,
                                       std::uint8_t device, std::uint8_t port);

// Every notification request goes on to the mail and raises the front end's
// alarm as well, so that any kind that is mailed is also shown.
class AlarmingMailSink final : public MailRequestSink {
  public:
    AlarmingMailSink(MailRequestSink& next, const DeviceState& devices,
                     std::function<void(const NotificationAlarm&)> raise)
        : next_(next), devices_(devices), raise_(std::move(raise)) {}

    void RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                 std::uint8_t port) override;

  private:
    MailRequestSink& next_;
    const DeviceState& devices_;
    std::function<void(const NotificationAlarm&)> raise_;
};

}  // namespace raid
