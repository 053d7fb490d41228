#pragma once

#include <string>

#include "notify/smtp/smtp_client.h"

namespace raid {

// The value of the From header: the address alone, or the display name and the address.
std::string FromHeaderValue(const std::string& name, const std::string& address);

// The header block in its fixed order (From, Subject, To, the MIME headers of a
// quoted-printable body, Date, Message-ID when the message has one, X-Priority, X-Library),
// each field folded and ended by CR LF;
// fields with an empty value are left out. The empty line after the block is not included.
std::string MailHeaderBlock(const MailMessage& message, const std::string& date,
                            bool quotedPrintableBody);

}  // namespace raid
