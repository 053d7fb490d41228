#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tests/support/child_process.h"

extern char** environ;

namespace raid::testing {

struct ChildProcess::Process {
    pid_t pid = -1;
    int input = -1;   // our end of its standard input
    int output = -1;  // our end of its standard output
    int exitCode = -1;
    bool waited = false;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : process_(std::make_unique<Process>()) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        process_->pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    process_->input = in[1];
    process_->output = out[0];
}

ChildProcess::~ChildProcess() {
    CloseInput();
    Wait();
    if (process_->output >= 0) {
        ::close(process_->output);
    }
}

bool ChildProcess::started() const {
    return process_->pid > 0;
}

int ChildProcess::ReadByte() {
    unsigned char byte = 0;
    ssize_t got = 0;
    do {
        got = ::read(process_->output, &byte, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1 ? byte : -1;
}

void ChildProcess::CloseInput() {
    if (process_->input >= 0) {
        ::close(process_->input);
        process_->input = -1;
    }
}

int ChildProcess::Wait() {
    if (process_->pid <= 0 || process_->waited) {
        return process_->exitCode;
    }
    int status = 0;
    pid_t done = -1;
    do {
        done = ::waitpid(process_->pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    process_->waited = true;
    process_->exitCode = done == process_->pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return process_->exitCode;
}

std::string BesideTests(const std::string& fileName) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / fileName).string();
}

}  // namespace raid::testing
