#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace raid {

// "<folder>/yymmdd.log". An empty folder means the current directory.
std::string LogFileName(const std::string& folder, const std::string& dayStem);

// Lines of a log file: split on CR LF or a bare LF; a missing final line
// break is tolerated. A lone CR stays part of its line.
std::vector<std::string> SplitLogLines(std::string_view data);
// Every line followed by CR LF.
std::string JoinLogLines(const std::vector<std::string>& lines);

struct LogLoad {
    enum class Outcome { Loaded, Missing, Failed };
    Outcome outcome = Outcome::Failed;
    std::vector<std::string> lines;  // when Loaded
    std::string error;               // when Failed
};

// A day file is a few hundred kilobytes at most; far more is not one of ours,
// and its lines would take many times its size in memory.
inline constexpr std::size_t kMaxLogFileBytes = 8u << 20;
inline constexpr std::size_t kMaxLogLines = 1u << 20;

// Reads a regular file of at most kMaxLogFileBytes and kMaxLogLines lines;
// anything else (a device, a FIFO, a folder, a larger file) fails with a text
// that says why.
LogLoad LoadLogFile(const std::string& path);

// False only when the file is known not to be there; a file that cannot even
// be looked at counts as present, so that its lines are never replaced unread.
bool LogFileMayExist(const std::string& path);

// Replaces `path` with `lines`: written to a temporary file in the same folder,
// flushed to the disk and renamed over the old file, so that a crash never
// leaves half a day's log. Returns an error text, empty on success.
std::string SaveLogFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace raid
