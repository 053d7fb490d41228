#include "notify/mail_sender.h"

namespace raid {

// The SMTP client is not part of this build yet: every attempt fails, so
// mails wait in the outbox until a build with the client runs.
MailSender RealMailSender() {
    return [](const SmtpServer&, const MailMessage&, Clock&, const SmtpEvents&) {
        SmtpOutcome outcome;
        outcome.step = "connect";
        outcome.replyText = "this build has no SMTP client";
        return outcome;
    };
}

std::string SmtpOutcome::ErrorText() const {
    if (replyCode != 0) {
        return step + ": " + std::to_string(replyCode) + " " + replyText;
    }
    return step + ": " + replyText;
}

}  // namespace raid
