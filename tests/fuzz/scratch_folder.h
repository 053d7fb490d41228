#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tests/fuzz/fuzz_target.h"

namespace raid::fuzz {

// A private folder for harnesses whose parser reads a file; made once per
// process and left empty between inputs.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string name =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/raidgui-fuzz-XXXXXX";
        FUZZ_CHECK(::mkdtemp(name.data()) != nullptr);
        return std::filesystem::path(name);
    }();
    return folder;
}

inline void EmptyScratchFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder(), ec)) {
        std::filesystem::remove_all(entry.path(), ec);
    }
}

}  // namespace raid::fuzz
