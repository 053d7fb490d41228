#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "notify/smtp/smtp_connection.h"
#include "notify/smtp/smtp_socket.h"
#include "notify/smtp/smtp_stop.h"

namespace raid {

namespace {

SmtpIo SystemFailure(int error) {
    if (error == EPIPE || error == ECONNRESET) {
        return SmtpIo::ClosedByPeer();
    }
    return SmtpIo::Failed(std::strerror(error));
}

// Waits until the descriptor is ready for `events`; Ok, Timeout (the deadline
// passed, or a stop's) or Failed.
SmtpIo WaitFor(int fd, short events, SmtpDeadline deadline, const SmtpStop* stop) {
    while (true) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, WaitSliceMs(deadline, stop));
        if (rc > 0) {
            return SmtpIo::Done();
        }
        if (rc == 0) {
            if (WaitOver(deadline, stop)) {
                return SmtpIo::TimedOut();
            }
            continue;
        }
        if (errno != EINTR) {
            return SystemFailure(errno);
        }
    }
}

class PosixSocket final : public SmtpSocket {
  public:
    explicit PosixSocket(const SmtpStop* stop) : stop_(stop) {}
    ~PosixSocket() override { Close(); }

    SmtpIo Connect(const std::string& host, int port, SmtpDeadline deadline) override {
        Close();
        if (port <= 0 || port > 65535) {
            return SmtpIo::Failed("invalid port " + std::to_string(port));
        }
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(port);
        const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        if (rc != 0) {
            return SmtpIo::Failed(rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc));
        }
        SmtpIo last = SmtpIo::Failed("no address for " + host);
        for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
            last = ConnectTo(*a, deadline);
            if (last.ok() || last.kind == SmtpIo::Kind::Timeout) {
                break;
            }
        }
        ::freeaddrinfo(found);
        return last;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    SmtpIo SendSome(std::string_view bytes, std::size_t& sent) override {
        sent = 0;
        if (fd_ < 0) {
            return SmtpIo::Failed("not connected");
        }
        // MSG_NOSIGNAL: a server that has gone makes EPIPE, never a SIGPIPE that would end
        // the whole program.
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            sent = static_cast<std::size_t>(n);
            return SmtpIo::Done();
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return SmtpIo::Done();
        }
        return SystemFailure(errno);
    }

    SmtpIo ReceiveSome(std::span<char> buffer, std::size_t& received) override {
        received = 0;
        if (fd_ < 0) {
            return SmtpIo::Failed("not connected");
        }
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return SmtpIo::Done();
        }
        if (n == 0) {
            return SmtpIo::ClosedByPeer();
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return SmtpIo::Done();
        }
        return SystemFailure(errno);
    }

    SmtpIo Wait(Ready ready, SmtpDeadline deadline) override {
        if (fd_ < 0) {
            return SmtpIo::Failed("not connected");
        }
        return WaitFor(fd_, ready == Ready::Readable ? POLLIN : POLLOUT, deadline, stop_);
    }

    void Close() override {
        if (fd_ >= 0) {
            // No retry on EINTR: the descriptor is gone either way.
            ::close(fd_);
            fd_ = -1;
        }
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
        fd_ = fd;
        return SmtpIo::Done();
    }

    const SmtpStop* stop_;
    int fd_ = -1;
};

}  // namespace

std::unique_ptr<SmtpSocket> MakeSmtpSocket(const SmtpStop* stop) {
    return std::make_unique<PosixSocket>(stop);
}

std::string LocalHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

}  // namespace raid
