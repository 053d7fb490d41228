// Feeds every file of the given folders (and the files given) to one
// registered harness, in name order, under whatever sanitizers the build has.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_target.h"

namespace raid::fuzz {
namespace {

std::map<std::string, Harness>& Harnesses() {
    static std::map<std::string, Harness> harnesses;
    return harnesses;
}

bool ReadInput(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

bool Register(const char* name, Harness harness) {
    Harnesses().emplace(name, harness);
    return true;
}

}  // namespace raid::fuzz

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const auto& harnesses = raid::fuzz::Harnesses();
    if (argc < 3 || harnesses.count(argv[1]) == 0) {
        std::fprintf(stderr, "usage: %s TARGET FOLDER|FILE...\ntargets:", argv[0]);
        for (const auto& [name, harness] : harnesses) {
            std::fprintf(stderr, " %s", name.c_str());
        }
        std::fprintf(stderr, "\n");
        return 2;
    }
    const raid::fuzz::Harness harness = harnesses.at(argv[1]);
    std::vector<fs::path> inputs;
    for (int i = 2; i < argc; ++i) {
        // A target without regression inputs has no folder for them.
        std::error_code ec;
        const fs::file_status status = fs::status(argv[i], ec);
        if (status.type() == fs::file_type::not_found) {
            continue;
        }
        if (fs::is_directory(status)) {
            for (const auto& entry : fs::directory_iterator(argv[i], ec)) {
                if (entry.is_regular_file()) {
                    inputs.push_back(entry.path());
                }
            }
        } else if (fs::is_regular_file(status)) {
            inputs.emplace_back(argv[i]);
        }
        if (ec) {
            std::fprintf(stderr, "cannot read %s: %s\n", argv[i], ec.message().c_str());
            return 1;
        }
    }
    // A corpus that went missing must not pass as replayed.
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs for %s\n", argv[1]);
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    std::vector<std::uint8_t> bytes;
    for (const fs::path& path : inputs) {
        if (!raid::fuzz::ReadInput(path, bytes)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        harness(raid::fuzz::Input(bytes.data(), bytes.size()));
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], inputs.size());
    return 0;
}
