#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <array>
#include <climits>
#include <string>

#include "notify/smtp/smtp_socket.h"
#include "notify/smtp/smtp_tls.h"

namespace raid {

namespace {

// A TLS record and its overhead fit; OpenSSL takes the rest on the next round.
constexpr std::size_t kChunk = 16 * 1024;

std::string TlsErrorText() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return "TLS failure";
    }
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// OpenSSL over two memory buffers: it never sees the socket, so it can neither block past a
// deadline nor write to a connection the server has closed (no SIGPIPE to hold back).
class OpenSslTls final : public SmtpTls {
  public:
    explicit OpenSslTls(SmtpSocket& socket) : socket_(socket) {}
    ~OpenSslTls() override { Free(); }
    OpenSslTls(const OpenSslTls&) = delete;
    OpenSslTls& operator=(const OpenSslTls&) = delete;

    SmtpIo Handshake(const std::string& host, const std::string& caFile,
                     SmtpDeadline deadline) override {
        if (ssl_ != nullptr) {
            return SmtpIo::Failed("TLS has already started");
        }
        ERR_clear_error();
        SmtpIo io = Prepare(host, caFile);
        if (!io.ok()) {
            return io;
        }
        while (true) {
            const int rc = SSL_connect(ssl_);
            if (rc == 1) {
                return Flush(deadline);
            }
            const int error = SSL_get_error(ssl_, rc);
            if (error == SSL_ERROR_WANT_READ) {
                io = Flush(deadline);
                if (io.ok()) {
                    io = Fill(deadline);
                }
                if (!io.ok()) {
                    return io;
                }
                continue;
            }
            const long verify = SSL_get_verify_result(ssl_);
            const std::string failure =
                verify != X509_V_OK ? CertificateRefusal(X509_verify_cert_error_string(verify))
                                    : TlsErrorText();
            ERR_clear_error();
            // The alert OpenSSL wrote tells the server why; it must not delay the failure.
            FlushWithoutWaiting();
            if (verify == X509_V_OK && error == SSL_ERROR_ZERO_RETURN) {
                return SmtpIo::ClosedByPeer();
            }
            return SmtpIo::Failed(failure);
        }
    }

    SmtpIo Send(std::string_view bytes, SmtpDeadline deadline) override {
        if (!Established()) {
            return SmtpIo::Failed("no TLS session");
        }
        while (!bytes.empty()) {
            ERR_clear_error();
            const int chunk = static_cast<int>(std::min(bytes.size(), kChunk));
            const int n = SSL_write(ssl_, bytes.data(), chunk);
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                SmtpIo io = Flush(deadline);
                if (!io.ok()) {
                    return io;
                }
                continue;
            }
            const int error = SSL_get_error(ssl_, n);
            if (error != SSL_ERROR_WANT_READ) {
                return StreamFailure(error);
            }
            // The server renegotiates: its records come first.
            SmtpIo io = Flush(deadline);
            if (io.ok()) {
                io = Fill(deadline);
            }
            if (!io.ok()) {
                return io;
            }
        }
        return SmtpIo::Done();
    }

