#include "cli/cli_options.h"

#include <string_view>

namespace raid::cli {

bool IsHelp(std::string_view word) {
    return word == "--help" || word == "-h";
}

CliOptions ParseCli(int argc, const char* const* argv) {
    CliOptions options;
    if (argc < 2) {
        options.error = "no command given";
        return options;
    }
    options.verb = argv[1];
    // The mail and notify verbs' words are their own: a value may look like an option.
    // Only where a word is an action or an option name is -h help: after
    // `mail` or its action, never as a value (a from-name may be "-h").
    if (options.verb == "mail" || options.verb == "notify") {
        options.verbArgs.assign(argv + 2, argv + argc);
        const auto& words = options.verbArgs;
        options.help =
            !words.empty() && (IsHelp(words[0]) || (words.size() >= 2 && IsHelp(words[1])));
        return options;
    }
    if (options.verb != "probe" && options.verb != "status" && options.verb != "monitor" &&
        options.verb != "schedule" && options.verb != "smart" && options.verb != "firmware") {
        options.error = "unknown command '" + options.verb + "'";
        return options;
    }
    for (int i = 2; i < argc; ++i) {
        if (IsHelp(argv[i])) {
            options.help = true;
            return options;
        }
    }
    int first = 2;
    if (options.verb == "firmware") {
        // An option where the file belongs means the file was left out.
        if (argc < 4 ||
            (std::string_view(argv[2]) != "check" && std::string_view(argv[2]) != "upgrade") ||
            std::string_view(argv[3]).starts_with("--")) {
            options.error = "firmware needs check or upgrade and a file";
            return options;
        }
        options.action = argv[2];
        options.file = argv[3];
        first = 4;
    }
    for (int i = first; i < argc; ++i) {
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
        } else if ((options.verb == "smart" || options.verb == "firmware") &&
                   (arg == "--device" || arg.starts_with("--device="))) {
            std::string_view value = arg == "--device" ? std::string_view() : arg.substr(9);
            if (arg == "--device" && i + 1 < argc) {
                value = argv[++i];
            }
            if (value != "1" && value != "2") {
                options.error = "--device takes 1 or 2";
            } else {
                options.device = value[0] - '0';
            }
        } else if (options.verb == "firmware" && (arg == "--disk" || arg.starts_with("--disk="))) {
            std::string_view value = arg == "--disk" ? std::string_view() : arg.substr(7);
            if (arg == "--disk" && i + 1 < argc) {
                value = argv[++i];
            }
            if (value.empty()) {
                options.error = "--disk takes a disk number 0-9 or a device node";
            } else {
                options.disk = std::string(value);
            }
        } else if (arg == "--yes" && options.action == "upgrade") {
            options.yes = true;
        } else if (arg.starts_with("--metrics=") && options.verb == "monitor") {
            options.metricsFile = std::string(arg.substr(std::string_view("--metrics=").size()));
            if (options.metricsFile.empty()) {
                options.error = "--metrics= needs a file";
            }
        } else {
            options.error = "unknown option '" + std::string(arg) + "'";
        }
    }
    if (options.error.empty() && options.device != 0 && !options.disk.empty()) {
        options.error = "--device and --disk name the same thing: give one";
    }
    return options;
}

}  // namespace raid::cli
