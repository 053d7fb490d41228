#pragma once

// POSIX only: included by the files that read and replace whole files.
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>

namespace raid {

// "cannot open /path: No such file or directory".
inline std::string SystemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

// Closes a descriptor on every path out of a function; Release() hands the
// close back to the caller, who must check it.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

}  // namespace raid
