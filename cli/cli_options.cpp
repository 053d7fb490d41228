#include "cli/cli_options.h"

#include <string_view>

namespace raid::cli {

CliOptions ParseCli(int argc, const char* const* argv) {
    CliOptions options;
    if (argc < 2) {
        options.error = "no command given";
        return options;
    }
    options.verb = argv[1];
    // The mail verb's words are its own: a value may look like an option.
    if (options.verb == "mail") {
        options.verbArgs.assign(argv + 2, argv + argc);
        return options;
    }
    if (options.verb != "probe" && options.verb != "status" && options.verb != "monitor" &&
        options.verb != "schedule" && options.verb != "smart") {
        options.error = "unknown command '" + options.verb + "'";
        return options;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        constexpr std::string_view kSimulate = "--simulate";
        if (arg == kSimulate) {
            options.simulate = true;
        } else if (arg.starts_with("--simulate=")) {
            options.simulate = true;
            options.scenarioFile = std::string(arg.substr(kSimulate.size() + 1));
            if (options.scenarioFile.empty()) {
                options.error = "--simulate= needs a scenario file";
            }
        } else if (arg == "--json" && (options.verb == "status" || options.verb == "smart")) {
            options.json = true;
        } else if (options.verb == "schedule") {
            options.verbArgs.emplace_back(arg);
        } else if (options.verb == "smart" && (arg == "--device" || arg.starts_with("--device="))) {
            std::string_view value = arg == "--device" ? std::string_view() : arg.substr(9);
            if (arg == "--device" && i + 1 < argc) {
                value = argv[++i];
            }
            if (value != "1" && value != "2") {
                options.error = "--device needs 1 or 2";
            } else {
                options.device = value[0] - '0';
            }
        } else {
            options.error = "unknown option '" + std::string(arg) + "'";
        }
    }
    return options;
}

}  // namespace raid::cli
