// Lines of /proc/<pid>/mountinfo, with the kernel's octal escapes: a parsed
// line names a mount point and a source without a NUL or line break.
#include "device/disk_catalog_linux.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(mountinfo) {
    std::string_view text = raid::fuzz::AsText(input);
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const auto entry = raid::ParseMountInfoLine(text.substr(0, end));
        if (entry) {
            FUZZ_CHECK(!entry->mountPoint.empty());
            FUZZ_CHECK(entry->mountPoint.find('\0') == std::string::npos);
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}
