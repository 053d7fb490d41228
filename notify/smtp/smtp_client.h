#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/clock.h"

namespace raid {

class SmtpStop;

enum class MailSecurity { Auto, None, StartTls, Tls };

// Where and how to deliver.
struct SmtpServer {
    std::string host;
    int port = 25;
    MailSecurity security = MailSecurity::Auto;
    std::string caFile;  // empty: the system's trust store
    bool login = false;  // AUTH LOGIN when the server offers LOGIN
    std::string user;
    std::string password;     // clear text
    int timeoutSeconds = 30;  // connect and every reply
    std::string localHost;    // EHLO/HELO name; empty: the machine's host name
};

struct MailMessage {
    std::string fromName;
    std::string fromAddress;
    std::vector<std::string> recipients;
    std::string subject;
    std::vector<std::string> bodyLines;
    // When the mail was composed (calendar seconds), the Date header's time; 0: when sent.
    // A mail retried for hours must not look as if its news were fresh.
    std::int64_t composedAt = 0;
    std::string messageId;  // the Message-ID without angle brackets; empty: none
};

// The client's events, raised on the sending thread.
struct SmtpEvents {
    std::function<void()> connected;     // TCP connection established
    std::function<void()> disconnected;  // after Quit and close
    std::function<void()> workBegin;     // body writing starts
    std::function<void()> workEnd;       // body written, final "." not yet sent
    const SmtpStop* stop = nullptr;      // set: a stop asked for elsewhere ends the waits
};

// A recipient the server would not take at RCPT.
struct RecipientRefusal {
    std::string address;
    int replyCode = 0;
    std::string replyText;
    // 5xx: the server will never take it; anything else may pass later.
    bool Permanent() const { return replyCode >= 500 && replyCode < 600; }
};

struct SmtpOutcome {
    bool accepted = false;  // the server answered 250 to the final "." (for the recipients
                            // it took at RCPT; the others are in `refused`)
    std::string step;       // the step that failed: "connect", "greeting", "ehlo", "starttls",
                            // "tls", "auth", "mail from", "rcpt to", "data", "message"
    int replyCode = 0;      // the failing reply's code; 0 for a socket or TLS error
    std::string replyText;  // the failing reply's last line, or the system's error text
    std::vector<RecipientRefusal> refused;  // in the order of the message's recipients
    // The server refused the mail itself for good (5xx to MAIL FROM, DATA or the final "."):
    // sending it again changes nothing.
    bool Permanent() const;
    // One line for the user: step, code and text, e.g. `mail from: 553 Not allowed`, or the
    // refused recipients, e.g. `rcpt to nobody@example.com: 550 No such user`. Empty when the
    // mail was accepted for every recipient.
    std::string ErrorText() const;
};

// `rcpt to ADDRESS: CODE TEXT`.
std::string RecipientRefusalText(const RecipientRefusal& refusal);

// One mail transaction on a fresh connection (connect, greeting, EHLO/HELO, TLS as asked,
// AUTH LOGIN, RSET, MAIL, RCPT, DATA, message, ".", QUIT). Blocks the calling thread; the
// Date header is message.composedAt (or clock.WallSeconds() when 0) with the local UTC offset.
SmtpOutcome SendMail(const SmtpServer& server, const MailMessage& message, Clock& clock,
                     const SmtpEvents& events);

}  // namespace raid
