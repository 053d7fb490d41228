#pragma once

#include <optional>
#include <string>
#include <vector>

namespace raid::ui {

// What raidgui was asked to do on its command line.
struct GuiOptions {
    bool simulate = false;
    std::string scenarioFile;  // empty: the built-in scenario
    // Render the window to this PNG file after `afterSeconds` and end.
    std::string screenshotFile;
    double afterSeconds = 12.0;
    // The page the screenshot shows (a Notebook1 page number); the status page
    // unless --page= names another.
    int screenshotPage = 0;
    // --autostart on|off: switch start at login and end, without a window.
    std::optional<bool> autostart;
    std::string error;  // set when the arguments are not understood
};

// `args` without the program name, after Qt has taken its own options.
GuiOptions ParseGuiOptions(const std::vector<std::string>& args);

// The Notebook1 page number of a page name of --page= (status, setup, upgrade,
// email, about, smart); -1 for any other name.
int PageNumberOfName(const std::string& name);

inline constexpr const char* kGuiUsage =
    "usage: raidgui [--simulate[=scenario.json]]\n"
    "               [--screenshot=FILE.png [--after=SECONDS] [--page=PAGE]]\n"
    "       raidgui --autostart on|off\n"
    "       raidgui --help | --version\n"
    "  PAGE: status (default), setup, upgrade, email, about or smart\n"
    "  --autostart on|off: start the window at login or not (an entry in\n"
    "                      ~/.config/autostart), then end\n";

}  // namespace raid::ui
