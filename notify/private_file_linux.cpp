#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "notify/private_file.h"

namespace raid {
namespace {

std::string SystemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t put = ::write(fd, data.data(), data.size());
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

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
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        load.error = SystemError("cannot look at", path, errno);
        return load;
    }
    if (!S_ISREG(info.st_mode)) {
        load.error = path + " is not a regular file";
        return load;
    }
    std::string data;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            load.error = SystemError("cannot read", path, errno);
            return load;
        }
        if (got == 0) {
            break;
        }
        if (data.size() + static_cast<std::size_t>(got) > maxBytes) {
            load.error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
            return load;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
    load.data = std::move(data);
    load.outcome = PrivateFileLoad::Outcome::Loaded;
    return load;
}

std::string SavePrivateFile(const std::string& path, std::string_view data) {
    if (IsSymlink(path)) {
        return path + " is a symbolic link; it is not written through or replaced";
    }
    const std::string folder = FolderOf(path);
    std::string temp = path + ".XXXXXX";
    // mkstemp makes a new file (mode 0600) and never follows a link.
    Descriptor file(::mkstemp(temp.data()));
    if (file.Get() < 0) {
        return SystemError("cannot create a temporary file for", path, errno);
    }
    std::string error;
    if (!WriteAll(file.Get(), data)) {
        error = SystemError("cannot write", temp, errno);
    } else if (::fsync(file.Get()) != 0) {
        error = SystemError("cannot flush", temp, errno);
    } else if (::close(file.Release()) != 0) {
        error = SystemError("cannot close", temp, errno);
    } else if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot replace", path, errno);
    } else {
        Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.Get() < 0) {
            return SystemError("cannot open folder", folder, errno);
        }
        if (::fsync(dir.Get()) != 0 && errno != EINVAL) {
            return SystemError("cannot flush folder", folder, errno);
        }
        return {};
    }
    ::unlink(temp.c_str());
    return error;
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
