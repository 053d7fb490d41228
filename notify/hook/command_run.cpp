#include "notify/hook/command_run.h"

#include <algorithm>

#include "notify/compose/escaped_text.h"

namespace raid {

std::string CommandOutcome::Text() const {
    std::string text;
    if (!started) {
        text = startError;
    } else if (timedOut) {
        text = "killed after its time limit";
    } else if (stopped) {
        text = "killed as the program ended";
    } else if (signal != 0) {
        text = "ended by signal " + std::to_string(signal);
    } else {
        text = "exit code " + std::to_string(exitCode);
    }
    for (std::size_t i = 0; i < errorLines.size(); ++i) {
        text += (i == 0 ? ": " : " / ") + errorLines[i];
    }
    return text;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& own,
                                           const std::vector<std::string>& over) {
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> merged;
    for (const std::string& entry : own) {
        const std::string name = nameOf(entry);
        const bool replaced = std::any_of(over.begin(), over.end(),
                                          [&](const std::string& o) { return nameOf(o) == name; });
        if (!replaced) {
            merged.push_back(entry);
        }
    }
    merged.insert(merged.end(), over.begin(), over.end());
    return merged;
}

std::vector<std::string> FirstLines(const std::string& text, std::size_t count) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < count) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = EscapedText(text.substr(start, end - start));
        // A line end of CR LF leaves its CR escaped at the end.
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\\r") == 0) {
            line.resize(line.size() - 2);
        }
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace raid
