#pragma once

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
    std::string error;  // set when the arguments are not understood
};

// `args` without the program name, after Qt has taken its own options.
GuiOptions ParseGuiOptions(const std::vector<std::string>& args);

inline constexpr const char* kGuiUsage =
    "usage: raidgui [--simulate[=scenario.json]] [--screenshot=FILE.png [--after=SECONDS]]\n";

}  // namespace raid::ui
