// The notification command: a real program run with the time limit, its
// environment and error output; the retries of the runner on virtual time.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device/clock.h"
#include "notify/hook/command_run.h"
#include "notify/hook/hook_runner.h"
#include "notify/settings/memory_settings_store.h"
#ifdef _WIN32
#include "device/windows_text.h"
#endif

namespace raid {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const std::atomic<bool> kNoStop{false};

HookEvent Event(const std::string& name, const std::string& device = {}) {
    HookEvent event;
    event.event = name;
    event.device = device;
    return event;
}

// The runs go through the platform's shell: what differs is only the shell's
// language and the system's words for a missing program.
struct ShellScripts {
    std::string program;
    std::string flag;
    // Writes "$RAIDGUI_EVENT on $RAIDGUI_DEVICE", "two", an empty line,
    // "three" and "four" to its error output, "not-kept" to its output, and
    // ends with exit code 3.
    std::string errorLines;
    std::string exitZero;
    // Exit code 4 when RAIDGUI_DEVICE holds kDevice, 0 otherwise.
    std::string deviceIs;
    // Starts a program that keeps the error output open for 30 s and waits.
    std::string longRunWithChild;
    std::string missingProgram;
    std::string missingText;
};

const std::string kDevice = "Device1 \xE2\x82\xAC\xC5\x81";  // "Device1 €Ł"

ShellScripts Scripts() {
#ifdef _WIN32
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    return {
        .program =
            (n > 0 && n < MAX_PATH ? Utf8(std::wstring_view(folder, n)) : "C:\\Windows\\System32") +
            "\\cmd.exe",
        .flag = "/c",
        .errorLines =
            ">&2 echo %RAIDGUI_EVENT% on %RAIDGUI_DEVICE%& >&2 echo two& >&2 echo.& "
            ">&2 echo three& >&2 echo four& echo not-kept& exit 3",
        .exitZero = "exit 0",
        .deviceIs = "if \"%RAIDGUI_DEVICE%\"==\"" + kDevice + "\" exit 4",
        .longRunWithChild = "ping -n 30 127.0.0.1 >NUL",
        .missingProgram = "C:\\nonexistent\\raidgui-hook.exe",
        // The system's own words ("The system cannot find the path specified",
        // under Wine "Path not found"), never a number.
        .missingText =
            "C:\\nonexistent\\raidgui-hook.exe: " + WindowsErrorText(ERROR_PATH_NOT_FOUND),
    };
#else
    return {
        .program = "/bin/sh",
        .flag = "-c",
        .errorLines =
            "echo \"$RAIDGUI_EVENT on $RAIDGUI_DEVICE\" >&2; "
            "printf 'two\\r\\n\\nthree\\nfour\\n' >&2; echo not-kept; exit 3",
        .exitZero = "exit 0",
        .deviceIs = "test \"$RAIDGUI_DEVICE\" = '" + kDevice + "' && exit 4; exit 0",
        .longRunWithChild = "sleep 30 & sleep 30",
        .missingProgram = "/nonexistent/raidgui-hook",
        .missingText = "/nonexistent/raidgui-hook: No such file",
    };
#endif
}

CommandOutcome Shell(const std::string& script, std::chrono::milliseconds limit,
                     const std::vector<std::string>& env = {}) {
    const ShellScripts scripts = Scripts();
    return RunCommand(scripts.program, {scripts.flag, script}, env, limit, kNoStop);
}

TEST(RunCommand, ExitCodeErrorLinesAndEnvironment) {
    const CommandOutcome outcome = Shell(Scripts().errorLines, std::chrono::seconds(20),
                                         {"RAIDGUI_EVENT=smart", "RAIDGUI_DEVICE=Device1"});
    EXPECT_TRUE(outcome.started);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_THAT(outcome.errorLines, ElementsAre("smart on Device1", "two", "three"));
    EXPECT_EQ(outcome.Text(), "exit code 3: smart on Device1 / two / three");
    EXPECT_TRUE(Shell(Scripts().exitZero, std::chrono::seconds(20)).Ok());

    // A value outside the ANSI code page of Windows reaches the command as it
    // was given (compared by the shell: what cmd.exe writes out is in its own
    // code page).
    EXPECT_EQ(
        Shell(Scripts().deviceIs, std::chrono::seconds(20), {"RAIDGUI_DEVICE=" + kDevice}).exitCode,
        4);
    EXPECT_EQ(
        Shell(Scripts().deviceIs, std::chrono::seconds(20), {"RAIDGUI_DEVICE=Device1 EL"}).exitCode,
        0);
}

TEST(RunCommand, TheTimeLimitKillsTheCommandAndWhatItStarted) {
    const auto start = std::chrono::steady_clock::now();
    // The child of the shell holds the error output open: it must not keep
    // the run waiting once the limit has passed.
    const CommandOutcome outcome =
        Shell(Scripts().longRunWithChild, std::chrono::milliseconds(300));
    EXPECT_TRUE(outcome.timedOut);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(outcome.Text(), "killed after its time limit");
}

TEST(RunCommand, AMissingProgramIsNotStarted) {
    const ShellScripts scripts = Scripts();
    const CommandOutcome outcome =
        RunCommand(scripts.missingProgram, {}, {}, std::chrono::seconds(5), kNoStop);
    EXPECT_FALSE(outcome.started);
    EXPECT_TRUE(outcome.missing);
    EXPECT_THAT(outcome.Text(), HasSubstr(scripts.missingText));
    EXPECT_THAT(outcome.Text(), Not(HasSubstr("error ")));
}

// Absolute paths as the system writes them: a command is run without a
// shell, PATH or working folder of the user's.
#ifdef _WIN32
constexpr const char* kProgram = "C:\\Windows\\System32\\curl.exe";
constexpr const char* kNotAbsolute[] = {"curl.exe", "C:curl.exe", "\\Windows\\curl.exe",
                                        "/usr/bin/curl"};
#else
constexpr const char* kProgram = "/usr/bin/curl";
constexpr const char* kNotAbsolute[] = {"curl", "bin/curl", "./curl", "C:\\Windows\\curl.exe"};
#endif

TEST(HookCommandStore, StoredWithItsArgumentsAndChecked) {
    MemorySettingsStore store;
    EXPECT_EQ(ReadHookCommand(store), std::nullopt);
    const HookCommand command{kProgram, {"-d", "", "two words"}};
    EXPECT_EQ(SaveHookCommand(store, command), "");
    EXPECT_EQ(ReadHookCommand(store), command);
    EXPECT_EQ(HookCommandText(command), std::string(kProgram) + " '-d' '' 'two words'");
    for (const char* program : kNotAbsolute) {
        EXPECT_EQ(SaveHookCommand(store, HookCommand{program, {}}),
                  "the program must be given with its absolute path")
            << program;
    }
    EXPECT_NE(SaveHookCommand(store, HookCommand{kProgram, {"a\nb"}}), "");
    EXPECT_EQ(ReadHookCommand(store), command);  // refused commands change nothing
    EXPECT_EQ(SaveHookCommand(store, std::nullopt), "");
    EXPECT_EQ(ReadHookCommand(store), std::nullopt);

    EXPECT_EQ(ReadHeatLimit(store), 55);
    EXPECT_EQ(SaveHeatLimit(store, 50), "");
    EXPECT_EQ(ReadHeatLimit(store), 50);
    EXPECT_NE(SaveHeatLimit(store, 5), "");
}

// The runner with a scripted command on virtual time.
class HookRunnerTest : public ::testing::Test {
  protected:
    HookRunnerTest()
        : runner(clock,
                 HookRunner::Hooks{
                     .logLines =
                         [this](const std::vector<std::string>& lines) {
                             logged.insert(logged.end(), lines.begin(), lines.end());
                         },
                     .wake = {},
                 },
                 [this](const HookRun& run, const std::atomic<bool>&) {
                     runs.fetch_add(1);
                     CommandOutcome outcome;
                     outcome.started = !missing;
                     outcome.missing = missing;
                     outcome.startError = "gone";
                     outcome.exitCode = exitCode;
                     outcome.errorLines = {run.event.event};
                     return outcome;
                 }) {}

