#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "device/clock.h"

namespace raid {

// Kinds of notification the event log asks for.
inline constexpr std::uint8_t kMailDriveRemoved = 1;   // port: 0 HDD1, 1 HDD2
inline constexpr std::uint8_t kMailDeviceRemoved = 2;  // port 0
inline constexpr std::uint8_t kMailOverHeat = 3;       // port 0
inline constexpr std::uint8_t kMailFanFail = 4;        // port 0
inline constexpr std::uint8_t kMailSmart = 5;          // port: the drive
inline constexpr std::uint8_t kMailRebuild = 6;        // port: the drive rebuilt

// MailFlags: the bits the mail thread serves.
inline constexpr std::uint8_t MailReloadRequested = 0x01;
inline constexpr std::uint8_t MailSendPending = 0x02;

// Where the event log asks for a notification mail. The mail dispatcher
// implements it; until then requests are only recorded.
class MailRequestSink {
  public:
    virtual ~MailRequestSink() = default;
    // `device` is the device-table index of the enclosure.
    virtual void RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                         std::uint8_t port) = 0;
};

struct MailRequest {
    std::uint8_t kind = 0;
    std::uint8_t device = 0;
    std::uint8_t port = 0;
    std::int64_t wallSeconds = 0;  // when it was asked for

    bool operator==(const MailRequest&) const = default;
};

// Keeps every request so that the command line (and tests) can show them.
class RecordingMailSink final : public MailRequestSink {
  public:
    explicit RecordingMailSink(Clock& clock, std::function<void(const MailRequest&)> onRequest = {})
        : clock_(clock), onRequest_(std::move(onRequest)) {}

    void RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                 std::uint8_t port) override;

    const std::vector<MailRequest>& Requests() const { return requests_; }

  private:
    Clock& clock_;
    std::function<void(const MailRequest&)> onRequest_;
    std::vector<MailRequest> requests_;
};

}  // namespace raid
