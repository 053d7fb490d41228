#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "notify/settings/mail_settings.h"
#include "notify/smtp/smtp_client.h"

namespace raid {

// A notification of `kind`: the event report, the system information and the
// kind's contents template, to every recipient, under "[" + title +
// " Message] " and the kind's subject template.
MailMessage ComposeNotification(const MailSettings& settings, std::uint8_t kind,
                                const std::vector<std::string>& eventReport,
                                const std::vector<std::string>& systemInfo,
                                const std::string& appTitle);

// The test mail: to the sender address only.
MailMessage ComposeTestMail(const MailSettings& settings,
                            const std::vector<std::string>& systemInfo,
                            const std::string& appTitle);

// Body lines as the SMTP exchange may carry them: the system information's
// leading line feed and any line break inside a text become line ends of
// their own (a bare line feed in a mail is refused by many servers and would
// slip past the dot-stuffing), and NUL characters are dropped.
std::vector<std::string> BodyLines(const std::vector<std::string>& lines);

struct ServerChoice {
    SmtpServer server;
    std::string error;  // set when the settings cannot make a server
};

// The server, login and time-out ("TimeOut" 0 or empty: 30 s) of `settings`.
ServerChoice ServerFromSettings(const MailSettings& settings);

// Checked again just before sending, whatever wrote the settings or the
// templates: the problem that would let the message break the exchange, or
// empty text.
std::string MessageProblem(const MailMessage& message);

}  // namespace raid
