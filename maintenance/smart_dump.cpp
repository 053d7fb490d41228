#include "maintenance/smart_dump.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace raid {
namespace {

constexpr std::string_view kSteps = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::size_t kDumpSize = kSmartDrives * kSectorSize;

using DumpBytes = std::array<std::uint8_t, kDumpSize>;

DumpBytes FirstEnclosure(const std::array<SmartSector, kSmartDrives>& sectors) {
    DumpBytes bytes{};
    for (std::size_t j = 0; j < kSmartDrives; ++j) {
        std::copy(sectors[j].begin(), sectors[j].end(), bytes.begin() + j * kSectorSize);
    }
    return bytes;
}

std::string FullPath(const std::filesystem::path& folder, const std::string& name) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(folder / name, error);
    return (error ? folder / name : path).string();
}

// True when every byte reached the file and the file was closed cleanly.
bool WriteAll(std::FILE* file, const DumpBytes& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

void DumpOne(const DumpBytes& bytes, const std::filesystem::path& folder, const std::string& stem,
             StatusSink& status, Dialogs& dialogs) {
    std::string path;
    for (char step : kSteps) {
        path = FullPath(folder, stem + step + ".bin");
        // Exclusive creation: a file that appeared since the last look is
        // stepped over, not overwritten.
        std::FILE* file = std::fopen(path.c_str(), "wbx");
        if (file == nullptr && errno == EEXIST) {
            continue;
        }
        if (file == nullptr || !WriteAll(file, bytes)) {
            if (file != nullptr) {
                std::error_code ignored;
                std::filesystem::remove(path, ignored);  // a short file is no dump
            }
            dialogs.MessageBox("Fail to create file", "GetSPIFWInfo:", DialogIcon::Error);
            return;
        }
        status.SetPanel(kPanelErrors, "Svae File OK :" + path);
        return;
    }
    status.SetPanel(kPanelErrors, "Create File Error" + path);
}

}  // namespace

void DumpSmartSectors(const SmartStore& store, const std::string& folder, StatusSink& status,
                      Dialogs& dialogs) {
    const std::filesystem::path base(folder.empty() ? "." : folder);
    DumpOne(FirstEnclosure(store.data[0]), base, "dSMART0", status, dialogs);
    DumpOne(FirstEnclosure(store.thresholds[0]), base, "sSMART0", status, dialogs);
}

}  // namespace raid
