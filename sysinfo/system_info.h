#pragma once

#include "sysinfo/system_facts.h"

#include <string>
#include <vector>

namespace raid {

// The short description of the host computer that is appended to every mail
// and shown on request. Every line begins with "\n".
using SystemInfoLines = std::vector<std::string>;

// Builds the report from the host's facts. Queries that fail leave their
// values empty; every line is still there.
SystemInfoLines BuildSystemInfoLines(SystemFacts& facts);

// The report as one text: the lines with nothing between them, since each
// brings its own line feed.
std::string SystemInfoText(const SystemInfoLines& lines);

}  // namespace raid
