#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/clock.h"

namespace raid {

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
};

// The client's events, raised on the sending thread.
struct SmtpEvents {
    std::function<void()> connected;     // TCP connection established
    std::function<void()> disconnected;  // after Quit and close
    std::function<void()> workBegin;     // body writing starts
    std::function<void()> workEnd;       // body written, final "." not yet sent
};

struct SmtpOutcome {
    bool accepted = false;  // the server answered 250 to the final "."
    std::string step;       // the step that failed: "connect", "greeting", "ehlo", "starttls",
                            // "tls", "auth", "mail from", "rcpt to", "data", "message"
    int replyCode = 0;      // the failing reply's code; 0 for a socket or TLS error
    std::string replyText;  // the failing reply's last line, or the system's error text
    // One line for the user: step, code and text, e.g. `rcpt to: 550 No such user`.
    std::string ErrorText() const;
};

// One mail transaction on a fresh connection (connect, greeting, EHLO/HELO, TLS as asked,
// AUTH LOGIN, RSET, MAIL, RCPT, DATA, message, ".", QUIT). Blocks the calling thread; the
// Date header comes from clock.WallSeconds() and the local UTC offset.
SmtpOutcome SendMail(const SmtpServer& server, const MailMessage& message, Clock& clock,
                     const SmtpEvents& events);

}  // namespace raid
