// The manual pages against what the programs print for --help: the synopsis,
// the verbs, the options and the environment variables the code reads, so
// that neither can change without the other.
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ui/gui_options.h"

namespace raid {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The sections of a txt2man source: a heading is a line at the left margin.
std::map<std::string, std::vector<std::string>> Sections(const std::string& text) {
    std::map<std::string, std::vector<std::string>> sections;
    std::string current;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != ' ') {
            current = line;
        } else if (!current.empty()) {
            sections[current].push_back(line);
        }
    }
    return sections;
}

std::string Collapse(const std::string& text) {
    std::istringstream in(text);
    std::string word;
    std::string out;
    while (in >> word) {
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

// Synopsis entries: a line that starts with the program's name begins one, a
// line that starts with "[" continues it, others (explanations) are not part.
std::vector<std::string> SynopsisEntries(const std::vector<std::string>& lines,
                                         const std::string& program) {
    std::vector<std::string> entries;
    for (std::string line : lines) {
        if (line.rfind("usage: ", 0) == 0) {
            line = line.substr(7);
        }
        const std::string text = Collapse(line);
        if (text.rfind(program + " ", 0) == 0) {
            entries.push_back(text);
        } else if (text.rfind('[', 0) == 0 && !entries.empty()) {
            entries.back() += " " + text;
        }
    }
    return entries;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Every option name in a text: --name or -h.
std::set<std::string> OptionNames(const std::string& text) {
    static const std::regex option(R"((^|[\s\[|,])(--[a-z][a-z0-9-]*|-h)\b)");
    std::set<std::string> names;
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) {
        names.insert((*it)[2]);
    }
    return names;
}

// The option names of a manual page's OPTIONS entries (the left column).
std::set<std::string> ManualOptionNames(const std::vector<std::string>& lines) {
    std::set<std::string> names;
    for (const std::string& line : lines) {
        if (line.rfind("  -", 0) != 0) {
            continue;  // a description's continuation
        }
        const auto gap = line.find("  ", 2);
        const std::set<std::string> entry = OptionNames(line.substr(2, gap - 2));
        names.insert(entry.begin(), entry.end());
    }
    return names;
}

// The first word of every entry of a section (COMMANDS).
std::set<std::string> EntryWords(const std::vector<std::string>& lines) {
    std::set<std::string> words;
    for (const std::string& line : lines) {
        if (line.size() > 2 && line.rfind("  ", 0) == 0 && line[2] != ' ') {
            words.insert(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    return words;
}

std::set<std::string> EnvironmentNames(const std::string& text) {
    static const std::regex name(R"(RAIDGUI_[A-Z_]+)");
    std::set<std::string> names;
    for (std::sregex_iterator it(text.begin(), text.end(), name), end; it != end; ++it) {
        names.insert(it->str());
    }
    return names;
}

// The RAIDGUI_* variables the program's own sources read, outside `skip`.
std::set<std::string> VariablesRead(const std::set<std::string>& skip) {
    static const std::regex read(
        R"(getenv\("(RAIDGUI_[A-Z_]+)\"|qEnvironmentVariable\("(RAIDGUI_[A-Z_]+)\")");
    std::set<std::string> names;
    const fs::path source = RAIDGUI_SOURCE_DIR;
    for (const char* folder : {"app", "cli", "device", "maintenance", "monitor", "notify", "sim",
                               "sysinfo", "udev", "ui"}) {
        if (skip.count(folder) != 0 || !fs::is_directory(source / folder)) {
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(source / folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
                continue;
            }
            const std::string text = ReadText(entry.path());
            for (std::sregex_iterator it(text.begin(), text.end(), read), end; it != end; ++it) {
                names.insert((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
            }
        }
    }
    return names;
}

struct ProgramRun {
    int status = -1;
    std::string out;
};

// raidcli with `args`, its standard output only.
ProgramRun Raidcli(const std::string& args) {
    ProgramRun run;
    const std::string command = std::string("'") + RAIDCLI_BINARY + "' " + args + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class RaidcliManual : public ::testing::Test {
  protected:
    void SetUp() override {
        sections_ =
            Sections(ReadText(fs::path(RAIDGUI_SOURCE_DIR) / "packaging/man/raidcli.1.txt"));
        ASSERT_FALSE(sections_["SYNOPSIS"].empty());
        usage_ = Raidcli("--help");
        ASSERT_EQ(usage_.status, 0);
    }
    std::set<std::string> Verbs() { return EntryWords(sections_["COMMANDS"]); }

    std::map<std::string, std::vector<std::string>> sections_;
    ProgramRun usage_;
};

TEST_F(RaidcliManual, TheSynopsisIsTheUsage) {
    EXPECT_EQ(SynopsisEntries(sections_["SYNOPSIS"], "raidcli"),
              SynopsisEntries(Lines(usage_.out), "raidcli"));
    EXPECT_EQ(Raidcli("-h").out, usage_.out);
}

TEST_F(RaidcliManual, EveryVerbHasItsEntryAndItsHelpOnStandardOutput) {
    std::set<std::string> usageVerbs;
    for (const std::string& entry : SynopsisEntries(Lines(usage_.out), "raidcli")) {
        const std::string verb = entry.substr(8, entry.find(' ', 8) - 8);
        if (verb != "VERB" && verb[0] != '-') {
            usageVerbs.insert(verb);
        }
    }
    EXPECT_EQ(Verbs(), usageVerbs);
    for (const std::string& verb : Verbs()) {
        SCOPED_TRACE(verb);
        for (const char* help : {"--help", "-h"}) {
            const ProgramRun run = Raidcli(verb + " " + help);
            EXPECT_EQ(run.status, 0);
            EXPECT_THAT(run.out, ::testing::HasSubstr("raidcli " + verb));
        }
    }
}

TEST_F(RaidcliManual, OptionsAreThoseTheHelpNames) {
    std::string help = usage_.out;
    for (const std::string& verb : Verbs()) {
        help += Raidcli(verb + " --help").out;
    }
    EXPECT_EQ(ManualOptionNames(sections_["OPTIONS"]), OptionNames(help));
}

TEST_F(RaidcliManual, TheEnvironmentIsWhatTheProgramReads) {
    std::string text;
    for (const std::string& line : sections_["ENVIRONMENT"]) {
        text += line + "\n";
    }
    EXPECT_EQ(EnvironmentNames(text), VariablesRead({"ui"}));
}

TEST(RaidguiManual, SynopsisOptionsAndEnvironmentAreThoseOfTheProgram) {
    auto sections =
        Sections(ReadText(fs::path(RAIDGUI_SOURCE_DIR) / "packaging/man/raidgui.1.txt"));
    const std::vector<std::string> usage = Lines(ui::kGuiUsage);
    EXPECT_EQ(SynopsisEntries(sections["SYNOPSIS"], "raidgui"), SynopsisEntries(usage, "raidgui"));
    EXPECT_EQ(ManualOptionNames(sections["OPTIONS"]), OptionNames(ui::kGuiUsage));
    std::string text;
    for (const std::string& line : sections["ENVIRONMENT"]) {
        text += line + "\n";
    }
    EXPECT_EQ(EnvironmentNames(text), VariablesRead({"cli"}));
}

}  // namespace
}  // namespace raid
