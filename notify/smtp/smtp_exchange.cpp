#include "notify/smtp/smtp_exchange.h"

#include <array>
#include <string_view>

#include "device/safe_text.h"
#include "notify/compose/mail_body.h"
#include "notify/compose/mail_header.h"
#include "notify/smtp/base64.h"
#include "notify/smtp/ehlo_features.h"
#include "notify/smtp/smtp_reply.h"

namespace raid {

namespace {

constexpr std::size_t kReceiveChunk = 16 * 1024;
constexpr int kDefaultTimeoutSeconds = 30;
constexpr int kImplicitTlsPort = 465;
// Server texts end up in a message box or on a terminal.
constexpr std::size_t kMaxShownText = 512;

std::string Printable(std::string_view text) {
    return SafeText(text.substr(0, kMaxShownText));
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsUsableAddress(std::string_view address) {
    return !address.empty() && !HasLineBreakOrNul(address) &&
           address.find_first_of("<> \t") == std::string_view::npos;
}

// What would break the command lines or the header block is refused before any traffic.
std::string RefusalOf(const MailMessage& message, const std::string& localHost) {
    if (!IsUsableAddress(message.fromAddress)) {
        return "the sender address is empty or contains a blank, a line break or <>";
    }
    if (HasLineBreakOrNul(message.fromName)) {
        return "the sender name contains a line break";
    }
    if (HasLineBreakOrNul(message.subject)) {
        return "the subject contains a line break";
    }
    for (const std::string& recipient : message.recipients) {
        if (!IsUsableAddress(recipient)) {
            return "a recipient address is empty or contains a blank, a line break or <>";
        }
    }
    if (localHost.empty() || HasLineBreakOrNul(localHost) ||
        localHost.find_first_of(" \t") != std::string::npos) {
        return "the local host name is empty or contains a blank or a line break";
    }
    return {};
}

class Exchange {
  public:
    Exchange(SmtpConnection& connection, const SmtpServer& server, const SmtpEvents& events)
        : connection_(connection),
          server_(server),
          events_(events),
          timeoutSeconds_(server.timeoutSeconds > 0 ? server.timeoutSeconds
                                                    : kDefaultTimeoutSeconds) {}

    SmtpOutcome Run(const MailMessage& message, const std::string& date,
                    const std::string& localHost) {
        const std::string refusal = RefusalOf(message, localHost);
        if (!refusal.empty()) {
            return Failed("message", 0, refusal);
        }
        if (message.recipients.empty()) {
            return Failed("rcpt to", 0, "no recipient");
        }
        const SmtpIo io = connection_.Connect(server_.host, server_.port, Deadline());
        if (!io.ok()) {
            return Failed("connect", 0, IoText(io, "no connection"));
        }
        Raise(events_.connected);
        const bool delivered = Transaction(message, date, localHost);
        if (usable_) {
            // The reply to Quit is not awaited; a failed write changes nothing now.
            connection_.Send("Quit\r\n", Deadline());
        }
        connection_.Close();
        Raise(events_.disconnected);
        outcome_.accepted = delivered;
        return outcome_;
    }

  private:
    bool Transaction(const MailMessage& message, const std::string& date,
                     const std::string& localHost) {
        const bool implicitTls =
            server_.security == MailSecurity::Tls ||
            (server_.security == MailSecurity::Auto && server_.port == kImplicitTlsPort);
        if (implicitTls && !SecureConnection()) {
            return false;
        }
        if (!Command({}, "greeting", 220) || !Hello(localHost)) {
            return false;
        }
        if (!implicitTls && !StartTlsIfAsked(localHost)) {
            return false;
        }
        if (!Command("Rset", "mail from", 0)) {
            return false;
        }
        if (server_.login && features_.authLogin) {
            // "auto" falls back to a plain connection when STARTTLS is not offered, which
            // an attacker can arrange by removing it from the EHLO reply: the password
            // then travels in clear only when the user chose "none".
            if (!secure_ && server_.security != MailSecurity::None) {
                Fail("auth", 0,
                     "the server does not offer TLS; the password is sent in clear only with "
                     "security \"none\"");
                return false;
            }
            if (!Command("auth LOGIN", "auth", 334) ||
                !Command(Base64Encode(server_.user), "auth", 334) ||
                !Command(Base64Encode(server_.password), "auth", 235)) {
                return false;
            }
        }
        if (!Command("Mail from:<" + message.fromAddress + ">", "mail from", 250)) {
            return false;
        }
        // A recipient the server refuses must not cost the others their mail.
        std::size_t taken = 0;
        for (const std::string& recipient : message.recipients) {
            SmtpReply reply;
            if (!Command("RCPT to:<" + recipient + ">", "rcpt to", 0, &reply)) {
                return false;
            }
            if (reply.code == 250 || reply.code == 251) {
                ++taken;
            } else {
                outcome_.refused.push_back({recipient, reply.code, Printable(reply.Text())});
            }
        }
        if (taken == 0) {
            const RecipientRefusal& last = outcome_.refused.back();
            Fail("rcpt to", last.replyCode, last.replyText);
            return false;
        }
        if (!Command("Data", "data", 354)) {
            return false;
        }
        const WireBody body = PrepareBody(message.bodyLines);
        if (!Write(MailHeaderBlock(message, date, body.quotedPrintable) + "\r\n", "message")) {
            return false;
        }
        Raise(events_.workBegin);
        std::string text;
        for (const std::string& line : body.lines) {
            text += line;
            text += "\r\n";
        }
        if (!Write(text, "message")) {
            return false;
        }
        Raise(events_.workEnd);
        return Command(".", "message", 250);
    }

    bool StartTlsIfAsked(const std::string& localHost) {
        if (server_.security == MailSecurity::None) {
            return true;
        }
        if (!features_.startTls) {
            if (server_.security == MailSecurity::StartTls) {
                Fail("starttls", 0, "the server does not offer STARTTLS");
                return false;
            }
            return true;
        }
        if (!Command("STARTTLS", "starttls", 220)) {
            return false;
        }
        // Bytes that came with the plain reply must not pass for answers under TLS.
        splitter_ = {};
        return SecureConnection() && Hello(localHost);
    }

    bool SecureConnection() {
        const SmtpIo io = connection_.StartTls(server_.host, server_.caFile, Deadline());
        if (!io.ok()) {
            usable_ = false;
            Fail("tls", 0, IoText(io, "no TLS handshake"));
            return false;
        }
        secure_ = true;
        return true;
    }

    // EHLO, and HELO when the server does not take EHLO.
    bool Hello(const std::string& localHost) {
        SmtpReply reply;
        if (!Command("ehlo " + localHost, "ehlo", 0, &reply)) {
            return false;
        }
        if (reply.code == 250) {
            features_ = ParseEhloReply(reply.lines);
            return true;
        }
        features_ = {};
        return Command("Helo " + localHost, "ehlo", 250);
    }

    // Sends `line` (nothing when empty) and reads the reply; `expected` 0 takes any code.
    bool Command(const std::string& line, const char* step, int expected,
                 SmtpReply* answer = nullptr) {
        if (!line.empty() && !Write(line + "\r\n", step)) {
            return false;
        }
        SmtpReply reply;
        if (!Read(step, reply)) {
            return false;
        }
        if (expected != 0 && reply.code != expected) {
            Fail(step, reply.code, reply.Text());
            return false;
        }
        if (answer != nullptr) {
            *answer = std::move(reply);
        }
        return true;
    }

    bool Write(std::string_view bytes, const char* step) {
        const SmtpIo io = connection_.Send(bytes, Deadline());
        if (!io.ok()) {
            usable_ = false;
            Fail(step, 0, IoText(io, "could not send"));
            return false;
        }
        return true;
    }

    bool Read(const char* step, SmtpReply& reply) {
        const SmtpDeadline deadline = Deadline();
        SmtpReplyAssembler assembler;
        std::string line;
        while (true) {
            const ReplyLineSplitter::Result next = splitter_.Next(line);
            if (next == ReplyLineSplitter::Result::Line) {
                if (assembler.Add(std::move(line))) {
                    reply = assembler.Take();
                    return true;
                }
                if (assembler.Full()) {
                    return Broken(step, "the server's reply has too many lines");
                }
                continue;
            }
            if (next == ReplyLineSplitter::Result::TooLong) {
                return Broken(step, "the server sent a reply line longer than " +
                                        std::to_string(kMaxReplyLineBytes) + " bytes");
            }
            std::size_t received = 0;
            const SmtpIo io = connection_.Receive(buffer_, received, deadline);
            if (!io.ok()) {
                return Broken(step, IoText(io, "no reply"));
            }
            splitter_.Append(std::string_view(buffer_.data(), received));
        }
    }

    bool Broken(const char* step, const std::string& text) {
        usable_ = false;
        Fail(step, 0, text);
        return false;
    }

    std::string IoText(const SmtpIo& io, const char* what) const {
        if (io.kind == SmtpIo::Kind::Timeout) {
            return std::string(what) + " within " + std::to_string(timeoutSeconds_) + " s";
        }
        return io.error;
    }

    void Fail(const char* step, int code, const std::string& text) {
        outcome_.accepted = false;
        outcome_.step = step;
        outcome_.replyCode = code;
        outcome_.replyText = Printable(text);
    }

    SmtpOutcome Failed(const char* step, int code, const std::string& text) {
        Fail(step, code, text);
        return outcome_;
    }

    static void Raise(const std::function<void()>& event) {
        if (event) {
            event();
        }
    }

    SmtpDeadline Deadline() const {
        return std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_);
    }

    SmtpConnection& connection_;
    const SmtpServer& server_;
    const SmtpEvents& events_;
    const int timeoutSeconds_;
    ReplyLineSplitter splitter_;
    EhloFeatures features_;
    SmtpOutcome outcome_;
    bool usable_ = true;   // no socket or TLS failure: Quit can still be sent
    bool secure_ = false;  // the connection runs under TLS
    std::array<char, kReceiveChunk> buffer_{};
};

}  // namespace

SmtpOutcome RunSmtpExchange(SmtpConnection& connection, const SmtpServer& server,
                            const MailMessage& message, const std::string& date,
                            const std::string& localHost, const SmtpEvents& events) {
    Exchange exchange(connection, server, events);
    return exchange.Run(message, date, localHost);
}

}  // namespace raid
