#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "monitor/file_descriptor.h"
#include "monitor/file_system.h"

namespace raid {
namespace {

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// The rename is only durable once the folder itself is flushed.
std::string SyncFolder(const std::string& folder) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) {
        return SystemError("cannot open folder", folder, errno);
    }
    if (::fsync(dir.Get()) != 0 && errno != EINVAL) {
        return SystemError("cannot flush folder", folder, errno);
    }
    return {};
}

}  // namespace

int OpenForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

int CreateFileBeside(const std::string& path, std::string& temp) {
    temp = path + ".XXXXXX";
    return ::mkostemp(temp.data(), O_CLOEXEC);
}

int CreateNewFile(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int SetFileMode(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int FlushFile(int fd) {
    return ::fsync(fd);
}

std::string MoveOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return SystemError("cannot replace", to, errno);
    }
    return SyncFolder(FolderOf(to));
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

}  // namespace raid
