#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device_state.h"
#include "monitor/alert_state.h"
#include "notify/settings/mail_settings.h"

namespace raid {

// What a user's command is told, as RAIDGUI_* environment variables.
struct HookEvent {
    std::string event;    // RAIDGUI_EVENT: drive-failed, enclosure-gone, ..., test
    std::string device;   // RAIDGUI_DEVICE: "Device1"; empty for the test
    std::string drive;    // RAIDGUI_DRIVE: "HDD1" / "HDD2" when the event is a drive's
    std::string subject;  // RAIDGUI_SUBJECT: the mail's subject
    std::string message;  // RAIDGUI_MESSAGE: the mail's body, lines ended by LF
    std::string time;     // RAIDGUI_TIME: when the event was seen, ISO 8601
    std::string model;    // RAIDGUI_MODEL: the drive's model, else the enclosure's name
    std::string serial;   // RAIDGUI_SERIAL: the drive's serial, else empty
    bool operator==(const HookEvent&) const = default;
};

// The event name of a notification kind; a rebuild's end is "rebuild-done"
// or "rebuild-failed" by how `alerts` saw it end.
std::string HookEventName(std::uint8_t kind, const AlertState* alerts, std::uint8_t device);

// The event of a notification, composed as its mail is (templates, system
// information), whether or not mail is set up.
HookEvent NotificationHookEvent(const DeviceState& devices, const AlertState* alerts,
                                const MailSettings& settings,
                                const std::vector<std::string>& systemInfo,
                                const std::string& appTitle, std::uint8_t kind, std::uint8_t device,
                                std::uint8_t port, const std::vector<std::string>& report,
                                std::int64_t at);

// The event of the test.
HookEvent TestHookEvent(const MailSettings& settings, const std::vector<std::string>& systemInfo,
                        const std::string& appTitle, std::int64_t at);

// "RAIDGUI_EVENT=...", ... with NUL characters dropped, as an environment
// cannot carry them.
std::vector<std::string> HookEnvironment(const HookEvent& event);

// "2026-12-06T10:00:00+01:00": `wallSeconds` in local time with its offset.
std::string IsoTime(std::int64_t wallSeconds);

}  // namespace raid
