#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>

namespace raid::testing {

// Mode bits, FIFOs and /dev/zero are POSIX notions: on Windows, files get
// their access from ACLs (checked by the Windows tests of private files) and
// there is no FIFO to open by name.
#ifdef _WIN32
inline constexpr bool kPosixFiles = false;
#else
inline constexpr bool kPosixFiles = true;
#endif

// The permission bits of `path`, or nothing on Windows or when it cannot be looked at.
inline std::optional<unsigned> PermissionBits(const std::filesystem::path& path) {
#ifdef _WIN32
    (void)path;
    return std::nullopt;
#else
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<unsigned>(info.st_mode & 07777);
#endif
}

inline bool MakeFifo(const std::filesystem::path& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

}  // namespace raid::testing
