// raidcli: the monitoring engine without a window.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "app/platform.h"
#include "app/run_wiring.h"
#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "cli/command_line.h"
#include "cli/firmware_command.h"
#include "cli/mail_command.h"
#include "cli/monitor_command.h"
#include "cli/notify_command.h"
#include "cli/probe_command.h"
#include "cli/schedule_command.h"
#include "cli/smart_command.h"
#include "cli/status_command.h"
#include "cli/stop_signal_hold.h"
#include "device/clock.h"
#include "device/device_changes.h"
#ifdef RAIDCLI_WITH_UDEV
#include "udev/device_changes_udev_linux.h"
#endif
#ifdef _WIN32
#include "device/device_changes_win32.h"
#endif

namespace {

std::unique_ptr<raid::DeviceChanges> WatchDeviceChanges() {
#if defined(RAIDCLI_WITH_UDEV)
    return raid::WatchUdevOrNothing("raidcli");
#elif defined(_WIN32)
    return raid::WatchDeviceChangesOrNothing("raidcli");
#else
    return std::make_unique<raid::NoDeviceChanges>();
#endif
}

}  // namespace

int main(int argc, char** argv) {
    // Log lines carry the date and time in the user's regional format.
    std::setlocale(LC_ALL, "");
    raid::cli::UseUtf8Console();
    // Every verb reads its arguments as UTF-8, the program's own text.
    std::vector<std::string> utf8Args = raid::cli::Utf8Arguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& arg : utf8Args) {
        utf8Argv.push_back(arg.data());
    }
    utf8Argv.push_back(nullptr);
    argc = static_cast<int>(utf8Args.size());
    argv = utf8Argv.data();
    // `raidcli firmware upgrade | head` must not die of its reader going away
    // half way through the flash; every verb writes on past a closed pipe.
    if (!raid::cli::IgnoreBrokenPipes()) {
        std::fprintf(stderr, "raidcli: a closed output pipe could end this program\n");
    }

    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("raidcli %s\n", raid::kVersionText);
        return 0;
    }
    if (argc == 2 && raid::cli::IsHelp(argv[1])) {
        std::fputs(raid::cli::kUsage, stdout);
        return 0;
    }
    const raid::cli::CliOptions options = raid::cli::ParseCli(argc, argv);
    if (options.help) {
        std::fputs(raid::cli::VerbHelp(options.verb).c_str(), stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "raidcli: %s\n%s", options.error.c_str(), raid::cli::kUsage);
        return 2;
    }

    raid::SteadyClock clock;
    const char* trace = std::getenv("RAIDGUI_TRACE");
    raid::PlatformResult made =
        options.simulate ? raid::MakeSimulatedPlatform(options.scenarioFile, clock, trace)
                         : raid::MakeHostPlatform(trace);
    if (!made.ok) {
        std::fprintf(stderr, "raidcli: %s\n", made.error.c_str());
        return 2;
    }

    if (options.verb == "probe") {
        return raid::cli::RunProbe(made.platform, clock);
    }
    if (options.verb == "firmware") {
        return raid::cli::RunFirmware(made.platform, clock,
                                      {.action = options.action,
                                       .file = options.file,
                                       .device = options.device == 0 ? 1 : options.device,
                                       .disk = options.disk,
                                       .yes = options.yes});
    }
    if (options.verb == "status") {
        return raid::cli::RunStatus(made.platform, clock, options.json);
    }
    if (options.verb == "schedule") {
        return raid::cli::RunSchedule(made.platform, clock, options.verbArgs);
    }
    if (options.verb == "mail") {
        return raid::cli::RunMail(options.verbArgs, made.platform, clock);
    }
    if (options.verb == "notify") {
        return raid::cli::RunNotify(options.verbArgs, made.platform, clock);
    }
    if (options.verb == "smart") {
        return raid::cli::RunSmart(made.platform, clock, options.json, options.device);
    }
    // A simulated machine announces its own changes; the host's come from udev.
    std::unique_ptr<raid::DeviceChanges> changes =
        raid::RunDeviceChanges(made.platform, options.simulate, WatchDeviceChanges);
    return raid::cli::RunMonitor(made.platform, clock, *changes, options.metricsFile);
}
