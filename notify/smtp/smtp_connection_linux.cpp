#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "notify/smtp/smtp_connection.h"
#include "notify/smtp/smtp_stop.h"

namespace raid {

namespace {

SmtpIo Ok() {
    return {};
}

SmtpIo Failure(SmtpIo::Kind kind, std::string text) {
    return {kind, std::move(text)};
}

SmtpIo ClosedByPeer() {
    return Failure(SmtpIo::Kind::Closed, "connection closed by the server");
}

// A server that hangs up while we write is reported as the same event as one
// that hangs up while we read: which of the two a client sees is a race.
SmtpIo SystemFailure(int error) {
    if (error == EPIPE || error == ECONNRESET) {
        return ClosedByPeer();
    }
    return Failure(SmtpIo::Kind::Failed, std::strerror(error));
}

SmtpIo TimedOut() {
    return Failure(SmtpIo::Kind::Timeout, "no answer within the time-out");
}

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

// OpenSSL writes to the socket with write(), which raises SIGPIPE when the server has gone.
// The signal is held back on this thread while a connection lives, and one it caused is
// taken out of the pending set before the old mask comes back.
class SigpipeHold {
  public:
    SigpipeHold() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        wasPending_ = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
        held_ = pthread_sigmask(SIG_BLOCK, &pipe_, &old_) == 0;
    }
    ~SigpipeHold() {
        if (!held_) {
            return;
        }
        sigset_t pending;
        sigemptyset(&pending);
        if (!wasPending_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
            const timespec zero{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    SigpipeHold(const SigpipeHold&) = delete;
    SigpipeHold& operator=(const SigpipeHold&) = delete;

  private:
    sigset_t pipe_{};
    sigset_t old_{};
    bool wasPending_ = false;
    bool held_ = false;
};

// Waits until the descriptor is ready for `events`; Ok, Timeout (the deadline
// passed, or a stop's) or Failed.
SmtpIo WaitFor(int fd, short events, SmtpDeadline deadline, const SmtpStop* stop) {
    while (true) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, WaitSliceMs(deadline, stop));
        if (rc > 0) {
            return Ok();
        }
        if (rc == 0) {
            if (WaitOver(deadline, stop)) {
                return TimedOut();
            }
            continue;
        }
        if (errno != EINTR) {
            return SystemFailure(errno);
        }
    }
}

class LinuxSmtpConnection final : public SmtpConnection {
  public:
    explicit LinuxSmtpConnection(const SmtpStop* stop) : stop_(stop) {}
    ~LinuxSmtpConnection() override { Close(); }

    SmtpIo Connect(const std::string& host, int port, SmtpDeadline deadline) override {
        if (port <= 0 || port > 65535) {
            return Failure(SmtpIo::Kind::Failed, "invalid port " + std::to_string(port));
        }
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(port);
        const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        if (rc != 0) {
            return Failure(SmtpIo::Kind::Failed,
                           rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc));
        }
        SmtpIo last = Failure(SmtpIo::Kind::Failed, "no address for " + host);
        for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
            last = ConnectTo(*a, deadline);
            if (last.ok() || last.kind == SmtpIo::Kind::Timeout) {
                break;
            }
        }
        ::freeaddrinfo(found);
        return last;
    }

