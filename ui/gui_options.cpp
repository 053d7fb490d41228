#include "ui/gui_options.h"

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

}  // namespace

GuiOptions ParseGuiOptions(const std::vector<std::string>& args) {
    GuiOptions options;
    bool afterGiven = false;
    for (const std::string& arg : args) {
        std::string value;
        if (arg == "--simulate") {
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
        } else {
            options.error = "unknown argument " + arg;
            return options;
        }
    }
    if (afterGiven && options.screenshotFile.empty()) {
        options.error = "--after= goes with --screenshot=";
    }
    return options;
}

}  // namespace raid::ui