    SmtpIo Receive(std::span<char> buffer, std::size_t& received, SmtpDeadline deadline) override {
        received = 0;
        if (!Established()) {
            return SmtpIo::Failed("no TLS session");
        }
        const int chunk = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX));
        while (true) {
            ERR_clear_error();
            const int n = SSL_read(ssl_, buffer.data(), chunk);
            // A key update or renegotiation may leave OpenSSL with records to send.
            SmtpIo io = Flush(deadline);
            if (n > 0) {
                received = static_cast<std::size_t>(n);
                return SmtpIo::Done();
            }
            const int error = SSL_get_error(ssl_, n);
            if (error != SSL_ERROR_WANT_READ) {
                return StreamFailure(error);
            }
            if (io.ok()) {
                io = Fill(deadline);
            }
            if (!io.ok()) {
                return io;
            }
        }
    }

    void Close() override {
        if (Established()) {
            // One try at close_notify; a server that does not read it loses nothing.
            SSL_shutdown(ssl_);
            FlushWithoutWaiting();
        }
        Free();
    }

  private:
    SmtpIo Prepare(const std::string& host, const std::string& caFile) {
        context_ = SSL_CTX_new(TLS_client_method());
        if (context_ == nullptr) {
            return SmtpIo::Failed(TlsErrorText());
        }
        SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
        SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
        const int trusted = caFile.empty()
                                ? SSL_CTX_set_default_verify_paths(context_)
                                : SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr);
        if (trusted != 1) {
            const std::string detail = TlsErrorText();
            return SmtpIo::Failed(caFile.empty()
                                      ? "cannot load the system's trusted certificates: " + detail
                                      : CaFileFailure(caFile, detail));
        }
        ssl_ = SSL_new(context_);
        BIO* in = BIO_new(BIO_s_mem());
        BIO* out = BIO_new(BIO_s_mem());
        if (ssl_ == nullptr || in == nullptr || out == nullptr) {
            BIO_free(in);
            BIO_free(out);
            return SmtpIo::Failed(TlsErrorText());
        }
        // An empty input buffer means "wait for the socket", not the end of the stream.
        BIO_set_mem_eof_return(in, -1);
        SSL_set_bio(ssl_, in, out);
        in_ = in;
        out_ = out;
        in6_addr address{};
        const bool literal = ::inet_pton(AF_INET, host.c_str(), &address) == 1 ||
                             ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
        X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
        if (literal) {
            if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
                return SmtpIo::Failed(TlsErrorText());
            }
        } else {
            X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            if (SSL_set_tlsext_host_name(ssl_, host.c_str()) != 1 ||
                SSL_set1_host(ssl_, host.c_str()) != 1) {
                return SmtpIo::Failed(TlsErrorText());
            }
        }
        return SmtpIo::Done();
    }

    bool Established() const { return ssl_ != nullptr && SSL_is_init_finished(ssl_); }

    // Everything OpenSSL has written goes to the server.
    SmtpIo Flush(SmtpDeadline deadline) {
        std::array<char, kChunk> chunk;
        while (BIO_ctrl_pending(out_) > 0) {
            const int n = BIO_read(out_, chunk.data(), static_cast<int>(chunk.size()));
            if (n <= 0) {
                break;
            }
            SmtpIo io = SendAll(socket_, {chunk.data(), static_cast<std::size_t>(n)}, deadline);
            if (!io.ok()) {
                return io;
            }
        }
        return SmtpIo::Done();
    }

    void FlushWithoutWaiting() {
        std::array<char, kChunk> chunk;
        if (out_ == nullptr) {
            return;
        }
        const int n = BIO_read(out_, chunk.data(), static_cast<int>(chunk.size()));
        if (n > 0) {
            SendWithoutWaiting(socket_, {chunk.data(), static_cast<std::size_t>(n)});
        }
    }

    // The next bytes from the server into OpenSSL's input.
    SmtpIo Fill(SmtpDeadline deadline) {
        std::array<char, kChunk> chunk;
        std::size_t received = 0;
        SmtpIo io = ReceiveSomeInTime(socket_, chunk, received, deadline);
        if (!io.ok()) {
            return io;
        }
        if (BIO_write(in_, chunk.data(), static_cast<int>(received)) !=
            static_cast<int>(received)) {
            return SmtpIo::Failed(TlsErrorText());
        }
        return SmtpIo::Done();
    }

    SmtpIo StreamFailure(int error) {
        if (error == SSL_ERROR_ZERO_RETURN) {
            ERR_clear_error();
            return SmtpIo::ClosedByPeer();
        }
        return SmtpIo::Failed(TlsErrorText());
    }

    void Free() {
        if (ssl_ != nullptr) {
            SSL_free(ssl_);  // and the two buffers it owns
            ssl_ = nullptr;
            in_ = nullptr;
            out_ = nullptr;
        }
        if (context_ != nullptr) {
            SSL_CTX_free(context_);
            context_ = nullptr;
        }
        ERR_clear_error();
    }

    SmtpSocket& socket_;
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;   // what the server sent, for OpenSSL to read
    BIO* out_ = nullptr;  // what OpenSSL wrote, for the server
};

}  // namespace

std::unique_ptr<SmtpTls> MakeSmtpTls(SmtpSocket& socket) {
    return std::make_unique<OpenSslTls>(socket);
}

}  // namespace raid
