#pragma once

#include <string>

namespace raid::cli {

struct CliOptions {
    std::string verb;
    bool simulate = false;
    std::string scenarioFile;  // empty: the built-in scenario
    bool json = false;
    // firmware check|upgrade FILE [--device 1|2] [--yes]
    std::string action;
    std::string file;
    int device = 1;
    bool yes = false;
    std::string error;  // set when the arguments are not understood
};

CliOptions ParseCli(int argc, const char* const* argv);

inline constexpr const char* kUsage =
    "usage: raidcli probe   [--simulate[=scenario.json]]\n"
    "       raidcli status  [--simulate[=scenario.json]] [--json]\n"
    "       raidcli monitor [--simulate[=scenario.json]]\n"
    "       raidcli firmware check   FILE [--device 1|2] [--simulate[=scenario.json]]\n"
    "       raidcli firmware upgrade FILE [--device 1|2] [--yes] [--simulate[=scenario.json]]\n";

}  // namespace raid::cli
