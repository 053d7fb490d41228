#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace raid::uitest {

// An SMTP server on 127.0.0.1 that takes every mail but waits `delay` before
// each reply, as a distant or overloaded server does. One connection at a
// time, on its own thread.
class SlowSmtpServer {
  public:
    explicit SlowSmtpServer(std::chrono::milliseconds delay) : delay_(delay) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~SlowSmtpServer() {
        stop_.store(true);
        if (thread_.joinable()) {
            thread_.join();
        }
        if (listener_ >= 0) {
            ::close(listener_);
        }
    }
    SlowSmtpServer(const SlowSmtpServer&) = delete;
    SlowSmtpServer& operator=(const SlowSmtpServer&) = delete;

    int port() const { return port_; }
    int accepted() const { return accepted_.load(); }

  private:
    void Serve() {
        while (!stop_.load()) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer >= 0) {
                Converse(peer);
                ::close(peer);
            }
        }
    }

    bool Reply(int peer, const std::string& text) {
        std::this_thread::sleep_for(delay_);
        const std::string line = text + "\r\n";
        return ::send(peer, line.data(), line.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(line.size());
    }

    void Converse(int peer) {
        if (!Reply(peer, "220 slow.test ESMTP")) {
            return;
        }
        std::string pending;
        bool inData = false;
        char buffer[4096];
        while (!stop_.load()) {
            pollfd p{peer, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                std::string answer;
                if (inData) {
                    if (line != ".") {
                        continue;
                    }
                    inData = false;
                    accepted_.fetch_add(1);
                    answer = "250 queued";
                } else if (line.rfind("Data", 0) == 0 || line.rfind("DATA", 0) == 0) {
                    inData = true;
                    answer = "354 go ahead";
                } else if (line.rfind("Quit", 0) == 0 || line.rfind("QUIT", 0) == 0) {
                    Reply(peer, "221 bye");
                    return;
                } else {
                    answer = "250 ok";
                }
                if (!Reply(peer, answer)) {
                    return;
                }
            }
        }
    }

    std::chrono::milliseconds delay_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

}  // namespace raid::uitest
