#pragma once

#include <chrono>
#include <string>

namespace raid {

// Every wait on the connection ends at a deadline: connect and every reply have one.
using SmtpDeadline = std::chrono::steady_clock::time_point;

struct SmtpIo {
    enum class Kind { Ok, Timeout, Closed, Failed };
    Kind kind = Kind::Ok;
    std::string error;  // the system's or the TLS library's text when not Ok
    bool ok() const { return kind == Kind::Ok; }

    static SmtpIo Done() { return {}; }
    static SmtpIo Failed(std::string text) { return {Kind::Failed, std::move(text)}; }
    // A server that hangs up while we write is reported as the same event as one that hangs
    // up while we read: which of the two a client sees is a race.
    static SmtpIo ClosedByPeer() { return {Kind::Closed, "connection closed by the server"}; }
    static SmtpIo TimedOut() { return {Kind::Timeout, "no answer within the time-out"}; }
};

}  // namespace raid
