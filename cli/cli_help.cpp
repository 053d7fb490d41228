#include "cli/cli_help.h"

#include <map>

namespace raid::cli {
namespace {

constexpr const char* kSimulateOption =
    "  --simulate[=FILE]  the built-in simulated enclosures, or those of a scenario file,\n"
    "                     instead of the real disks\n";

constexpr const char* kExitCodes =
    "exit codes: 0 success, 1 the command ran and failed, 2 the command line was not\n"
    "understood or the disks could not be reached at all\n";

}  // namespace

std::string VerbHelp(const std::string& verb) {
    static const std::map<std::string, std::string> kHelp = {
        {"probe",
         "usage: raidcli probe [--simulate[=FILE]]\n"
         "Asks every disk 0-9 whether it is an enclosure and prints its controller variant,\n"
         "firmware bytes and name.\n"},
        {"status",
         "usage: raidcli status [--simulate[=FILE]] [--json]\n"
         "Runs one discovery and one status poll and prints each enclosure as the window's\n"
         "status page shows it.\n"
         "  --json             one JSON document instead of text\n"},
        {"monitor",
         "usage: raidcli monitor [--simulate[=FILE]] [--metrics=FILE]\n"
         "Monitors until SIGINT, SIGTERM or SIGHUP: writes the event log, prints every new\n"
         "log line and every notification (lost drives and enclosures, heat, fan, SMART,\n"
         "the end of a rebuild), mails it and runs the notification command.\n"
         "  --metrics=FILE     replace FILE after every poll with the enclosures' state in\n"
         "                     the Prometheus text format\n"},
        {"smart",
         "usage: raidcli smart [--simulate[=FILE]] [--device 1|2] [--json]\n"
         "Reads the SMART thresholds and data of every drive once and prints each drive's\n"
         "attribute table, overall health and 4K sector line.\n"
         "  --device 1|2       only Device1 or Device2\n"
         "  --json             one JSON document instead of text\n"},
        {"schedule",
         "usage: raidcli schedule [--device 1|2] [--simulate[=FILE]]\n"
         "       raidcli schedule set off|preset1|preset2|preset3 [--device 1|2]\n"
         "       raidcli schedule set --days D --hours H [--device 1|2]\n"
         "Prints the backup schedule of a hybrid enclosure, or sets a new period and prints\n"
         "what the enclosure reports after the next poll (exit code 1 when it did not\n"
         "change).\n"
         "  --device 1|2       Device1 (default) or Device2\n"
         "  --days D           user period: days, 0-30\n"
         "  --hours H          user period: hours, in the enclosure's steps\n"},
        {"firmware",
         "usage: raidcli firmware check FILE [--device 1|2] [--simulate[=FILE]]\n"
         "       raidcli firmware upgrade FILE [--device 1|2] [--yes] [--simulate[=FILE]]\n"
         "check loads the firmware image FILE, prints its checksum and version stamps and\n"
         "whether it fits the enclosure (exit code 1 when refused). upgrade also rewrites\n"
         "the enclosure's SPI flash with it: erase, program, read back and compare, with a\n"
         "progress bar on a terminal; exit code 0 only when the upgrade completed.\n"
         "  --device 1|2       Device1 (default) or Device2\n"
         "  --yes              (upgrade) start without asking first\n"},
    };
    const auto it = kHelp.find(verb);
    if (it == kHelp.end()) {
        return {};
    }
    return it->second + kSimulateOption + "  --help             this text\n" + kExitCodes;
}

}  // namespace raid::cli
