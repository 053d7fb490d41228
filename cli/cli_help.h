#pragma once

#include <string>

namespace raid::cli {

inline constexpr const char* kMailUsage =
    "usage: raidcli mail show\n"
    "       raidcli mail set [--smtp HOST] [--port PORT] [--security auto|none|starttls|tls]\n"
    "                        [--from-name NAME] [--from ADDRESS] [--to ADDRESS ...]\n"
    "                        [--login ACCOUNT | --no-login] [--password-stdin]\n"
    "                        [--timeout SECONDS] [--ca-file FILE]\n"
    "       raidcli mail test\n";

inline constexpr const char* kNotifyUsage =
    "usage: raidcli notify show\n"
    "       raidcli notify set [--command PATH [--arg A ...] | --none] [--heat-limit C]\n"
    "       raidcli notify test\n";

// `raidcli VERB --help`: what the verb does and every option it takes, or an
// empty text for a verb that does not exist.
std::string VerbHelp(const std::string& verb);

}  // namespace raid::cli
