#include "notify/smtp/smtp_connection.h"

#include "notify/smtp/smtp_socket.h"
#include "notify/smtp/smtp_tls.h"

namespace raid {

namespace {

// The socket carries the plain exchange; after StartTls everything goes through the TLS session.
class SocketConnection final : public SmtpConnection {
  public:
    explicit SocketConnection(const SmtpStop* stop) : socket_(MakeSmtpSocket(stop)) {}
    ~SocketConnection() override { Close(); }

    SmtpIo Connect(const std::string& host, int port, SmtpDeadline deadline) override {
        Close();
        return socket_->Connect(host, port, deadline);
    }

    SmtpIo StartTls(const std::string& host, const std::string& caFile,
                    SmtpDeadline deadline) override {
        if (!socket_->IsOpen() || tls_ != nullptr) {
            return SmtpIo::Failed("no plain connection to secure");
        }
        tls_ = MakeSmtpTls(*socket_);
        SmtpIo io = tls_->Handshake(host, caFile, deadline);
        if (!io.ok()) {
            // Nothing more may travel on a connection whose server was not proven, not even
            // in clear.
            Close();
        }
        return io;
    }

    SmtpIo Send(std::string_view bytes, SmtpDeadline deadline) override {
        if (!socket_->IsOpen()) {
            return SmtpIo::Failed("not connected");
        }
        return tls_ != nullptr ? tls_->Send(bytes, deadline) : SendAll(*socket_, bytes, deadline);
    }

    SmtpIo Receive(std::span<char> buffer, std::size_t& received, SmtpDeadline deadline) override {
        received = 0;
        if (!socket_->IsOpen()) {
            return SmtpIo::Failed("not connected");
        }
        if (buffer.empty()) {
            return SmtpIo::Done();
        }
        return tls_ != nullptr ? tls_->Receive(buffer, received, deadline)
                               : ReceiveSomeInTime(*socket_, buffer, received, deadline);
    }

    void Close() override {
        if (tls_ != nullptr) {
            tls_->Close();
            tls_.reset();
        }
        socket_->Close();
    }

  private:
    std::unique_ptr<SmtpSocket> socket_;
    std::unique_ptr<SmtpTls> tls_;
};

}  // namespace

std::unique_ptr<SmtpConnection> MakeSmtpConnection(const SmtpStop* stop) {
    return std::make_unique<SocketConnection>(stop);
}

}  // namespace raid
