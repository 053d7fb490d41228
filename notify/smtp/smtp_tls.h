#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "notify/smtp/smtp_io.h"

namespace raid {

class SmtpSocket;

// A TLS client session over an open socket. It reaches the server only through the socket's
// send, receive and wait, so every wait keeps the socket's deadline and stop.
class SmtpTls {
  public:
    virtual ~SmtpTls() = default;
    // The handshake, then the server's certificate: it must chain to one of the certificates
    // in `caFile` (a PEM file, the only roots then) or to the system's trust store when
    // `caFile` is empty, and name `host` (a DNS name or an IP address).
    virtual SmtpIo Handshake(const std::string& host, const std::string& caFile,
                             SmtpDeadline deadline) = 0;
    // All of `bytes`, encrypted.
    virtual SmtpIo Send(std::string_view bytes, SmtpDeadline deadline) = 0;
    // Some decrypted bytes, at least one; Closed when the server ended the session.
    virtual SmtpIo Receive(std::span<char> buffer, std::size_t& received,
                           SmtpDeadline deadline) = 0;
    // One try at close_notify after a finished handshake; never waits.
    virtual void Close() = 0;
};

std::unique_ptr<SmtpTls> MakeSmtpTls(SmtpSocket& socket);

// The texts both TLS backends give for a refused certificate and an unreadable CA file.
inline std::string CertificateRefusal(const std::string& reason) {
    return "certificate not accepted: " + reason;
}
inline std::string CaFileFailure(const std::string& caFile, const std::string& reason) {
    return "cannot load " + caFile + ": " + reason;
}

}  // namespace raid
