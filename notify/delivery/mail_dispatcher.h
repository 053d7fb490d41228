#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/device_state.h"
#include "monitor/alert_state.h"
#include "monitor/mail_request.h"
#include "notify/delivery/mail_sender.h"
#include "notify/delivery/mail_worker.h"
#include "notify/delivery/outbox.h"
#include "notify/settings/mail_settings.h"
#include "notify/settings/mail_settings_store.h"
#include "notify/settings/settings_store.h"

namespace raid {

// What the mail dispatch runs on. The references must outlive it.
struct MailDispatchServices {
    SettingsStore& store;
    Clock& clock;
    const DeviceState& devices;
    const std::vector<std::string>& systemInfo;  // SystemInfoLines
    std::atomic<std::uint8_t>& mailFlags;        // MailFlags
    MailSender sender;
    std::string outboxFolder;
    std::string defaultTemplateDirectory;  // used while the key does not exist
    std::string appTitle;
};

// What it tells the front end; all called on the main thread, each may be empty.
struct MailDispatchHooks {
    std::function<void(int panel, const std::string& text)> statusText;   // panels 2 and 3
    std::function<void(const std::vector<std::string>& lines)> logLines;  // "Mail ..." lines
    std::function<void(const std::string& text)> error;
    // Any thread: the mail thread should look again (a request, the worker's
    // news, an earlier retry).
    std::function<void()> wake;
};

// Who follows the notifications besides the mail (the command hook): told
// of every request that is not switched off, after its mail was queued (also
// when no mail is set up), with its report and event time, and of every test
// mail that was started. Main thread.
struct NotificationFollower {
    std::function<void(std::uint8_t kind, std::uint8_t device, std::uint8_t port,
                       const std::vector<std::string>& report, std::int64_t at)>
        requested;
    std::function<void()> testStarted;
};

enum class TestMailStart { Started, Unsaved, NotReady, Busy };

inline constexpr const char* kMailCaption = "E-Mail Message";
inline constexpr const char* kMailSuccess = "Send mail Success!";
inline constexpr const char* kMailUnsaved =
    "E-Mail setting was changed, please click \"OK\" or \"Ignore\" button first!";
inline constexpr const char* kMailNotReady = "E-Mail setting isn't ready!";
// The body line after the event report that says when the event was seen.
inline constexpr const char* kEventTimeLabel = "Event Time : ";
// How often the outbox folder is looked at again at the latest, for mails
// that another run of the program sharing it left when it ended.
inline constexpr std::int64_t kOutboxRescanSeconds = 120;
// How long a stop waits for the server's answer to a mail being sent; a
// service manager allows some 30 s for the whole stop.
inline constexpr std::chrono::milliseconds kMailStopGrace{3000};

// Notification mail: the main thread composes each request into its own mail,
// keeps it in the outbox and hands it to the mail worker, which sends it; a
// mail the server did not take is tried again with growing pauses.
class MailDispatcher final : public MailRequestSink {
  public:
    MailDispatcher(MailDispatchServices services, MailDispatchHooks hooks);

    // Start-up: the settings key and the mails a run before left waiting.
    void Initialise();

    // What the alerts saw, for the reports of their kinds (may be null), and
    // who follows the notifications. Set before the first request.
    void SetAlerts(const AlertState* alerts) { alerts_ = alerts; }
    void SetFollower(NotificationFollower follower) { follower_ = std::move(follower); }

    // Event detection asks for a mail (main thread).
    void RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                 std::uint8_t port) override;

    // The mail thread's hand-over (main thread): reloads the settings, turns
    // pending requests into mails, takes the worker's news and starts the next
    // exchange that is due.
    void ServiceMailFlags();
    // Any thread: whether ServiceMailFlags has something to do besides
    // MailFlags (news from the worker, a retry that is due).
    bool WorkDue();

    // Main thread, at the end of the run: gives an exchange that runs a few
    // seconds to finish, takes its outcome (a mail the server accepted leaves
    // the outbox), then closes the connection. No mail starts afterwards.
    void Stop();

    // The E-mail page's Test button; `done` is called on the main thread with
    // the outcome of a started test.
    TestMailStart StartTestMail(std::function<void(const SmtpOutcome&)> done);

    // The E-mail page's OK button; returns the message to show, empty on success.
    std::string Save(const MailPageFields& fields);

    MailSettings& settings() { return settings_; }
    const Outbox& outbox() const { return outbox_; }
    // Notification mails given up in this run (main thread).
    std::uint64_t MailsGivenUp() const { return givenUp_; }
    std::uint8_t MailSessionState() const { return worker_.SessionState(); }
    // No exchange runs and the worker has nothing left to report.
    bool Idle() const { return !worker_.Busy() && !worker_.HasNews(); }
    // Any thread: how long the mail thread may sleep before a retry is due
    // (UINT32_MAX: until it is woken).
    std::uint32_t SleepMs();

  private:
    void TakeNews();
    void Finished(const MailJobResult& result);
    void StartNext();
    void NoteDue();
    void Rescan();
    void Status(int panel, const std::string& text);
    void Log(const std::string& line);
    void Error(const std::string& text);
    void Wake();

    struct Request {
        std::uint8_t kind;
        std::vector<std::string> report;
        std::int64_t at;  // when the event was seen, calendar seconds
    };

    MailDispatchServices services_;
    MailDispatchHooks hooks_;
    const AlertState* alerts_ = nullptr;
    NotificationFollower follower_;
    MailSettings settings_;
    Outbox outbox_;
    std::vector<Request> pending_;
    std::optional<MailJob> testJob_;
    std::function<void(const SmtpOutcome&)> testDone_;
    bool testRunning_ = false;
    std::string running_;  // the outbox mail being sent
    std::uint64_t givenUp_ = 0;
    bool stopped_ = false;
    std::atomic<std::int64_t> nextDue_{std::numeric_limits<std::int64_t>::max()};
    // When the outbox folder is looked at again for mails other runs left.
    std::atomic<std::int64_t> nextRescan_{std::numeric_limits<std::int64_t>::max()};
    MailWorker worker_;  // declared last, so its thread stops first
};

}  // namespace raid
