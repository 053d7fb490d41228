#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "notify/smtp/smtp_io.h"

namespace raid {

class SmtpStop;

// A non-blocking TCP connection: the system's part of the byte stream to a mail server. Only
// the waits block, each up to its deadline or a stop's, so the TLS layer above can drive the
// socket in its own rhythm without ever touching it.
class SmtpSocket {
  public:
    enum class Ready { Readable, Writable };

    virtual ~SmtpSocket() = default;
    // The first address of `host` that accepts, tried in the resolver's order.
    virtual SmtpIo Connect(const std::string& host, int port, SmtpDeadline deadline) = 0;
    virtual bool IsOpen() const = 0;
    // What the system takes now, maybe nothing (`sent` 0); never blocks, never raises a signal.
    virtual SmtpIo SendSome(std::string_view bytes, std::size_t& sent) = 0;
    // What has arrived, maybe nothing (`received` 0); Closed once the server ended the stream.
    virtual SmtpIo ReceiveSome(std::span<char> buffer, std::size_t& received) = 0;
    virtual SmtpIo Wait(Ready ready, SmtpDeadline deadline) = 0;
    virtual void Close() = 0;
};

// `stop`, when given, may end every wait early.
std::unique_ptr<SmtpSocket> MakeSmtpSocket(const SmtpStop* stop);

// All of `bytes`, waiting whenever the system takes none.
SmtpIo SendAll(SmtpSocket& socket, std::string_view bytes, SmtpDeadline deadline);

// At least one byte, waiting until some arrive.
SmtpIo ReceiveSomeInTime(SmtpSocket& socket, std::span<char> buffer, std::size_t& received,
                         SmtpDeadline deadline);

// Sends what the system takes at once and drops the rest: for a last word (a TLS alert or
// close_notify) that must not hold up the close of a connection.
void SendWithoutWaiting(SmtpSocket& socket, std::string_view bytes);

}  // namespace raid
