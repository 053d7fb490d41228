// winsock2.h before windows.h, or the declarations clash.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "device/windows_text.h"
#include "notify/smtp/smtp_connection.h"
#include "notify/smtp/smtp_socket.h"
#include "notify/smtp/smtp_stop.h"

namespace raid {

namespace {

SmtpIo SystemFailure(int error) {
    if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN) {
        return SmtpIo::ClosedByPeer();
    }
    return SmtpIo::Failed(WindowsErrorText(static_cast<std::uint32_t>(error)));
}

// The socket's own failure once select() has flagged it (a refused connect shows there).
SmtpIo PendingFailure(SOCKET s) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        error = ::WSAGetLastError();
    }
    return error != 0 ? SystemFailure(error) : SmtpIo::Done();
}

// select(), not WSAPoll: WSAPoll of older Windows versions never reports a failed connect.
SmtpIo WaitFor(SOCKET s, SmtpSocket::Ready ready, SmtpDeadline deadline, const SmtpStop* stop) {
    while (true) {
        fd_set wanted;
        fd_set failed;
        FD_ZERO(&wanted);
        FD_ZERO(&failed);
        FD_SET(s, &wanted);
        FD_SET(s, &failed);
        const int ms = WaitSliceMs(deadline, stop);
        timeval slice{ms / 1000, (ms % 1000) * 1000};
        const bool reading = ready == SmtpSocket::Ready::Readable;
        const int rc =
            ::select(0, reading ? &wanted : nullptr, reading ? nullptr : &wanted, &failed, &slice);
        if (rc == SOCKET_ERROR) {
            return SystemFailure(::WSAGetLastError());
        }
        if (rc > 0) {
            if (FD_ISSET(s, &failed)) {
                SmtpIo io = PendingFailure(s);
                return io.ok() ? SmtpIo::Failed("the connection failed") : io;
            }
            return SmtpIo::Done();
        }
        if (WaitOver(deadline, stop)) {
            return SmtpIo::TimedOut();
        }
    }
}

// Winsock is started and cleaned up by each socket object: nothing process-wide to remember.
class WinsockSocket final : public SmtpSocket {
  public:
    explicit WinsockSocket(const SmtpStop* stop) : stop_(stop) {
        WSADATA data{};
        startError_ = ::WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockSocket() override {
        Close();
        if (startError_ == 0) {
            ::WSACleanup();
        }
    }
    WinsockSocket(const WinsockSocket&) = delete;
    WinsockSocket& operator=(const WinsockSocket&) = delete;

    SmtpIo Connect(const std::string& host, int port, SmtpDeadline deadline) override {
        Close();
        if (startError_ != 0) {
            return SmtpIo::Failed("Winsock did not start: " +
                                  WindowsErrorText(static_cast<std::uint32_t>(startError_)));
        }
        if (port <= 0 || port > 65535) {
            return SmtpIo::Failed("invalid port " + std::to_string(port));
        }
        const std::wstring wideHost = Wide(host);
        if (wideHost.empty()) {
            return SmtpIo::Failed("no address for " + host);
        }
        ADDRINFOW hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        ADDRINFOW* found = nullptr;
        const std::wstring service = std::to_wstring(port);
        const int rc = ::GetAddrInfoW(wideHost.c_str(), service.c_str(), &hints, &found);
        if (rc != 0) {
            return SmtpIo::Failed(WindowsErrorText(static_cast<std::uint32_t>(rc)));
        }
        SmtpIo last = SmtpIo::Failed("no address for " + host);
        for (const ADDRINFOW* a = found; a != nullptr; a = a->ai_next) {
            last = ConnectTo(*a, deadline);
            if (last.ok() || last.kind == SmtpIo::Kind::Timeout) {
                break;
            }
        }
        ::FreeAddrInfoW(found);
        return last;
    }

    bool IsOpen() const override { return socket_ != INVALID_SOCKET; }

    SmtpIo SendSome(std::string_view bytes, std::size_t& sent) override {
        sent = 0;
        if (socket_ == INVALID_SOCKET) {
            return SmtpIo::Failed("not connected");
        }
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int n = ::send(socket_, bytes.data(), chunk, 0);
        if (n != SOCKET_ERROR) {
            sent = static_cast<std::size_t>(n);
            return SmtpIo::Done();
        }
        const int error = ::WSAGetLastError();
        return error == WSAEWOULDBLOCK || error == WSAEINTR ? SmtpIo::Done() : SystemFailure(error);
    }

    SmtpIo ReceiveSome(std::span<char> buffer, std::size_t& received) override {
        received = 0;
        if (socket_ == INVALID_SOCKET) {
            return SmtpIo::Failed("not connected");
        }
        const int chunk = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX));
        const int n = ::recv(socket_, buffer.data(), chunk, 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return SmtpIo::Done();
        }
        if (n == 0) {
            return SmtpIo::ClosedByPeer();
        }
        const int error = ::WSAGetLastError();
        return error == WSAEWOULDBLOCK || error == WSAEINTR ? SmtpIo::Done() : SystemFailure(error);
    }

    SmtpIo Wait(Ready ready, SmtpDeadline deadline) override {
        if (socket_ == INVALID_SOCKET) {
            return SmtpIo::Failed("not connected");
        }
        return WaitFor(socket_, ready, deadline, stop_);
    }

    void Close() override {
        if (socket_ != INVALID_SOCKET) {
            ::closesocket(socket_);
            socket_ = INVALID_SOCKET;
        }
    }

  private:
    SmtpIo ConnectTo(const ADDRINFOW& a, SmtpDeadline deadline) {
        // Not inherited: a notification command started meanwhile must not hold the connection.
        const SOCKET s = ::WSASocketW(a.ai_family, a.ai_socktype, a.ai_protocol, nullptr, 0,
                                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET) {
            return SystemFailure(::WSAGetLastError());
        }
        u_long nonBlocking = 1;
        if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            const int error = ::WSAGetLastError();
            ::closesocket(s);
            return SystemFailure(error);
        }
        if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) != 0) {
            const int error = ::WSAGetLastError();
            SmtpIo io = error == WSAEWOULDBLOCK ? WaitFor(s, Ready::Writable, deadline, stop_)
                                                : SystemFailure(error);
            if (io.ok()) {
                io = PendingFailure(s);
            }
            if (!io.ok()) {
                ::closesocket(s);
                return io;
            }
        }
        socket_ = s;
        return SmtpIo::Done();
    }

    const SmtpStop* stop_;
    int startError_ = 0;
    SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

std::unique_ptr<SmtpSocket> MakeSmtpSocket(const SmtpStop* stop) {
    return std::make_unique<WinsockSocket>(stop);
}

// The DNS host name needs no Winsock, unlike gethostname().
std::string LocalHostName() {
    wchar_t name[256] = {};
    DWORD size = ARRAYSIZE(name);
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size) || size == 0) {
        return "localhost";
    }
    std::string host = Utf8(std::wstring_view(name, size));
    return host.empty() ? "localhost" : host;
}

}  // namespace raid
