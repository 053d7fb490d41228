#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace raid::cli {

struct CliOptions {
    std::string verb;
    bool simulate = false;
    std::string scenarioFile;  // empty: the built-in scenario
    bool json = false;
    bool help = false;                  // VERB --help
    std::vector<std::string> verbArgs;  // the words a verb parses itself (schedule, mail, notify)
    std::string action;                 // firmware: check or upgrade
    std::string file;                   // firmware: the image file
    int device = 0;                     // smart, firmware --device 1|2; 0: not given
    std::string disk;                   // firmware --disk N|NODE: the target by its disk
    bool yes = false;                   // firmware upgrade --yes: without asking
    std::string metricsFile;            // monitor: Prometheus text file rewritten after every poll
    std::string error;                  // set when the arguments are not understood
};

CliOptions ParseCli(int argc, const char* const* argv);

// --help or its short form -h.
bool IsHelp(std::string_view word);

// The manual page's synopsis is these lines; a test holds them together.
inline constexpr const char* kUsage =
    "usage: raidcli probe [--simulate[=SCENARIO]]\n"
    "       raidcli status [--simulate[=SCENARIO]] [--json]\n"
    "       raidcli monitor [--simulate[=SCENARIO]] [--metrics=FILE]\n"
    "       raidcli smart [--simulate[=SCENARIO]] [--device 1|2] [--json]\n"
    "       raidcli schedule [--device 1|2] [--simulate[=SCENARIO]]\n"
    "       raidcli schedule set off|preset1|preset2|preset3 [--device 1|2] "
    "[--simulate[=SCENARIO]]\n"
    "       raidcli schedule set --days D --hours H [--device 1|2] [--simulate[=SCENARIO]]\n"
    "       raidcli firmware check FILE [--device 1|2 | --disk N|NODE] [--simulate[=SCENARIO]]\n"
    "       raidcli firmware upgrade FILE [--device 1|2 | --disk N|NODE] [--yes] "
    "[--simulate[=SCENARIO]]\n"
    "       raidcli mail show | set OPTIONS | test\n"
    "       raidcli notify show | set [--command PATH [--arg A ...] | --none] [--heat-limit C]\n"
    "       raidcli notify test\n"
    "       raidcli VERB -h | --help\n"
    "       raidcli -h | --help | --version\n";

}  // namespace raid::cli
