// Winsock is bound at run time, so nothing beyond OpenSSL has to be linked for mail; the
// system's root certificates come from crypt32, bound the same way.
// winsock2.h before windows.h, and wincrypt.h after it, or the declarations clash.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <wincrypt.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <climits>
#include <string>

#include "notify/smtp/smtp_connection.h"
#include "notify/smtp/smtp_stop.h"

namespace raid {

namespace {

struct WinsockApi {
    HMODULE module = nullptr;
    int(WSAAPI* startup)(WORD, LPWSADATA) = nullptr;
    int(WSAAPI* cleanup)() = nullptr;
    int(WSAAPI* lastError)() = nullptr;
    int(WSAAPI* getAddrInfo)(PCSTR, PCSTR, const ADDRINFOA*, PADDRINFOA*) = nullptr;
    void(WSAAPI* freeAddrInfo)(PADDRINFOA) = nullptr;
    SOCKET(WSAAPI* openSocket)(int, int, int) = nullptr;
    int(WSAAPI* ioctl)(SOCKET, long, u_long*) = nullptr;
    int(WSAAPI* connectTo)(SOCKET, const sockaddr*, int) = nullptr;
    int(WSAAPI* poll)(LPWSAPOLLFD, ULONG, INT) = nullptr;
    int(WSAAPI* getOption)(SOCKET, int, int, char*, int*) = nullptr;
    int(WSAAPI* sendBytes)(SOCKET, const char*, int, int) = nullptr;
    int(WSAAPI* receiveBytes)(SOCKET, char*, int, int) = nullptr;
    int(WSAAPI* closeSocket)(SOCKET) = nullptr;
    int(WSAAPI* hostName)(char*, int) = nullptr;
    INT(WSAAPI* presentationToNumber)(INT, PCSTR, PVOID) = nullptr;
    bool started = false;

    template <typename F>
    bool Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        return f != nullptr;
    }

    bool Load() {
        module = LoadLibraryA("ws2_32.dll");
        if (module == nullptr) {
            return false;
        }
        const bool bound = Bind(startup, "WSAStartup") && Bind(cleanup, "WSACleanup") &&
                           Bind(lastError, "WSAGetLastError") && Bind(getAddrInfo, "getaddrinfo") &&
                           Bind(freeAddrInfo, "freeaddrinfo") && Bind(openSocket, "socket") &&
                           Bind(ioctl, "ioctlsocket") && Bind(connectTo, "connect") &&
                           Bind(poll, "WSAPoll") && Bind(getOption, "getsockopt") &&
                           Bind(sendBytes, "send") && Bind(receiveBytes, "recv") &&
                           Bind(closeSocket, "closesocket") && Bind(hostName, "gethostname") &&
                           Bind(presentationToNumber, "inet_pton");
        WSADATA data{};
        started = bound && startup(MAKEWORD(2, 2), &data) == 0;
        return started;
    }

