#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace raid {

// How long a user's command may run before it is killed.
inline constexpr std::chrono::milliseconds kHookTimeLimit{30'000};
// How many lines of its error output the event log keeps of a failed run.
inline constexpr std::size_t kHookErrorLines = 3;

struct CommandOutcome {
    bool started = false;
    std::string startError;  // why it could not be started
    bool missing = false;    // the program is not there or may not be run
    bool timedOut = false;   // killed at the time limit
    bool stopped = false;    // killed because the program is ending
    int exitCode = -1;
    int signal = 0;                       // the signal that ended it, 0 none
    std::vector<std::string> errorLines;  // the first lines of its error output

    bool Ok() const { return started && !timedOut && !stopped && signal == 0 && exitCode == 0; }
    // "exit code 3: first line / second line", "killed after 30 s", ...
    std::string Text() const;
};

// Runs `program` with `args` (no shell), its environment the program's own
// with `environment` ("NAME=value") put over it, standard input and output
// on the null device and its error output read. A run past `limit` (real
// time: the command is a real process) is killed with everything it started;
// so is one still running when `stop` becomes true.
CommandOutcome RunCommand(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& environment,
                          std::chrono::milliseconds limit, const std::atomic<bool>& stop);

// The environment of the program with `over` put over it: an entry of
// `over` replaces the one of the same name.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& own,
                                           const std::vector<std::string>& over);

// The first `count` non-empty lines of `text`, without control characters.
std::vector<std::string> FirstLines(const std::string& text, std::size_t count);

}  // namespace raid
