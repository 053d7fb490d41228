#include "cli/notify_command.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/app_state.h"
#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "cli/settings_place.h"
#include "notify/compose/escaped_text.h"
#include "notify/hook/command_run.h"
#include "notify/hook/hook_command.h"
#include "notify/hook/hook_event.h"
#include "notify/settings/host_settings_store.h"
#include "notify/settings/mail_settings_store.h"
#include "sysinfo/system_info.h"

namespace raid::cli {
namespace {

struct OpenStore {
    HostSettingsStore host;
    explicit OpenStore(const SettingsPlace& place) : host(OpenHostSettingsStore(place)) {
        if (!host.problem.empty()) {
            std::fprintf(stderr, "%s\n", host.problem.c_str());
        }
    }
};

int Show(SettingsStore& store, const std::string& location) {
    std::string problem;
    const std::optional<HookCommand> command = ReadHookCommand(store, &problem);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
    }
    std::printf("Settings file:  %s\n", location.c_str());
    std::printf("Command:        %s\n", command ? HookCommandText(*command).c_str() : "(none)");
    std::printf("Over-heat from: %u C\n", ReadHeatLimit(store));
    return 0;
}

int Set(SettingsStore& store, const std::vector<std::string>& args) {
    std::optional<HookCommand> command;
    bool commandGiven = false;
    bool none = false;
    std::optional<std::uint32_t> heatLimit;
    std::vector<std::string> argsGiven;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--none") {
            none = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "raidcli: %s\n%s",
                         (option.starts_with("--") ? option + " needs a value"
                                                   : "unknown option '" + option + "'")
                             .c_str(),
                         kNotifyUsage);
            return 2;
        }
        const std::string& value = args[++i];
        if (option == "--command") {
            command = HookCommand{value, {}};
            commandGiven = true;
        } else if (option == "--arg") {
            argsGiven.push_back(value);
        } else if (option == "--heat-limit") {
            char* end = nullptr;
            const unsigned long c = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || c > 1000) {
                std::fprintf(stderr, "raidcli: --heat-limit needs degrees Celsius\n");
                return 2;
            }
            heatLimit = static_cast<std::uint32_t>(c);
        } else {
            std::fprintf(stderr, "raidcli: unknown option '%s'\n%s", option.c_str(), kNotifyUsage);
            return 2;
        }
    }
    if ((commandGiven && none) || (!argsGiven.empty() && !commandGiven) ||
        (!commandGiven && !none && !heatLimit)) {
        std::fprintf(stderr, "%s", kNotifyUsage);
        return 2;
    }
    if (commandGiven || none) {
        if (command) {
            command->args = argsGiven;
        }
        const std::string error = SaveHookCommand(store, command);
        if (!error.empty()) {
            std::fprintf(stderr, "The command was not stored: %s\n", error.c_str());
            return 1;
        }
    }
    if (heatLimit) {
        const std::string error = SaveHeatLimit(store, *heatLimit);
        if (!error.empty()) {
            std::fprintf(stderr, "The heat limit was not stored: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}

int Test(SettingsStore& store, Platform& platform, Clock& clock,
         const std::string& templateDirectory) {
    std::string problem;
    const std::optional<HookCommand> command = ReadHookCommand(store, &problem);
    if (!command) {
        std::fprintf(stderr, "%s\n",
                     problem.empty() ? "No notification command is set." : problem.c_str());
        return 1;
    }
    // The test's subject and message are those of the test mail.
    MailSettings settings;
    std::atomic<std::uint8_t> flags{0};
    InitialiseMailSettings(store, settings, templateDirectory, flags);
    if (flags.load() & MailReloadRequested) {
        LoadMailSettings(store, settings);
    }
    const HookEvent event = TestHookEvent(settings, BuildSystemInfoLines(*platform.facts),
                                          kAppTitle, clock.WallSeconds());
    std::printf("Running %s\n", HookCommandText(*command).c_str());
    std::fflush(stdout);
    const std::atomic<bool> never{false};
    const CommandOutcome outcome =
        RunCommand(command->program, command->args, HookEnvironment(event), kHookTimeLimit, never);
    if (!outcome.Ok()) {
        std::fprintf(stderr, "The command failed: %s\n", outcome.Text().c_str());
        return 1;
    }
    std::printf("The command ended with exit code 0.\n");
    return 0;
}

}  // namespace

int RunNotify(const std::vector<std::string>& args, Platform& platform, Clock& clock) {
    const std::string verb = args.empty() ? std::string() : args.front();
    if (IsHelp(verb) || verb == "help") {
        std::fputs(VerbHelp("notify").c_str(), stdout);
        return 0;
    }
    if (verb != "show" && verb != "set" && verb != "test") {
        std::fprintf(stderr, "%s", kNotifyUsage);
        return 2;
    }
    const std::optional<SettingsPlace> place = SettingsPlaceOrComplain();
    if (!place) {
        return 2;
    }
    OpenStore open(*place);
    SettingsStore& store = *open.host.store;
    if (verb == "show" && args.size() == 1) {
        return Show(store, open.host.location);
    }
    if (verb == "set") {
        return Set(store, args);
    }
    if (verb == "test" && args.size() == 1) {
        return Test(store, platform, clock, open.host.templateDirectory);
    }
    std::fprintf(stderr, "%s", kNotifyUsage);
    return 2;
}

}  // namespace raid::cli
