#include "cli/cli_help.h"

#include <map>

namespace raid::cli {
namespace {

constexpr const char* kSimulateOption =
    "  --simulate[=SCENARIO]\n"
    "                     the built-in simulated enclosures, or those of a scenario\n"
    "                     file, instead of the real disks\n";

constexpr const char* kHelpOption = "  -h, --help         this text\n";

constexpr const char* kExitCodes =
    "exit codes: 0 success, 1 the command ran and failed, 2 the command line was not\n"
    "understood or the disks could not be reached at all\n";

}  // namespace

std::string VerbHelp(const std::string& verb) {
    static const std::map<std::string, std::string> kHelp = {
        {"probe",
         "usage: raidcli probe [--simulate[=SCENARIO]]\n"
         "Asks every disk 0-9 whether it is an enclosure and prints its controller variant,\n"
         "firmware bytes and name.\n"},
        {"status",
         "usage: raidcli status [--simulate[=SCENARIO]] [--json]\n"
         "Runs one discovery and one status poll and prints each enclosure as the window's\n"
         "status page shows it, then whether a notification is set up.\n"
         "  --json             one JSON document instead of text\n"},
        {"monitor",
         "usage: raidcli monitor [--simulate[=SCENARIO]] [--metrics=FILE]\n"
         "Monitors until SIGINT, SIGTERM or SIGHUP: writes the event log, prints every new\n"
         "log line and every notification (lost drives and enclosures, heat, fan, SMART,\n"
         "the end of a rebuild), mails it and runs the notification command. Its first\n"
         "lines name the event log folder (RAIDGUI_LOG_DIR; /var/log/raidgui for root,\n"
         "~/.local/state/raidgui otherwise) and the settings file, and say when no\n"
         "notification is set up.\n"
         "  --metrics=FILE     replace FILE after every poll with the enclosures' state in\n"
         "                     the Prometheus text format\n"},
        {"smart",
         "usage: raidcli smart [--simulate[=SCENARIO]] [--device 1|2] [--json]\n"
         "Reads the SMART thresholds and data of every drive once and prints each drive's\n"
         "attribute table, overall health and 4K sector line.\n"
         "  --device 1|2       only Device1 or Device2\n"
         "  --json             one JSON document instead of text\n"},
        {"schedule",
         "usage: raidcli schedule [--device 1|2] [--simulate[=SCENARIO]]\n"
         "       raidcli schedule set off|preset1|preset2|preset3 [--device 1|2]\n"
         "       raidcli schedule set --days D --hours H [--device 1|2]\n"
         "Prints the backup schedule of a hybrid enclosure, or sets a new period and prints\n"
         "what the enclosure reports after the next poll (exit code 1 when it did not\n"
         "change).\n"
         "  --device 1|2       Device1 (default) or Device2\n"
         "  --days D           user period: days, 0-30\n"
         "  --hours H          user period: hours, in the enclosure's steps\n"},
        {"firmware",
         "usage: raidcli firmware check FILE [--device 1|2 | --disk N|NODE]\n"
         "                              [--simulate[=SCENARIO]]\n"
         "       raidcli firmware upgrade FILE [--device 1|2 | --disk N|NODE] [--yes]\n"
         "                                [--simulate[=SCENARIO]]\n"
         "check loads the firmware image FILE, prints its checksum and version stamps and\n"
         "runs every check an upgrade runs (exit code 1 when refused, with the reason on\n"
         "standard error). upgrade then asks, naming the image and the enclosure, and\n"
         "rewrites the enclosure's SPI flash: erase, program, read back and compare, with a\n"
         "progress bar on a terminal; exit code 0 only when the upgrade completed. From the\n"
         "first erase to the last compare no signal ends it.\n"
         "  --device 1|2       Device1 (default) or Device2; an enclosure another program\n"
         "                     is using keeps its number and is refused\n"
         "  --disk N|NODE      the enclosure on physical disk N (0-9) or device node NODE\n"
         "  --yes              (upgrade) start without asking first\n"},
    };
    if (verb == "mail") {
        return std::string(kMailUsage) +
               "show prints the mail settings, set changes them the way the window's E-mail\n"
               "page saves them (options not given keep their values), test sends the test\n"
               "mail to the sender address.\n"
               "  --smtp HOST        the SMTP server\n"
               "  --port PORT        its port\n"
               "  --security auto|none|starttls|tls\n"
               "                     how the connection is protected\n"
               "  --from-name NAME   the sender's name\n"
               "  --from ADDRESS     the sender's address\n"
               "  --to ADDRESS       a recipient, up to ten; the ones given replace the list\n"
               "  --login ACCOUNT    log in to the server with this account\n"
               "  --no-login         send without logging in\n"
               "  --password-stdin   read the password from the first line of standard input\n"
               "  --timeout SECONDS  time-out of the connection and of every reply (0: 30)\n"
               "  --ca-file FILE     trust the certificates in FILE instead of the system's\n" +
               kHelpOption + kExitCodes;
    }
    if (verb == "notify") {
        return std::string(kNotifyUsage) +
               "show prints the command run for every notification and the over-heat limit;\n"
               "set stores them; test runs the command once with RAIDGUI_EVENT=test and prints\n"
               "how it ended (exit code 1 when it failed or none is set).\n"
               "  --command PATH     the program's absolute path, started without a shell\n"
               "  --arg A            one argument of the command; repeat for more\n"
               "  --none             run no command\n"
               "  --heat-limit C     the over-heat limit in degrees Celsius, 20-100 (55)\n" +
               kHelpOption + kExitCodes;
    }
    const auto it = kHelp.find(verb);
    if (it == kHelp.end()) {
        return {};
    }
    return it->second + kSimulateOption + kHelpOption + kExitCodes;
}

}  // namespace raid::cli
