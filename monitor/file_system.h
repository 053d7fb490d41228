#pragma once

#include <sys/types.h>

#include <string>

namespace raid {

// The file calls whose system call differs between platforms; whole_file.cpp
// is written on top of them. Descriptors are the C runtime's on both. Paths
// are UTF-8. Each returns -1 (or an error text) and leaves errno set.

// Read-only, not inherited, binary; opening a FIFO does not wait for a writer.
int OpenForReading(const std::string& path);
// A new file of our own beside `path` (same folder, so that moving it over
// `path` is one step); its name into `temp`.
int CreateFileBeside(const std::string& path, std::string& temp);
// A new file at `path` for writing, binary, not inherited; never one that
// exists (errno EEXIST then), even if it appeared since the caller looked.
int CreateNewFile(const std::string& path);
// POSIX permissions; Windows keeps the folder's ACL (private files set their
// own) and this does nothing there.
int SetFileMode(int fd, mode_t mode);
// The file's data on the disk before it replaces another.
int FlushFile(int fd);
// Moves `from` over `to`, replacing it, durably (the folder entry flushed
// too). Returns an error text naming `to`, empty on success.
std::string MoveOver(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);

}  // namespace raid
