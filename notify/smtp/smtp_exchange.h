#pragma once

#include <string>

#include "notify/smtp/smtp_client.h"
#include "notify/smtp/smtp_connection.h"

namespace raid {

// The mail transaction of SendMail over a given connection; `date` is the Date header's value
// and `localHost` the EHLO/HELO name.
SmtpOutcome RunSmtpExchange(SmtpConnection& connection, const SmtpServer& server,
                            const MailMessage& message, const std::string& date,
                            const std::string& localHost, const SmtpEvents& events);

}  // namespace raid
