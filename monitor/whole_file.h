#pragma once

#include <sys/types.h>
#include <cstddef>
#include <string>
#include <string_view>

namespace raid {

// A whole small file (event log, settings, metrics, queued mail) read or
// replaced in one step.
struct WholeFile {
    enum class Outcome { Loaded, Missing, Failed };
    Outcome outcome = Outcome::Failed;
    std::string data;   // when Loaded
    std::string error;  // when Failed
};

// Writes all of `data` to `fd`, going on after interruptions. False with
// errno set when the system refused some of it.
bool WriteAll(int fd, std::string_view data);

// Only a regular file of at most `maxBytes` is read; anything else fails.
WholeFile ReadWholeFile(const std::string& path, std::size_t maxBytes);

// Reads an open descriptor to its end into `data`, refusing more than
// `maxBytes`. Returns an error text naming `path`, empty on success.
std::string ReadToEnd(int fd, const std::string& path, std::size_t maxBytes, std::string& data);

// Reads an open descriptor that must be a regular file (a device or a FIFO
// would never end or never answer) of at most `maxBytes` into `data`. Open it
// with O_NONBLOCK, so that a FIFO cannot hang the open. Returns an error text
// naming `path`, empty on success.
std::string ReadRegularFile(int fd, const std::string& path, std::size_t maxBytes,
                            std::string& data);

// Replaces `path` with `data`: written to a temporary file in the same folder,
// flushed to the disk and renamed over the old file, so that a crash never
// leaves half a file. A new file gets `mode`; a replaced one keeps its own
// permissions unless told to take `mode` too. Returns an error text, empty on
// success.
enum class ExistingMode { Keep, Replace };
std::string ReplaceWholeFile(const std::string& path, std::string_view data, mode_t mode,
                             ExistingMode existing = ExistingMode::Keep);

}  // namespace raid
