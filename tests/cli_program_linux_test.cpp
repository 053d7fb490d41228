// raidcli itself, started as a program on the stand-in enclosures.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace raid {
namespace {

namespace fs = std::filesystem;

// `raidcli monitor --simulate` with its own log folder and its output in a file.
class MonitorRun {
  public:
    MonitorRun() {
        std::string pattern = (fs::temp_directory_path() / "raidcli-run-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            folder_ = pattern;
        }
    }
    ~MonitorRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    bool Start() {
        if (folder_.empty()) {
            return false;
        }
        const std::string out = (fs::path(folder_) / "out.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        std::vector<std::string> env{"RAIDGUI_LOG_DIR=" + folder_};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("RAIDGUI_", 0) != 0) {
                env.push_back(entry);
            }
        }
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        std::string program = RAIDCLI_BINARY;
        std::string verb = "monitor";
        std::string simulate = "--simulate";
        std::vector<char*> argv{program.data(), verb.data(), simulate.data(), nullptr};
        // The program starts with the stop signals in their default state,
        // even when this test runs under nohup or with them blocked.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&stopSignals, sig);
        }
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &stopSignals);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        const int rc =
            posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), envp.data());
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0;
    }

    std::string Output() const {
        std::ifstream in(fs::path(folder_) / "out.txt", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Waits (real time) until the output holds `text`.
    bool WaitForOutput(const std::string& text, std::chrono::seconds limit) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (Output().find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // The wait status once the program has ended; nothing when it is still
    // running after `limit` (real time).
    std::optional<int> Wait(std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    pid_t pid() const { return pid_; }
    bool LogWritten() const {
        for (const auto& entry : fs::directory_iterator(folder_)) {
            if (entry.path().extension() == ".log") {
                return true;
            }
        }
        return false;
    }

  private:
    std::string folder_;
    pid_t pid_ = -1;
};

class StopSignalTest : public ::testing::TestWithParam<int> {};

// Each of these ends the monitor in order: it says so, saves its log and
// exits 0, rather than being killed by the signal.
TEST_P(StopSignalTest, EndsTheMonitorInOrder) {
    MonitorRun run;
    ASSERT_TRUE(run.Start());
    // Started for real once its first poll has logged the start-up lines.
    ASSERT_TRUE(run.WaitForOutput("has started from", std::chrono::seconds(60))) << run.Output();
    ASSERT_EQ(::kill(run.pid(), GetParam()), 0);
    const std::optional<int> ended = run.Wait(std::chrono::seconds(30));
    ASSERT_TRUE(ended.has_value()) << "still running: " << run.Output();
    const int status = *ended;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(run.Output().find("Stopping."), std::string::npos) << run.Output();
    EXPECT_TRUE(run.LogWritten());
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             switch (info.param) {
                                 case SIGINT:
                                     return std::string("SIGINT");
                                 case SIGTERM:
                                     return std::string("SIGTERM");
                                 default:
                                     return std::string("SIGHUP");
                             }
                         });

}  // namespace
}  // namespace raid
