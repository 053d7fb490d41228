#include "notify/smtp/smtp_client.h"

#include "notify/compose/mail_date.h"
#include "notify/smtp/smtp_connection.h"
#include "notify/smtp/smtp_exchange.h"

namespace raid {

std::string RecipientRefusalText(const RecipientRefusal& refusal) {
    std::string text = "rcpt to " + refusal.address + ":";
    if (refusal.replyCode != 0) {
        text += " " + std::to_string(refusal.replyCode);
    }
    if (!refusal.replyText.empty()) {
        text += " " + refusal.replyText;
    }
    return text;
}

bool SmtpOutcome::Permanent() const {
    return !accepted && replyCode >= 500 && replyCode < 600 &&
           (step == "mail from" || step == "data" || step == "message");
}

std::string SmtpOutcome::ErrorText() const {
    std::string text;
    for (const RecipientRefusal& refusal : refused) {
        text += (text.empty() ? "" : "; ") + RecipientRefusalText(refusal);
    }
    // Every recipient refused: the refusals are the whole story.
    if (accepted || (step == "rcpt to" && !text.empty())) {
        return text;
    }
    std::string failure = step.empty() ? std::string("mail") : step;
    failure += ":";
    if (replyCode != 0) {
        failure += " " + std::to_string(replyCode);
    }
    if (!replyText.empty()) {
        failure += " " + replyText;
    }
    return text.empty() ? failure : text + "; " + failure;
}

SmtpOutcome SendMail(const SmtpServer& server, const MailMessage& message, Clock& clock,
                     const SmtpEvents& events) {
    const std::int64_t when = message.composedAt != 0 ? message.composedAt : clock.WallSeconds();
    const std::string date = FormatMailDate(LocalMailDateParts(when));
    const std::string localHost = server.localHost.empty() ? LocalHostName() : server.localHost;
    const std::unique_ptr<SmtpConnection> connection = MakeSmtpConnection(events.stop);
    return RunSmtpExchange(*connection, server, message, date, localHost, events);
}

}  // namespace raid
