#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "monitor/file_descriptor.h"
#include "monitor/whole_file.h"
#include "notify/settings/private_file.h"

namespace raid {
namespace {

bool IsSymlink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

}  // namespace

PrivateFileLoad LoadPrivateFile(const std::string& path, std::size_t maxBytes) {
    PrivateFileLoad load;
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (file.Get() < 0) {
        if (errno == ENOENT) {
            load.outcome = PrivateFileLoad::Outcome::Missing;
        } else if (errno == ELOOP) {
            load.error = path + " is a symbolic link and is not followed";
        } else {
            load.error = SystemError("cannot open", path, errno);
        }
        return load;
    }
    std::string data;
    if (std::string error = ReadRegularFile(file.Get(), path, maxBytes, data); !error.empty()) {
        load.error = std::move(error);
        return load;
    }
    load.data = std::move(data);
    load.outcome = PrivateFileLoad::Outcome::Loaded;
    return load;
}

std::string SavePrivateFile(const std::string& path, std::string_view data) {
    if (IsSymlink(path)) {
        return path + " is a symbolic link; it is not written through or replaced";
    }
    // mkstemp makes the temporary file new (mode 0600) and never follows a
    // link; the mode stays 0600 whatever the old file had.
    return ReplaceWholeFile(path, data, 0600, ExistingMode::Replace);
}

std::string RemovePrivateFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return SystemError("cannot remove", path, errno);
    }
    return {};
}

std::string MoveAside(const std::string& path, std::string& error) {
    for (int n = 0; n < 100; ++n) {
        const std::string aside =
            path + ".unreadable" + (n == 0 ? std::string() : "." + std::to_string(n));
        struct stat info {};
        if (::lstat(aside.c_str(), &info) == 0) {
            continue;
        }
        if (::rename(path.c_str(), aside.c_str()) != 0) {
            error = SystemError("cannot move aside", path, errno);
            return {};
        }
        return aside;
    }
    error = "cannot move aside " + path + ": too many earlier copies";
    return {};
}

}  // namespace raid
