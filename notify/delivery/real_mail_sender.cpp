#include "notify/delivery/mail_sender.h"

namespace raid {

MailSender RealMailSender() {
    return [](const SmtpServer& server, const MailMessage& message, Clock& clock,
              const SmtpEvents& events) { return SendMail(server, message, clock, events); };
}

}  // namespace raid