    WinsockApi() = default;
    WinsockApi(const WinsockApi&) = delete;
    WinsockApi& operator=(const WinsockApi&) = delete;
    ~WinsockApi() {
        if (started) {
            cleanup();
        }
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};

std::string SystemText(DWORD code) {
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
    std::string out(text, n);
    while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out.empty() ? "Winsock error " + std::to_string(code) : out;
}

SmtpIo Ok() {
    return {};
}

SmtpIo Failure(SmtpIo::Kind kind, std::string text) {
    return {kind, std::move(text)};
}

SmtpIo TimedOut() {
    return Failure(SmtpIo::Kind::Timeout, "no answer within the time-out");
}

SmtpIo ClosedByPeer() {
    return Failure(SmtpIo::Kind::Closed, "connection closed by the server");
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

// The machine's trusted roots (the "ROOT" system store) into OpenSSL's store.
bool LoadSystemRoots(SSL_CTX* context) {
    HMODULE crypt = LoadLibraryA("crypt32.dll");
    if (crypt == nullptr) {
        return false;
    }
    using OpenStore = HCERTSTORE(WINAPI*)(HCRYPTPROV_LEGACY, LPCSTR);
    using NextCert = PCCERT_CONTEXT(WINAPI*)(HCERTSTORE, PCCERT_CONTEXT);
    using CloseStore = BOOL(WINAPI*)(HCERTSTORE, DWORD);
    const auto open = reinterpret_cast<OpenStore>(
        reinterpret_cast<void*>(GetProcAddress(crypt, "CertOpenSystemStoreA")));
    const auto next = reinterpret_cast<NextCert>(
        reinterpret_cast<void*>(GetProcAddress(crypt, "CertEnumCertificatesInStore")));
    const auto close = reinterpret_cast<CloseStore>(
        reinterpret_cast<void*>(GetProcAddress(crypt, "CertCloseStore")));
    bool any = false;
    if (open != nullptr && next != nullptr && close != nullptr) {
        HCERTSTORE store = open(0, "ROOT");
        if (store != nullptr) {
            X509_STORE* trusted = SSL_CTX_get_cert_store(context);
            for (PCCERT_CONTEXT cert = next(store, nullptr); cert != nullptr;
                 cert = next(store, cert)) {
                const unsigned char* der = cert->pbCertEncoded;
                X509* x509 = d2i_X509(nullptr, &der, static_cast<long>(cert->cbCertEncoded));
                if (x509 != nullptr) {
                    any = X509_STORE_add_cert(trusted, x509) == 1 || any;
                    X509_free(x509);
                }
            }
            close(store, 0);
        }
    }
    FreeLibrary(crypt);
    ERR_clear_error();
    return any;
}

class WindowsSmtpConnection final : public SmtpConnection {
  public:
    explicit WindowsSmtpConnection(const SmtpStop* stop = nullptr) : stop_(stop) {
        loaded_ = api_.Load();
    }
    ~WindowsSmtpConnection() override { Close(); }

    SmtpIo Connect(const std::string& host, int port, SmtpDeadline deadline) override {
        if (!loaded_) {
            return Failure(SmtpIo::Kind::Failed, "Winsock (ws2_32.dll) is not available");
        }
        if (port <= 0 || port > 65535) {
            return Failure(SmtpIo::Kind::Failed, "invalid port " + std::to_string(port));
        }
        ADDRINFOA hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        PADDRINFOA found = nullptr;
        const std::string service = std::to_string(port);
        const int rc = api_.getAddrInfo(host.c_str(), service.c_str(), &hints, &found);
        if (rc != 0) {
            return Failure(SmtpIo::Kind::Failed, SystemText(static_cast<DWORD>(rc)));
        }
        SmtpIo last = Failure(SmtpIo::Kind::Failed, "no address for " + host);
        for (PADDRINFOA a = found; a != nullptr; a = a->ai_next) {
            last = ConnectTo(*a, deadline);
            if (last.ok() || last.kind == SmtpIo::Kind::Timeout) {
                break;
            }
        }
        api_.freeAddrInfo(found);
        return last;
    }

    SmtpIo StartTls(const std::string& host, const std::string& caFile,
                    SmtpDeadline deadline) override {
        if (socket_ == INVALID_SOCKET || ssl_ != nullptr) {
            return Failure(SmtpIo::Kind::Failed, "no plain connection to secure");
        }
        ERR_clear_error();
        context_ = SSL_CTX_new(TLS_client_method());
        if (context_ == nullptr) {
            return Failure(SmtpIo::Kind::Failed, TlsErrorText());
        }
        SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
        SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
        if (caFile.empty()) {
            if (!LoadSystemRoots(context_)) {
                return Failure(SmtpIo::Kind::Failed,
                               "cannot load the system's trusted certificates");
            }
        } else if (SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr) != 1) {
            return Failure(SmtpIo::Kind::Failed, "cannot load " + caFile + ": " + TlsErrorText());
        }
        ssl_ = SSL_new(context_);
        if (ssl_ == nullptr || SSL_set_fd(ssl_, static_cast<int>(socket_)) != 1) {
            return Failure(SmtpIo::Kind::Failed, TlsErrorText());
        }
        IN6_ADDR address{};
        const bool literal = api_.presentationToNumber(AF_INET, host.c_str(), &address) == 1 ||
                             api_.presentationToNumber(AF_INET6, host.c_str(), &address) == 1;
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
            const int rc = SSL_connect(ssl_);
            if (rc == 1) {
                return Ok();
            }
            const int error = SSL_get_error(ssl_, rc);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
                const SmtpIo waited =
                    WaitFor(error == SSL_ERROR_WANT_READ ? POLLRDNORM : POLLWRNORM, deadline);
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
            return TlsStreamFailure(error);
        }
    }

