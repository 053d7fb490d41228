#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "notify/hook/command_run.h"

extern char** environ;

namespace raid {
namespace {

constexpr int kLookEveryMs = 50;
// The error output kept; a command that writes more is read on and dropped,
// so it never blocks on a full pipe.
constexpr std::size_t kErrorBytesKept = 4096;

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

class Pipe {
  public:
    Pipe() { ok_ = ::pipe2(fds_, O_CLOEXEC) == 0; }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool ok() const { return ok_; }
    int read() const { return fds_[0]; }
    int write() const { return fds_[1]; }
    void CloseRead() { Close(fds_[0]); }
    void CloseWrite() { Close(fds_[1]); }

  private:
    static void Close(int& fd) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    int fds_[2] = {-1, -1};
    bool ok_ = false;
};

}  // namespace

CommandOutcome RunCommand(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& environment,
                          std::chrono::milliseconds limit, const std::atomic<bool>& stop) {
    CommandOutcome outcome;
    Pipe errors;
    if (!errors.ok()) {
        outcome.startError = std::string("no pipe for its error output: ") + std::strerror(errno);
        return outcome;
    }
    std::vector<std::string> own;
    for (char** e = environ; *e != nullptr; ++e) {
        own.emplace_back(*e);
    }
    std::vector<std::string> env = MergedEnvironment(own, environment);
    std::vector<std::string> argvTexts{program};
    argvTexts.insert(argvTexts.end(), args.begin(), args.end());
    std::vector<char*> argv = Pointers(argvTexts);
    std::vector<char*> envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors.write(), STDERR_FILENO);
    // The command starts as a program started from a shell would: no signal
    // held back (the monitor's threads hold the stop signals for the main
    // loop), the default action for the stop signals and SIGPIPE, and a
    // process group of its own, so that a time-out ends whatever it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD}) {
        sigaddset(&defaults, sig);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    const int rc =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    errors.CloseWrite();
    if (rc != 0) {
        outcome.startError = program + ": " + std::strerror(rc);
        outcome.missing = rc == ENOENT || rc == EACCES || rc == ENOEXEC || rc == ENOTDIR;
        return outcome;
    }
    outcome.started = true;

    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string errorText;
    bool errorOpen = true;
    int status = 0;
    bool ended = false;
    while (!ended) {
        if (std::chrono::steady_clock::now() >= deadline || stop.load()) {
            outcome.timedOut = !stop.load();
            outcome.stopped = stop.load();
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (errorOpen) {
            pollfd p{errors.read(), POLLIN, 0};
            if (::poll(&p, 1, kLookEveryMs) > 0) {
                char buffer[512];
                const ssize_t n = ::read(errors.read(), buffer, sizeof buffer);
                if (n > 0) {
                    errorText.append(buffer, static_cast<std::size_t>(n));
                    errorText.resize(std::min(errorText.size(), kErrorBytesKept));
                } else if (n == 0 || errno != EINTR) {
                    errorOpen = false;
                }
            }
        } else {
            ::usleep(kLookEveryMs * 1000);
        }
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        ended = done == pid;
    }
    // What the command wrote just before it ended; something it left running
    // may hold the pipe open, so nothing more is waited for.
    if (errorOpen && ended) {
        pollfd p{errors.read(), POLLIN, 0};
        while (errorText.size() < kErrorBytesKept && ::poll(&p, 1, 0) > 0) {
            char buffer[512];
            const ssize_t n = ::read(errors.read(), buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            errorText.append(buffer, static_cast<std::size_t>(n));
        }
    }
    if (ended) {
        if (WIFEXITED(status)) {
            outcome.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            outcome.signal = WTERMSIG(status);
        }
    }
    outcome.errorLines = FirstLines(errorText, kHookErrorLines);
    return outcome;
}

}  // namespace raid
