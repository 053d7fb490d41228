#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace raid::testing {

// A new, empty folder of this test's own under the system's temporary folder
// ("prefix-" and six random letters), or an empty path when none could be made.
inline std::filesystem::path MakeScratchFolder(const std::string& prefix) {
    std::random_device seed;
    std::mt19937 pick(seed());
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        return {};
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix + "-";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[pick() % (sizeof kLetters - 1)];
        }
        // create_directory is false for a folder that was already there: someone else's.
        if (std::filesystem::create_directory(base / name, error)) {
            return base / name;
        }
        if (error) {
            return {};
        }
    }
    return {};
}

// A scratch folder removed with its contents at the end of the scope.
struct ScratchFolder {
    explicit ScratchFolder(const std::string& prefix) : path(MakeScratchFolder(prefix).string()) {}
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path;
};

}  // namespace raid::testing
