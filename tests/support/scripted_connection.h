#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "notify/smtp/smtp_connection.h"

namespace raid {

// Answers each Receive with the next scripted chunk; sent bytes are kept, and "<TLS>" marks
// where the handshake happened.
class ScriptedConnection final : public SmtpConnection {
  public:
    SmtpIo Connect(const std::string&, int, SmtpDeadline) override {
        calls.push_back("connect");
        return {};
    }
    SmtpIo StartTls(const std::string&, const std::string&, SmtpDeadline) override {
        calls.push_back("tls");
        sent += "<TLS>";
        return {};
    }
    SmtpIo Send(std::string_view bytes, SmtpDeadline) override {
        sent += bytes;
        return {};
    }
    SmtpIo Receive(std::span<char> buffer, std::size_t& received, SmtpDeadline) override {
        received = 0;
        if (incoming.empty()) {
            return {whenEmpty, whenEmpty == SmtpIo::Kind::Closed ? "connection closed" : ""};
        }
        std::string& chunk = incoming.front();
        received = std::min(buffer.size(), chunk.size());
        std::copy_n(chunk.begin(), received, buffer.begin());
        chunk.erase(0, received);
        if (chunk.empty()) {
            incoming.pop_front();
        }
        return {};
    }
    void Close() override { calls.push_back("close"); }

    std::deque<std::string> incoming;
    SmtpIo::Kind whenEmpty = SmtpIo::Kind::Closed;
    std::string sent;
    std::vector<std::string> calls;
};

}  // namespace raid
