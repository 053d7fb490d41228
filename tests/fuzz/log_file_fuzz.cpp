// A day file of the event log as any program may have left it: split into
// lines and joined again, the lines stay the same and hold no line end.
#include "monitor/log_file.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(log_file) {
    using namespace raid;
    const std::vector<std::string> lines = SplitLogLines(fuzz::AsText(input));
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.find('\n') == std::string::npos);
    }
    const std::string joined = JoinLogLines(lines);
    FUZZ_CHECK(SplitLogLines(joined) == lines);
    FUZZ_CHECK(JoinLogLines(SplitLogLines(joined)) == joined);
}
