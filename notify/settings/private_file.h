#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace raid {

// Files that hold settings or mail: readable by their owner only, replaced in
// one step, and never reached through a symbolic link.

struct PrivateFileLoad {
    enum class Outcome { Loaded, Missing, Failed };
    Outcome outcome = Outcome::Failed;
    std::string data;   // when Loaded
    std::string error;  // when Failed: what went wrong, with the path
};

// Reads at most `maxBytes`; a longer file, a symbolic link or anything but a
// regular file is refused.
PrivateFileLoad LoadPrivateFile(const std::string& path, std::size_t maxBytes);

// Writes `data` to a temporary file (mode 0600) in the same folder, flushes it
// to the disk and renames it over `path`. A symbolic link at `path` is refused
// rather than replaced. Returns an error text, empty on success.
std::string SavePrivateFile(const std::string& path, std::string_view data);

// Removes `path`; a missing file is no error. Returns an error text.
std::string RemovePrivateFile(const std::string& path);

// Renames `path` out of the way to `path` + ".unreadable" (or ".unreadable.N"
// when that is taken). Returns the new name, or empty text with `error` set.
std::string MoveAside(const std::string& path, std::string& error);

}  // namespace raid
