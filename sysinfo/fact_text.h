#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace raid {

// sysfs attributes are a few bytes; anything longer than this is not one.
inline constexpr std::size_t kMaxFactFileBytes = 4096;

// At most `maxBytes` of a file, or nullopt when it cannot be opened or read.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path,
                                         std::size_t maxBytes = kMaxFactFileBytes);

// A device string made fit for one report line: control characters (line
// feeds, NULs padding a fixed field) become blanks, surrounding blanks are trimmed.
std::string CleanFactText(std::string_view raw);

// ReadSmallFile then CleanFactText; empty text when the file is missing.
std::string ReadFactFile(const std::filesystem::path& path);

}  // namespace raid
