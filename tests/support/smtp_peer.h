#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace raid::testing {

// A fresh folder under the system's temporary folder, removed with its contents.
class ScratchDir {
  public:
    explicit ScratchDir(const char* prefix) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchDir() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::vector<char*> ArgvOf(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    return argv;
}

// Runs a program (looked up on PATH) with its output thrown away; its exit status or -1.
inline int RunQuietly(std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = ArgvOf(args);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The Python that has aiosmtpd (the Debian package installs it for the system's python3,
// which need not be the first python3 on PATH).
inline std::optional<std::string> AiosmtpdPython() {
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        if (RunQuietly({candidate, "-c", "import aiosmtpd.smtp"}) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// A self-signed certificate and its key, made with the openssl command.
inline bool MakeCertificate(const std::filesystem::path& dir, const std::string& name,
                            const std::string& altNames) {
    return RunQuietly({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                       "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                       "/CN=" + name, "-addext", "subjectAltName=" + altNames, "-keyout",
                       (dir / (name + ".key")).string(), "-out",
                       (dir / (name + ".pem")).string()}) == 0;
}

// tests/smtp/smtp_peer.py in one mode, listening on 127.0.0.1.
class SmtpPeer {
  public:
    SmtpPeer(const std::string& python, const std::string& mode,
             const std::filesystem::path& cert = {}, const std::filesystem::path& key = {},
             const std::vector<std::string>& extraArgs = {})
        : record_("raid-smtp-peer") {
        int out[2];
        if (record_.path().empty() || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> args = {
            python,     std::string(RAIDGUI_SOURCE_DIR) + "/tests/smtp/smtp_peer.py",
            "--mode",   mode,
            "--record", record_.path().string()};
        if (!cert.empty()) {
            args.insert(args.end(), {"--cert", cert.string(), "--key", key.string()});
        }
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<char*> argv = ArgvOf(args);
        const int rc = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            pid_ = -1;
            ::close(out[0]);
            return;
        }
        port_ = ReadPort(out[0]);
        ::close(out[0]);
    }
    ~SmtpPeer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    SmtpPeer(const SmtpPeer&) = delete;
    SmtpPeer& operator=(const SmtpPeer&) = delete;

    int port() const { return port_; }

    // Every byte the client sent, once the server has seen its connection end.
    std::string Received() const {
        WaitForFile("closed");
        return Slurp("received.bin");
    }
    // The messages the server accepted, as it stored them.
    std::string Stored() const {
        WaitForFile("closed");
        return Slurp("message.eml");
    }

    // What the client has sent so far, without waiting for its connection to end.
    std::string ReceivedSoFar() const { return Slurp("received.bin"); }

    // The last accepted message as a mail reader shows it: From, Subject, then the body.
    std::string Decoded() const {
        WaitForFile("closed");
        return Slurp("decoded.txt");
    }

  private:
    static int ReadPort(int fd) {
        std::string text;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < give_up) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 500) <= 0) {
                continue;
            }
            char buffer[64];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
        if (text.rfind("PORT ", 0) != 0) {
            return 0;
        }
        return std::atoi(text.c_str() + 5);
    }

    void WaitForFile(const char* name) const {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!std::filesystem::exists(record_.path() / name) &&
               std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::string Slurp(const char* name) const {
        std::ifstream in(record_.path() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    ScratchDir record_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace raid::testing
