#pragma once

// Properties of the text the program makes from outside bytes, shared by the
// harnesses that produce it.

#include <algorithm>
#include <sstream>
#include <string>

#include "device/safe_text.h"
#include "tests/fuzz/fuzz_target.h"

namespace raid::fuzz {

// A line of the day file: one line, clean text.
inline void CheckLogLine(const std::string& line) {
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(SafeText(line) == line);
}

// Every line of the metrics file is a comment or "name{labels} value", with
// its label values' quotes closed, so that Prometheus reads the whole file.
inline void CheckMetricsText(const std::string& text) {
    std::istringstream metrics(text);
    for (std::string line; std::getline(metrics, line);) {
        FUZZ_CHECK(SafeText(line) == line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t blank = line.rfind(' ');
        FUZZ_CHECK(blank != std::string::npos && blank > 0);
        const std::size_t brace = std::min(line.find('{'), blank);
        FUZZ_CHECK(brace == blank || line[blank - 1] == '}');
        // Label values end at an unescaped quote.
        bool quoted = false;
        for (std::size_t i = brace; i < blank; ++i) {
            if (line[i] == '\\') {
                FUZZ_CHECK(quoted && i + 1 < blank);
                ++i;
            } else if (line[i] == '"') {
                quoted = !quoted;
            }
        }
        FUZZ_CHECK(!quoted);
    }
}

}  // namespace raid::fuzz
