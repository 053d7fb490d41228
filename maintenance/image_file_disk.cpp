#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "device/utf8_path.h"
#include "maintenance/firmware_image.h"
#include "monitor/file_system.h"

namespace raid {
namespace {

class DiskImageFile final : public ImageFile {
  public:
    ~DiskImageFile() override { Close(); }

    OpenResult Open(const std::string& path) override {
        Close();
        // Looked at before it is opened: opening a FIFO waits for a writer.
        std::error_code error;
        const auto type = std::filesystem::status(PathFromUtf8(path), error).type();
        if (error) {
            return OpenResult::Failed;
        }
        if (type != std::filesystem::file_type::regular) {
            return OpenResult::NotRegular;
        }
        // Through the file seam, which takes the UTF-8 name on every platform.
        const int fd = OpenForReading(path);
        if (fd < 0) {
            return OpenResult::Failed;
        }
        file_ = ::fdopen(fd, "rb");
        if (file_ == nullptr) {
            ::close(fd);
            return OpenResult::Failed;
        }
        return OpenResult::Opened;
    }

    std::optional<std::uint64_t> Length() override {
        if (file_ == nullptr || std::fseek(file_, 0, SEEK_END) != 0) {
            return std::nullopt;
        }
        const long length = std::ftell(file_);
        if (length < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(length);
    }

    bool Seek(std::uint64_t offset) override {
        return file_ != nullptr && std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0;
    }

    std::optional<std::uint8_t> ReadByte() override {
        if (file_ == nullptr) {
            return std::nullopt;
        }
        const int c = std::fgetc(file_);
        if (c == EOF) {
            std::clearerr(file_);
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(c);
    }

    void Close() override {
        if (file_ != nullptr) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }

  private:
    std::FILE* file_ = nullptr;
};

}  // namespace

std::unique_ptr<ImageFile> MakeDiskImageFile() {
    return std::make_unique<DiskImageFile>();
}

}  // namespace raid