    SmtpIo Send(std::string_view bytes, SmtpDeadline deadline) override {
        if (socket_ == INVALID_SOCKET) {
            return Failure(SmtpIo::Kind::Failed, "not connected");
        }
        while (!bytes.empty()) {
            const int chunk = bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
            int n = 0;
            short wait = POLLWRNORM;
            if (ssl_ != nullptr) {
                ERR_clear_error();
                n = SSL_write(ssl_, bytes.data(), chunk);
                if (n <= 0) {
                    const int error = SSL_get_error(ssl_, n);
                    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
                        return TlsStreamFailure(error);
                    }
                    wait = error == SSL_ERROR_WANT_READ ? POLLRDNORM : POLLWRNORM;
                    n = 0;
                }
            } else {
                n = api_.sendBytes(socket_, bytes.data(), chunk, 0);
                if (n == SOCKET_ERROR) {
                    const int error = api_.lastError();
                    if (error != WSAEWOULDBLOCK) {
                        return Failure(SmtpIo::Kind::Failed, SystemText(static_cast<DWORD>(error)));
                    }
                    n = 0;
                }
            }
            if (n == 0) {
                const SmtpIo waited = WaitFor(wait, deadline);
                if (!waited.ok()) {
                    return waited;
                }
                continue;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return Ok();
    }

    SmtpIo Receive(std::span<char> buffer, std::size_t& received, SmtpDeadline deadline) override {
        received = 0;
        if (socket_ == INVALID_SOCKET) {
            return Failure(SmtpIo::Kind::Failed, "not connected");
        }
        if (buffer.empty()) {
            return Ok();
        }
        const int chunk = buffer.size() > INT_MAX ? INT_MAX : static_cast<int>(buffer.size());
        while (true) {
            short wait = POLLRDNORM;
            if (ssl_ != nullptr) {
                ERR_clear_error();
                const int n = SSL_read(ssl_, buffer.data(), chunk);
                if (n > 0) {
                    received = static_cast<std::size_t>(n);
                    return Ok();
                }
                const int error = SSL_get_error(ssl_, n);
                if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
                    return TlsStreamFailure(error);
                }
                wait = error == SSL_ERROR_WANT_READ ? POLLRDNORM : POLLWRNORM;
            } else {
                const int n = api_.receiveBytes(socket_, buffer.data(), chunk, 0);
                if (n > 0) {
                    received = static_cast<std::size_t>(n);
                    return Ok();
                }
                if (n == 0) {
                    return ClosedByPeer();
                }
                const int error = api_.lastError();
                if (error != WSAEWOULDBLOCK) {
                    return Failure(SmtpIo::Kind::Failed, SystemText(static_cast<DWORD>(error)));
                }
            }
            const SmtpIo waited = WaitFor(wait, deadline);
            if (!waited.ok()) {
                return waited;
            }
        }
    }

    void Close() override {
        if (ssl_ != nullptr) {
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
        if (socket_ != INVALID_SOCKET) {
            api_.closeSocket(socket_);
            socket_ = INVALID_SOCKET;
        }
        ERR_clear_error();
    }

    std::string HostName() {
        char name[256] = {};
        if (!loaded_ || api_.hostName(name, static_cast<int>(sizeof name) - 1) != 0 ||
            name[0] == '\0') {
            return "localhost";
        }
        return name;
    }

  private:
    SmtpIo WaitFor(short events, SmtpDeadline deadline) {
        WSAPOLLFD p{};
        p.fd = socket_;
        p.events = events;
        while (true) {
            const int rc = api_.poll(&p, 1, WaitSliceMs(deadline, stop_));
            if (rc > 0) {
                return Ok();
            }
            if (rc != 0) {
                return Failure(SmtpIo::Kind::Failed,
                               SystemText(static_cast<DWORD>(api_.lastError())));
            }
            if (WaitOver(deadline, stop_)) {
                return TimedOut();
            }
        }
    }

    SmtpIo ConnectTo(const ADDRINFOA& a, SmtpDeadline deadline) {
        const SOCKET s = api_.openSocket(a.ai_family, a.ai_socktype, a.ai_protocol);
        if (s == INVALID_SOCKET) {
            return Failure(SmtpIo::Kind::Failed, SystemText(static_cast<DWORD>(api_.lastError())));
        }
        u_long nonBlocking = 1;
        if (api_.ioctl(s, FIONBIO, &nonBlocking) != 0 ||
            (api_.connectTo(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) != 0 &&
             api_.lastError() != WSAEWOULDBLOCK)) {
            const int error = api_.lastError();
            api_.closeSocket(s);
            return Failure(SmtpIo::Kind::Failed, SystemText(static_cast<DWORD>(error)));
        }
        Close();
        socket_ = s;
        SmtpIo waited = WaitFor(POLLWRNORM, deadline);
        int error = 0;
        int length = sizeof error;
        if (waited.ok() && (api_.getOption(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                           &length) != 0 ||
                            error != 0)) {
            waited = Failure(SmtpIo::Kind::Failed,
                             SystemText(static_cast<DWORD>(error != 0 ? error : api_.lastError())));
        }
        if (!waited.ok()) {
            Close();
        }
        return waited;
    }

    SmtpIo TlsStreamFailure(int error) {
        if (error == SSL_ERROR_ZERO_RETURN ||
            (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)) {
            ERR_clear_error();
            return ClosedByPeer();
        }
        return Failure(SmtpIo::Kind::Failed, TlsErrorText());
    }

    WinsockApi api_;
    bool loaded_ = false;
    const SmtpStop* stop_;
    SOCKET socket_ = INVALID_SOCKET;
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
};

}  // namespace

std::unique_ptr<SmtpConnection> MakeSmtpConnection(const SmtpStop* stop) {
    return std::make_unique<WindowsSmtpConnection>(stop);
}

std::string LocalHostName() {
    WindowsSmtpConnection connection;
    return connection.HostName();
}

}  // namespace raid
