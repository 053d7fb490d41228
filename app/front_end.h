#pragma once

#include <cstdint>
#include <string>

#include "app/notification_alarm.h"

namespace raid {

// What the engine asks of the window (or of the command line). Everything is
// called on the main thread; each default does nothing.
class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // The detection status text ("Drive detecting", "No Drive found! ", " ").
    virtual void SetStatusText(const std::string& /*text*/, bool /*visible*/) {}
    // A device slot's check box and pictures after a discovery.
    virtual void SetSlotAvailable(int /*slot*/, bool /*available*/) {}
    // A failing slot was switched off by the poll.
    virtual void SlotUnchecked(int /*slot*/) {}
    // Discovery applied: with no device the page buttons and maintenance
    // controls are disabled; otherwise enabled and the device list rebuilt.
    virtual void DevicesApplied(int /*count*/) {}
    virtual void SetUpgradeEnabled(bool /*enabled*/) {}
    // After a poll that changed something.
    virtual void RedrawStatus(std::uint8_t /*changedMask*/, bool /*full*/) {}
    // The SMART page's countdown label.
    virtual void SetSmartLabel(const std::string& /*text*/) {}
    // A SMART data pass ran while the SMART page is shown: rebuild its table.
    virtual void SmartDataRead() {}
    // Every line the event log gains.
    virtual void LogLineAdded(const std::string& /*line*/) {}
    // Every status poll that ran to its end, whether or not anything changed.
    virtual void PollDone() {}
    // The mail's progress texts for status-bar panels 2 and 3 ("Email=2",
    // "Connect", "Mail is Sending...", "Send mail Success!").
    virtual void SetMailStatus(int /*panel*/, const std::string& /*text*/) {}
    // A notification mail could not be sent, waits or was given up.
    virtual void MailProblem(const std::string& /*text*/) {}
    // A notification was asked for (a mail, whether or not mail is set up):
    // the front end raises its own alarm too.
    virtual void NotificationRaised(const NotificationAlarm& /*alarm*/) {}
};

}  // namespace raid
