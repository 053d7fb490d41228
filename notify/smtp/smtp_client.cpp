#include "notify/smtp/smtp_client.h"

#include "notify/compose/mail_date.h"
#include "notify/smtp/smtp_connection.h"
#include "notify/smtp/smtp_exchange.h"

namespace raid {

std::string SmtpOutcome::ErrorText() const {
    if (accepted) {
        return {};
    }
    std::string text = step.empty() ? std::string("mail") : step;
    text += ":";
    if (replyCode != 0) {
        text += " " + std::to_string(replyCode);
    }
    if (!replyText.empty()) {
        text += " " + replyText;
    }
    return text;
}

SmtpOutcome SendMail(const SmtpServer& server, const MailMessage& message, Clock& clock,
                     const SmtpEvents& events) {
    const std::string date = FormatMailDate(LocalMailDateParts(clock.WallSeconds()));
    const std::string localHost = server.localHost.empty() ? LocalHostName() : server.localHost;
    const std::unique_ptr<SmtpConnection> connection = MakeSmtpConnection();
    return RunSmtpExchange(*connection, server, message, date, localHost, events);
}

}  // namespace raid
