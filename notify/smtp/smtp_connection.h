#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "notify/smtp/smtp_io.h"

namespace raid {

// One byte stream to a mail server, plain at first and under TLS after StartTls. It never
// blocks past a deadline and never raises a signal on a connection the peer closed.
class SmtpConnection {
  public:
    virtual ~SmtpConnection() = default;
    virtual SmtpIo Connect(const std::string& host, int port, SmtpDeadline deadline) = 0;
    // TLS handshake on the open connection; the server's certificate must chain to `caFile`
    // (or the system's trust store when empty) and name `host`.
    virtual SmtpIo StartTls(const std::string& host, const std::string& caFile,
                            SmtpDeadline deadline) = 0;
    virtual SmtpIo Send(std::string_view bytes, SmtpDeadline deadline) = 0;
    // Some bytes, at least one, into `buffer`; Closed when the server ended the stream.
    virtual SmtpIo Receive(std::span<char> buffer, std::size_t& received,
                           SmtpDeadline deadline) = 0;
    virtual void Close() = 0;
};

class SmtpStop;
// `stop`, when given, may end every wait early (see SmtpStop).
std::unique_ptr<SmtpConnection> MakeSmtpConnection(const SmtpStop* stop = nullptr);

// The machine's host name for EHLO/HELO (UTF-8).
std::string LocalHostName();

}  // namespace raid
