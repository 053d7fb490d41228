#pragma once

#include <functional>

#include "notify/smtp/smtp_client.h"

namespace raid {

// One mail transaction, as SendMail does it; tests put a scripted server in
// its place.
using MailSender =
    std::function<SmtpOutcome(const SmtpServer&, const MailMessage&, Clock&, const SmtpEvents&)>;

// The SMTP client of this program.
MailSender RealMailSender();

}  // namespace raid
