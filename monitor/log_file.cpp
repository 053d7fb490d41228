#include "monitor/log_file.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "device/utf8_path.h"
#include "monitor/whole_file.h"

namespace raid {

std::string LogFileName(const std::string& folder, const std::string& dayStem) {
    return Utf8FromPath(PathFromUtf8(folder) / PathFromUtf8(dayStem + ".log"));
}

std::vector<std::string> SplitLogLines(std::string_view data) {
    std::vector<std::string> lines;
    while (!data.empty()) {
        const auto lf = data.find('\n');
        std::string_view line = data.substr(0, lf);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        data.remove_prefix(lf == std::string_view::npos ? data.size() : lf + 1);
    }
    return lines;
}

std::string JoinLogLines(const std::vector<std::string>& lines) {
    std::string data;
    for (const auto& line : lines) {
        data += line;
        data += "\r\n";
    }
    return data;
}

LogLoad LoadLogFile(const std::string& path) {
    WholeFile file = ReadWholeFile(path, kMaxLogFileBytes);
    LogLoad load;
    switch (file.outcome) {
        case WholeFile::Outcome::Loaded:
            if (static_cast<std::size_t>(std::count(file.data.begin(), file.data.end(), '\n')) >
                kMaxLogLines) {
                load.error = path + " has more than " + std::to_string(kMaxLogLines) + " lines";
                break;
            }
            load.outcome = LogLoad::Outcome::Loaded;
            load.lines = SplitLogLines(file.data);
            break;
        case WholeFile::Outcome::Missing:
            load.outcome = LogLoad::Outcome::Missing;
            break;
        case WholeFile::Outcome::Failed:
            load.error = std::move(file.error);
            break;
    }
    return load;
}

bool LogFileMayExist(const std::string& path) {
    // Not found means the path or one of its folders is not there; any other
    // failure to look leaves the file possibly present.
    std::error_code error;
    return std::filesystem::status(PathFromUtf8(path), error).type() !=
           std::filesystem::file_type::not_found;
}

std::string SaveLogFile(const std::string& path, const std::vector<std::string>& lines) {
    // Who may read the log is the folder's to decide: a user's is private, the
    // service's open to its group.
    return ReplaceWholeFile(path, JoinLogLines(lines), 0644);
}

}  // namespace raid
