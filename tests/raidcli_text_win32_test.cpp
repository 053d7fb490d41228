// raidcli.exe as a user starts it: arguments outside the ANSI code page reach
// the settings as UTF-8, and the mail verbs find their settings on Windows.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "device/windows_text.h"
#include "notify/settings/file_settings_store.h"
#include "tests/support/scratch_folder.h"

namespace raid {
namespace {

using ::testing::HasSubstr;

struct CliRun {
    int exitCode = -1;
    std::string output;  // standard output and error
};

// Runs raidcli.exe with `args` (UTF-8, quoted as the C runtime reads them
// back; none here holds a quote) and RAIDGUI_CONFIG_DIR set to `config`.
CliRun Raidcli(const std::vector<std::string>& args, const std::string& config) {
    CliRun run;
    wchar_t program[MAX_PATH] = {};
    if (GetFullPathNameW(Wide(RAIDCLI_BINARY).c_str(), MAX_PATH, program, nullptr) == 0) {
        return run;
    }
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
    for (const std::string& arg : args) {
        commandLine += L" \"" + Wide(arg) + L"\"";
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    SetEnvironmentVariableW(L"RAIDGUI_CONFIG_DIR", Wide(config).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    const BOOL made = CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                     nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"RAIDGUI_CONFIG_DIR", nullptr);
    CloseHandle(writeEnd);
    if (made) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            run.output.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, 60'000);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.exitCode = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return run;
}

TEST(RaidcliWindows, MailSetShowAndTestKeepNonAsciiTextAsUtf8) {
    testing::ScratchFolder config("raidcli-text");
    ASSERT_FALSE(config.path.empty());
    // "Jörg Œ €" and a character outside the Basic Multilingual Plane: no
    // ANSI code page holds them all.
    const std::string name = "J\xC3\xB6rg \xC5\x92 \xE2\x82\xAC \xF0\x9F\x92\xBE";

    const CliRun set =
        Raidcli({"mail", "set", "--smtp", "127.0.0.1", "--port", "1", "--security", "none",
                 "--from-name", name, "--from", "raid@example.com", "--to", "ops@example.com"},
                config.path);
    ASSERT_EQ(set.exitCode, 0) << set.output;
    EXPECT_THAT(set.output, HasSubstr("Saved to "));
    FileSettingsStore store(config.path);
    ASSERT_EQ(store.Open(), "");
    EXPECT_EQ(store.ReadString("UserName"), name);

    const CliRun show = Raidcli({"mail", "show"}, config.path);
    EXPECT_EQ(show.exitCode, 0) << show.output;
    EXPECT_THAT(show.output, HasSubstr("From name:    " + name));

    // The test mail reaches the connection, which nothing answers on port 1.
    const CliRun test = Raidcli({"mail", "test"}, config.path);
    EXPECT_EQ(test.exitCode, 1) << test.output;
    EXPECT_THAT(test.output,
                HasSubstr("Sending the test mail to raid@example.com via 127.0.0.1:1"));
    EXPECT_THAT(test.output, HasSubstr("The test mail was not sent"));
}

}  // namespace
}  // namespace raid
