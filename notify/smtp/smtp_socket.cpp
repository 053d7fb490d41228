#include "notify/smtp/smtp_socket.h"

namespace raid {

SmtpIo SendAll(SmtpSocket& socket, std::string_view bytes, SmtpDeadline deadline) {
    if (!socket.IsOpen()) {
        return SmtpIo::Failed("not connected");
    }
    while (!bytes.empty()) {
        std::size_t sent = 0;
        SmtpIo io = socket.SendSome(bytes, sent);
        if (!io.ok()) {
            return io;
        }
        if (sent == 0) {
            io = socket.Wait(SmtpSocket::Ready::Writable, deadline);
            if (!io.ok()) {
                return io;
            }
        }
        bytes.remove_prefix(sent);
    }
    return SmtpIo::Done();
}

SmtpIo ReceiveSomeInTime(SmtpSocket& socket, std::span<char> buffer, std::size_t& received,
                         SmtpDeadline deadline) {
    received = 0;
    if (!socket.IsOpen()) {
        return SmtpIo::Failed("not connected");
    }
    if (buffer.empty()) {
        return SmtpIo::Done();
    }
    while (true) {
        SmtpIo io = socket.ReceiveSome(buffer, received);
        if (!io.ok() || received > 0) {
            return io;
        }
        io = socket.Wait(SmtpSocket::Ready::Readable, deadline);
        if (!io.ok()) {
            return io;
        }
    }
}

void SendWithoutWaiting(SmtpSocket& socket, std::string_view bytes) {
    while (!bytes.empty() && socket.IsOpen()) {
        std::size_t sent = 0;
        if (!socket.SendSome(bytes, sent).ok() || sent == 0) {
            return;
        }
        bytes.remove_prefix(sent);
    }
}

}  // namespace raid
