#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "notify/delivery/mail_sender.h"
#include "notify/smtp/smtp_stop.h"

namespace raid {

// MailSessionState values.
inline constexpr std::uint8_t kSessionIdle = 0;
inline constexpr std::uint8_t kSessionConnected = 1;
inline constexpr std::uint8_t kSessionConnecting = 2;
inline constexpr std::uint8_t kSessionSending = 16;
inline constexpr std::uint8_t kSessionSent = 17;

struct MailJob {
    std::string id;  // the outbox mail, empty for the test mail
    SmtpServer server;
    MailMessage message;
};

struct MailJobResult {
    std::string id;
    SmtpOutcome outcome;
};

// Runs one SMTP exchange at a time on its own thread, so that a slow or
// silent server never holds up the main thread. The client's events become
// session states at once and are kept for the main thread to show.
struct MailWorkerNews {
    std::vector<std::uint8_t> events;
    std::optional<MailJobResult> result;
};

class MailWorker {
  public:
    // `ready` is called on the worker thread when a result or an event waits.
    MailWorker(MailSender sender, Clock& clock, std::function<void()> ready = {});
    ~MailWorker();
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    // Main thread: ends the worker. An exchange that runs gets `grace` to
    // finish (a server's acceptance that comes within it is kept for
    // TakeNews); then its connection is closed and the thread joined.
    void Stop(std::chrono::milliseconds grace);

    // Main thread. False (nothing done) while an exchange runs or its result
    // waits to be taken.
    bool Start(MailJob job);
    // From Start until the result is taken: a mail whose exchange has ended
    // but whose result is not taken yet still counts as due, and would be
    // sent a second time.
    bool Busy() const { return busy_.load(); }
    // Whether a result or an event waits to be taken.
    bool HasNews() const { return news_.load(); }
    // The session states entered since the last call, in order, and the
    // result when the exchange has ended. Taken together: a result taken
    // apart from the events before it would be told before them.
    MailWorkerNews TakeNews();
    std::uint8_t SessionState() const { return session_.load(); }

  private:
    void Run();
    void Event(std::uint8_t state);

    MailSender sender_;
    Clock& clock_;
    std::function<void()> ready_;
    std::atomic<std::uint8_t> session_{kSessionIdle};
    std::atomic<bool> busy_{false};
    std::atomic<bool> news_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<MailJob> job_;
    std::optional<MailJobResult> result_;
    std::vector<std::uint8_t> events_;
    bool stop_ = false;
    SmtpStop smtpStop_;
    std::thread thread_;
};

}  // namespace raid
