#include "ui/gui_options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace raid::ui {
namespace {

bool TakeValue(std::string_view arg, std::string_view name, std::string& value) {
    if (arg.size() <= name.size() || arg.substr(0, name.size()) != name ||
        arg[name.size()] != '=') {
        return false;
    }
    value = std::string(arg.substr(name.size() + 1));
    return true;
}

// In the order of the page numbers.
constexpr std::array<std::string_view, 6> kPageNames{"status", "setup", "upgrade",
                                                     "email",  "about", "smart"};

}  // namespace

int PageNumberOfName(const std::string& name) {
    for (std::size_t i = 0; i < kPageNames.size(); ++i) {
        if (kPageNames[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

GuiOptions ParseGuiOptions(const std::vector<std::string>& args) {
    GuiOptions options;
    bool afterGiven = false;
    bool pageGiven = false;
    std::size_t autostartArgs = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "--autostart" || TakeValue(arg, "--autostart", value)) {
            autostartArgs = 1;
            if (arg == "--autostart" && i + 1 < args.size()) {
                value = args[++i];
                autostartArgs = 2;
            }
            if (value != "on" && value != "off") {
                options.error = "--autostart needs on or off";
                return options;
            }
            options.autostart = value == "on";
        } else if (arg == "--simulate") {
            options.simulate = true;
        } else if (TakeValue(arg, "--simulate", value)) {
            if (value.empty()) {
                options.error = "--simulate= needs a scenario file";
                return options;
            }
            options.simulate = true;
            options.scenarioFile = value;
        } else if (TakeValue(arg, "--screenshot", value)) {
            if (value.empty()) {
                options.error = "--screenshot= needs a file name";
                return options;
            }
            options.screenshotFile = value;
        } else if (TakeValue(arg, "--after", value)) {
            double seconds = 0;
            const char* end = value.data() + value.size();
            const auto [ptr, ec] = std::from_chars(value.data(), end, seconds);
            if (ec != std::errc{} || ptr != end || !std::isfinite(seconds) || seconds < 0 ||
                seconds > 3600) {
                options.error = "--after= needs a number of seconds from 0 to 3600";
                return options;
            }
            options.afterSeconds = seconds;
            afterGiven = true;
        } else if (TakeValue(arg, "--page", value)) {
            options.screenshotPage = PageNumberOfName(value);
            if (options.screenshotPage < 0) {
                options.error = "--page= needs one of status, setup, upgrade, email, about, smart";
                return options;
            }
            pageGiven = true;
        } else {
            options.error = "unknown argument " + arg;
            return options;
        }
    }
    if (afterGiven && options.screenshotFile.empty()) {
        options.error = "--after= goes with --screenshot=";
    }
    if (pageGiven && options.screenshotFile.empty()) {
        options.error = "--page= goes with --screenshot=";
    }
    if (options.autostart && args.size() != autostartArgs) {
        options.error = "--autostart goes alone";
    }
    return options;
}

}  // namespace raid::ui
