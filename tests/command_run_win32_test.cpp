// The notification command on Windows: a real program (cmd.exe) run with its
// environment, error output, exit code and time limit.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "device/windows_text.h"
#include "notify/hook/command_run.h"

namespace raid {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const std::atomic<bool> kNoStop{false};

std::string SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Utf8(std::wstring_view(folder, n)) : std::string();
}

CommandOutcome Cmd(const std::string& script, std::chrono::milliseconds limit,
                   const std::vector<std::string>& env = {}) {
    return RunCommand(SystemFolder() + "\\cmd.exe", {"/c", script}, env, limit, kNoStop);
}

TEST(RunCommandWindows, ExitCodeErrorLinesAndEnvironment) {
    const CommandOutcome outcome =
        Cmd(">&2 echo %RAIDGUI_EVENT% on %RAIDGUI_DEVICE%& >&2 echo two& >&2 echo.& "
            ">&2 echo three& >&2 echo four& echo not-kept& exit 3",
            std::chrono::seconds(20), {"RAIDGUI_EVENT=smart", "RAIDGUI_DEVICE=Device1"});
    EXPECT_TRUE(outcome.started);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_THAT(outcome.errorLines, ElementsAre("smart on Device1", "two", "three"));
    EXPECT_EQ(outcome.Text(), "exit code 3: smart on Device1 / two / three");
    EXPECT_TRUE(Cmd("exit 0", std::chrono::seconds(20)).Ok());

    // A value outside the ANSI code page reaches the command as it was given
    // (compared inside cmd.exe: what it writes out is in its own code page).
    const std::string device = "Device1 \xE2\x82\xAC\xC5\x81";
    EXPECT_EQ(Cmd("if \"%RAIDGUI_DEVICE%\"==\"" + device + "\" exit 4", std::chrono::seconds(20),
                  {"RAIDGUI_DEVICE=" + device})
                  .exitCode,
              4);
    EXPECT_EQ(Cmd("if \"%RAIDGUI_DEVICE%\"==\"" + device + "\" exit 4", std::chrono::seconds(20),
                  {"RAIDGUI_DEVICE=Device1 EL"})
                  .exitCode,
              0);
}

TEST(RunCommandWindows, TheTimeLimitKillsTheCommandAndWhatItStarted) {
    const auto start = std::chrono::steady_clock::now();
    // ping, started by cmd.exe, holds the error output open: the job object
    // must end it with its parent once the limit has passed.
    const CommandOutcome outcome = Cmd("ping -n 30 127.0.0.1 >NUL", std::chrono::milliseconds(500));
    EXPECT_TRUE(outcome.timedOut);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(outcome.Text(), "killed after its time limit");
}

TEST(RunCommandWindows, AMissingProgramIsNotStartedAndTheSystemSaysWhy) {
    const CommandOutcome outcome =
        RunCommand("C:\\nonexistent\\raidgui-hook.exe", {}, {}, std::chrono::seconds(5), kNoStop);
    EXPECT_FALSE(outcome.started);
    EXPECT_TRUE(outcome.missing);
    // The system's own words (Windows: "The system cannot find the path
    // specified", Wine: "Path not found"), not a number.
    EXPECT_EQ(outcome.Text(),
              "C:\\nonexistent\\raidgui-hook.exe: " + WindowsErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_THAT(outcome.Text(), Not(HasSubstr("error 3")));
}

}  // namespace
}  // namespace raid
