#include "maintenance/smart_dump.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string_view>

#include "device/utf8_path.h"
#include "monitor/file_descriptor.h"
#include "monitor/file_system.h"
#include "monitor/whole_file.h"

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
    return Utf8FromPath(error ? folder / name : path);
}

// True when every byte reached the file and the file was closed cleanly.
bool WriteDump(Descriptor& file, const DumpBytes& bytes) {
    const bool written = WriteAll(
        file.Get(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    const bool closed = ::close(file.Release()) == 0;
    return written && closed;
}

void DumpOne(const DumpBytes& bytes, const std::filesystem::path& folder, const std::string& stem,
             StatusSink& status, Dialogs& dialogs) {
    std::string path;
    for (char step : kSteps) {
        path = FullPath(folder, stem + step + ".bin");
        // Exclusive creation: a file that appeared since the last look is
        // stepped over, not overwritten.
        Descriptor file(CreateNewFile(path));
        if (file.Get() < 0 && errno == EEXIST) {
            continue;
        }
        const bool created = file.Get() >= 0;
        if (!created || !WriteDump(file, bytes)) {
            if (created) {
                RemoveFile(path);  // a short file is no dump
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
    const std::filesystem::path base = PathFromUtf8(folder.empty() ? "." : folder);
    DumpOne(FirstEnclosure(store.data[0]), base, "dSMART0", status, dialogs);
    DumpOne(FirstEnclosure(store.thresholds[0]), base, "sSMART0", status, dialogs);
}

}  // namespace raid
