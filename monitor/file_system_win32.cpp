#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <random>

#include "device/windows_text.h"
#include "monitor/file_system.h"

namespace raid {

int OpenForReading(const std::string& path) {
    return ::_wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int CreateFileBeside(const std::string& path, std::string& temp) {
    // The C runtime's mkstemp takes an ANSI name; this one is UTF-8 throughout.
    std::random_device seed;
    std::mt19937 pick(seed());
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = path + ".";
        for (int i = 0; i < 6; ++i) {
            temp += kLetters[pick() % (sizeof kLetters - 1)];
        }
        const int fd =
            ::_wopen(Wide(temp).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                     _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

int CreateNewFile(const std::string& path) {
    // The C runtime's fopen ignores "x" and would overwrite the file.
    return ::_wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

int SetFileMode(int, mode_t) {
    return 0;
}

int FlushFile(int fd) {
    return ::_commit(fd);
}

std::string MoveOver(const std::string& from, const std::string& to) {
    // rename() refuses an existing target on Windows; write-through returns
    // only once the move is on the disk.
    if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return "cannot replace " + to + ": " + WindowsErrorText(GetLastError());
    }
    return {};
}

void RemoveFile(const std::string& path) {
    ::_wunlink(Wide(path).c_str());
}

}  // namespace raid