    // Waits (real time) for the worker's run to end and takes its outcome.
    void Settle() {
        for (int i = 0; i < 500 && (runner.Busy() || !runner.WorkDue()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        runner.Service();
    }

    VirtualClock clock;
    std::vector<std::string> logged;
    std::atomic<int> runs{0};
    int exitCode = 0;
    bool missing = false;
    HookRunner runner;
};

TEST_F(HookRunnerTest, AFailingCommandIsRetriedLikeAMailAndGivenUpAfterADay) {
    exitCode = 2;
    runner.Add(HookCommand{"/bin/hook", {}}, Event("fan-fail", "Device1"));
    Settle();
    EXPECT_EQ(runs.load(), 1);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_THAT(logged[0], HasSubstr("Command /bin/hook for fan-fail (Device1) failed (exit code "
                                     "2: fan-fail); tried again in 1 min, "));
    clock.Advance(59'000);
    runner.Service();
    EXPECT_FALSE(runner.Busy());
    EXPECT_EQ(runner.Waiting(), 1u);
    clock.Advance(1'000);
    EXPECT_TRUE(runner.WorkDue());
    runner.Service();
    Settle();
    EXPECT_EQ(runs.load(), 2);
    EXPECT_THAT(logged.back(), HasSubstr("tried again in 2 min"));
    // Retried until a day has passed since the event.
    for (int i = 0; i < 200 && runner.Waiting() > 0; ++i) {
        clock.Advance(3'600'000);
        runner.Service();
        Settle();
    }
    EXPECT_EQ(runner.Waiting(), 0u);
    EXPECT_THAT(logged.back(), HasSubstr("given up after"));
    EXPECT_THAT(logged.back(), HasSubstr("attempts in 24 hours"));
}

TEST_F(HookRunnerTest, AMissingProgramIsNotRetriedAndASuccessIsNotLogged) {
    missing = true;
    runner.Add(HookCommand{"/bin/hook", {}}, Event("smart"));
    Settle();
    EXPECT_THAT(logged, ElementsAre(HasSubstr("failed (gone: smart); it is not tried again")));
    EXPECT_EQ(runner.Waiting(), 0u);

    missing = false;
    logged.clear();
    runner.Add(HookCommand{"/bin/hook", {}}, Event("smart"));
    Settle();
    EXPECT_EQ(runs.load(), 2);
    EXPECT_THAT(logged, IsEmpty());
}

}  // namespace
}  // namespace raid
