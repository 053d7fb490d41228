#include "monitor/whole_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "monitor/file_descriptor.h"
#include "monitor/file_system.h"

namespace raid {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string ReadToEnd(int fd, const std::string& path, std::size_t maxBytes, std::string& data) {
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemError("cannot read", path, errno);
        }
        if (got == 0) {
            return {};
        }
        if (static_cast<std::size_t>(got) > maxBytes - data.size()) {
            return path + " is larger than " + std::to_string(maxBytes) + " bytes";
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string ReadRegularFile(int fd, const std::string& path, std::size_t maxBytes,
                            std::string& data) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return SystemError("cannot look at", path, errno);
    }
    // A device or a pipe never ends (/dev/zero) or never answers.
    if (!S_ISREG(info.st_mode)) {
        return path + " is not a regular file";
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return path + " is larger than " + std::to_string(maxBytes) + " bytes";
    }
    data.reserve(static_cast<std::size_t>(info.st_size));
    return ReadToEnd(fd, path, maxBytes, data);
}

WholeFile ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    WholeFile load;
    Descriptor file(OpenForReading(path));
    if (file.Get() < 0) {
        if (errno == ENOENT) {
            load.outcome = WholeFile::Outcome::Missing;
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
    if (::close(file.Release()) != 0) {
        load.error = SystemError("cannot close", path, errno);
        return load;
    }
    load.data = std::move(data);
    load.outcome = WholeFile::Outcome::Loaded;
    return load;
}

std::string ReplaceWholeFile(const std::string& path, std::string_view data, mode_t mode,
                             ExistingMode existing) {
    std::string temp;
    Descriptor file(CreateFileBeside(path, temp));
    if (file.Get() < 0) {
        return SystemError("cannot create a temporary file for", path, errno);
    }
    std::string error;
    struct stat old {};
    const mode_t wanted = existing == ExistingMode::Keep && ::stat(path.c_str(), &old) == 0
                              ? (old.st_mode & 07777)
                              : mode;
    if (SetFileMode(file.Get(), wanted) != 0) {
        error = SystemError("cannot set permissions of", temp, errno);
    } else if (!WriteAll(file.Get(), data)) {
        error = SystemError("cannot write", temp, errno);
    } else if (FlushFile(file.Get()) != 0) {
        error = SystemError("cannot flush", temp, errno);
    } else if (::close(file.Release()) != 0) {
        error = SystemError("cannot close", temp, errno);
    } else if (error = MoveOver(temp, path); error.empty()) {
        return {};
    }
    RemoveFile(temp);
    return error;
}

}  // namespace raid