    SmtpIo StartTls(const std::string& host, const std::string& caFile,
                    SmtpDeadline deadline) override {
        if (fd_ < 0 || ssl_ != nullptr) {
            return Failure(SmtpIo::Kind::Failed, "no plain connection to secure");
        }
        ERR_clear_error();
        context_ = SSL_CTX_new(TLS_client_method());
        if (context_ == nullptr) {
            return Failure(SmtpIo::Kind::Failed, TlsErrorText());
        }
        SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
        SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
        // A server that closes without close_notify has still ended the stream.
        SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
        const int trusted = caFile.empty()
                                ? SSL_CTX_set_default_verify_paths(context_)
                                : SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr);
        if (trusted != 1) {
            const std::string detail = TlsErrorText();
            return Failure(SmtpIo::Kind::Failed,
                           caFile.empty()
                               ? "cannot load the system's trusted certificates: " + detail
                               : "cannot load " + caFile + ": " + detail);
        }
        ssl_ = SSL_new(context_);
        if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_) != 1) {
            return Failure(SmtpIo::Kind::Failed, TlsErrorText());
        }
        in6_addr address{};
        const bool literal = ::inet_pton(AF_INET, host.c_str(), &address) == 1 ||
                             ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
        X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
        if (literal) {
            if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
                return Failure(SmtpIo::Kind::Failed, TlsErrorText());
            }
        } else {
            X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            if (SSL_set_tlsext_host_name(ssl_, host.c_str()) != 1 ||
                SSL_set1_host(ssl_, host.c_str()) != 1) {
                return Failure(SmtpIo::Kind::Failed, TlsErrorText());
            }
        }
        while (true) {
            errno = 0;
            const int rc = SSL_connect(ssl_);
            if (rc == 1) {
                return Ok();
            }
            const int error = SSL_get_error(ssl_, rc);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
                SmtpIo waited =
                    WaitFor(fd_, error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline, stop_);
                if (!waited.ok()) {
                    return waited;
                }
                continue;
            }
            const long verify = SSL_get_verify_result(ssl_);
            if (verify != X509_V_OK) {
                ERR_clear_error();
                return Failure(SmtpIo::Kind::Failed, std::string("certificate not accepted: ") +
                                                         X509_verify_cert_error_string(verify));
            }
            if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) {
                return errno != 0 ? SystemFailure(errno) : ClosedByPeer();
            }
            if (error == SSL_ERROR_ZERO_RETURN) {
                return ClosedByPeer();
            }
            return Failure(SmtpIo::Kind::Failed, TlsErrorText());
        }
    }

    SmtpIo Send(std::string_view bytes, SmtpDeadline deadline) override {
        if (fd_ < 0) {
            return Failure(SmtpIo::Kind::Failed, "not connected");
        }
        while (!bytes.empty()) {
            std::size_t sent = 0;
            SmtpIo io = ssl_ != nullptr ? TlsSend(bytes, sent, deadline) : PlainSend(bytes, sent);
            if (!io.ok()) {
                return io;
            }
            if (sent == 0) {
                io = WaitFor(fd_, POLLOUT, deadline, stop_);
                if (!io.ok()) {
                    return io;
                }
            }
            bytes.remove_prefix(sent);
        }
        return Ok();
    }

    SmtpIo Receive(std::span<char> buffer, std::size_t& received, SmtpDeadline deadline) override {
        received = 0;
        if (fd_ < 0) {
            return Failure(SmtpIo::Kind::Failed, "not connected");
        }
        if (buffer.empty()) {
            return Ok();
        }
        while (true) {
            short wait = 0;
            SmtpIo io = ssl_ != nullptr ? TlsReceive(buffer, received, wait)
                                        : PlainReceive(buffer, received, wait);
            if (!io.ok() || received > 0) {
                return io;
            }
            io = WaitFor(fd_, wait, deadline, stop_);
            if (!io.ok()) {
                return io;
            }
        }
    }

    void Close() override {
        if (ssl_ != nullptr) {
            // One try at close_notify; a server that does not read it loses nothing.
            if (SSL_is_init_finished(ssl_)) {
                SSL_shutdown(ssl_);
            }
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
        if (context_ != nullptr) {
            SSL_CTX_free(context_);
            context_ = nullptr;
        }
        if (fd_ >= 0) {
            // No retry on EINTR: the descriptor is gone either way.
            ::close(fd_);
            fd_ = -1;
        }
        ERR_clear_error();
    }

  private:
    SmtpIo ConnectTo(const addrinfo& a, SmtpDeadline deadline) {
        const int fd =
            ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
        if (fd < 0) {
            return SystemFailure(errno);
        }
        int rc = ::connect(fd, a.ai_addr, a.ai_addrlen);
        if (rc < 0 && errno != EINPROGRESS && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            return SystemFailure(error);
        }
        if (rc < 0) {
            SmtpIo waited = WaitFor(fd, POLLOUT, deadline, stop_);
            if (!waited.ok()) {
                ::close(fd);
                return waited;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) {
                error = errno;
            }
            if (error != 0) {
                ::close(fd);
                return SystemFailure(error);
            }
        }
        Close();
        fd_ = fd;
        return Ok();
    }

    SmtpIo PlainSend(std::string_view bytes, std::size_t& sent) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            sent = static_cast<std::size_t>(n);
            return Ok();
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return Ok();
        }
        return SystemFailure(errno);
    }

    SmtpIo TlsSend(std::string_view bytes, std::size_t& sent, SmtpDeadline deadline) {
        ERR_clear_error();
        const int chunk = bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
        errno = 0;
        const int n = SSL_write(ssl_, bytes.data(), chunk);
        if (n > 0) {
            sent = static_cast<std::size_t>(n);
            return Ok();
        }
        const int error = SSL_get_error(ssl_, n);
        if (error == SSL_ERROR_WANT_WRITE) {
            return Ok();
        }
        if (error == SSL_ERROR_WANT_READ) {
            return WaitFor(fd_, POLLIN, deadline, stop_);
        }
        return TlsStreamFailure(error);
    }

    SmtpIo PlainReceive(std::span<char> buffer, std::size_t& received, short& wait) {
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Ok();
        }
        if (n == 0) {
            return ClosedByPeer();
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            wait = POLLIN;
            return Ok();
        }
        return SystemFailure(errno);
    }

    // Reads what OpenSSL already holds before waiting on the socket.
    SmtpIo TlsReceive(std::span<char> buffer, std::size_t& received, short& wait) {
        ERR_clear_error();
        const int chunk = buffer.size() > INT_MAX ? INT_MAX : static_cast<int>(buffer.size());
        errno = 0;
        const int n = SSL_read(ssl_, buffer.data(), chunk);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Ok();
        }
        const int error = SSL_get_error(ssl_, n);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            wait = error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
            return Ok();
        }
        return TlsStreamFailure(error);
    }

    SmtpIo TlsStreamFailure(int error) {
        if (error == SSL_ERROR_ZERO_RETURN) {
            return ClosedByPeer();
        }
        if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) {
            return errno != 0 ? SystemFailure(errno) : ClosedByPeer();
        }
        return Failure(SmtpIo::Kind::Failed, TlsErrorText());
    }

    SigpipeHold sigpipe_;
    const SmtpStop* stop_;
    int fd_ = -1;
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
};

}  // namespace

std::unique_ptr<SmtpConnection> MakeSmtpConnection(const SmtpStop* stop) {
    return std::make_unique<LinuxSmtpConnection>(stop);
}

std::string LocalHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

}  // namespace raid
