#include <cstdio>
#include <filesystem>
#include <system_error>

#include "maintenance/firmware_image.h"

namespace raid {
namespace {

class DiskImageFile final : public ImageFile {
  public:
    ~DiskImageFile() override { Close(); }

    OpenResult Open(const std::string& path) override {
        Close();
        // Looked at before it is opened: opening a FIFO waits for a writer.
        std::error_code error;
        const auto type = std::filesystem::status(path, error).type();
        if (error) {
            return OpenResult::Failed;
        }
        if (type != std::filesystem::file_type::regular) {
            return OpenResult::NotRegular;
        }
        file_ = std::fopen(path.c_str(), "rb");
        return file_ != nullptr ? OpenResult::Opened : OpenResult::Failed;
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
