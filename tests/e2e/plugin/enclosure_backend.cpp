#include "tests/e2e/plugin/enclosure_backend.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/command_codes.h"

namespace raid::e2e {
namespace {

std::optional<std::uint8_t> ChooseDisk(const sim::Scenario& scenario,
                                       std::optional<std::uint8_t> wanted) {
    for (const sim::EnclosureConfig& enclosure : scenario.enclosures) {
        if (!wanted || enclosure.disk == *wanted) {
            return enclosure.disk;
        }
    }
    return std::nullopt;
}

// A partial write(2) to a regular file only happens when the disk is full;
// the rest is written rather than leaving half a line behind.
bool WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<BackendFault> ParseFault(const std::string& text) {
    if (text == "none") {
        return BackendFault::None;
    }
    if (text == "cached-reply") {
        return BackendFault::CachedReply;
    }
    if (text == "dropped-read") {
        return BackendFault::DroppedRead;
    }
    return std::nullopt;
}

std::unique_ptr<EnclosureBackend> EnclosureBackend::Open(const BackendOptions& options,
                                                         std::string& error) {
    if (options.sizeBytes == 0 || options.sizeBytes % kSectorSize != 0 ||
        options.sizeBytes / kSectorSize > 0x1'0000'0000ull) {
        error = "size must be a whole number of 512-byte sectors, at most 2 TiB";
        return nullptr;
    }
    if (options.sizeBytes / kSectorSize <= kSeparatorSector) {
        error = "size must reach past the separator sector 0x5FFF";
        return nullptr;
    }
    sim::LoadResult loaded = sim::LoadScenarioFile(options.scenarioFile);
    if (!loaded.ok) {
        error = "scenario " + options.scenarioFile + ": " + loaded.error;
        return nullptr;
    }
    const std::optional<std::uint8_t> disk = ChooseDisk(loaded.scenario, options.disk);
    if (!disk) {
        error = "scenario " + options.scenarioFile + " has no enclosure" +
                (options.disk ? " on disk " + std::to_string(*options.disk) : std::string());
        return nullptr;
    }
    int logFd = -1;
    if (!options.readLog.empty()) {
        logFd = ::open(options.readLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC,
                       0644);
        if (logFd < 0) {
            error = "read log " + options.readLog + ": " + std::strerror(errno);
            return nullptr;
        }
    }
    return std::unique_ptr<EnclosureBackend>(
        new EnclosureBackend(options, std::move(loaded.scenario), *disk, logFd));
}

EnclosureBackend::EnclosureBackend(const BackendOptions& options, sim::Scenario scenario,
                                   std::uint8_t disk, int logFd)
    : options_(options), transport_(std::move(scenario), clock_), disk_(disk), logFd_(logFd) {}

EnclosureBackend::~EnclosureBackend() {
    if (!options_.flashDump.empty() && !DumpFlash(options_.flashDump)) {
        std::fprintf(stderr, "raidsim: cannot write the flash to %s\n", options_.flashDump.c_str());
    }
    if (logFd_ >= 0) {
        // Every line went out with its own write(2); nothing is left to lose.
        static_cast<void>(::close(logFd_));
    }
}

int EnclosureBackend::Read(std::span<std::uint8_t> buffer, std::uint64_t offset,
                           std::string& error) {
    if (offset % kSectorSize != 0 || buffer.size() % kSectorSize != 0) {
        error = "read not aligned to 512-byte sectors";
        return EINVAL;
    }
    if (offset > options_.sizeBytes || buffer.size() > options_.sizeBytes - offset) {
        error = "read beyond the end of the disk";
        return EINVAL;
    }
    const auto first = static_cast<std::uint32_t>(offset / kSectorSize);
    const std::size_t count = buffer.size() / kSectorSize;
    for (std::size_t i = 0; i < count; ++i) {
        std::span<std::uint8_t, kSectorSize> sector(buffer.data() + i * kSectorSize, kSectorSize);
        const int rc = ReadSector(first + static_cast<std::uint32_t>(i), sector, error);
        if (rc != 0) {
            return rc;
        }
    }
    return 0;
}

int EnclosureBackend::ReadSector(std::uint32_t lba, std::span<std::uint8_t, kSectorSize> sector,
                                 std::string& error) {
    if (options_.fault == BackendFault::CachedReply && lba == kReplySector && cachedReply_) {
        std::copy(cachedReply_->begin(), cachedReply_->end(), sector.begin());
        return 0;
    }
    if (options_.fault == BackendFault::DroppedRead && lba == options_.dropLba && !dropped_) {
        dropped_ = true;
        std::fill(sector.begin(), sector.end(), std::uint8_t{0});
        return 0;
    }
    // The log says what the enclosure received, so it is written before the
    // enclosure answers: a read the enclosure refuses was still received.
    if (!LogRead(lba)) {
        error = "read log " + options_.readLog + ": " + std::strerror(errno);
        return EIO;
    }
    // One handle per sector, as a link that is opened for each request: an
    // enclosure that disappears on the scenario's timeline fails from then on.
    const DeviceHandle handle = transport_.OpenDevice(disk_);
    if (handle == kInvalidHandle) {
        error = "the enclosure on disk " + std::to_string(disk_) + " is not present";
        return EIO;
    }
    const bool ok = transport_.ReadSectors(handle, lba, sector, 1);
    transport_.CloseHandle(handle);
    if (!ok) {
        error = "the enclosure failed the read of sector " + std::to_string(lba);
        return EIO;
    }
    if (options_.fault == BackendFault::CachedReply && lba == kReplySector) {
        cachedReply_.emplace();
        std::copy(sector.begin(), sector.end(), cachedReply_->begin());
    }
    return 0;
}

bool EnclosureBackend::LogRead(std::uint32_t lba) {
    if (logFd_ < 0) {
        return true;
    }
    char line[16];
    const int n = std::snprintf(line, sizeof line, "%u\n", static_cast<unsigned>(lba));
    return n > 0 && WriteAll(logFd_, line, static_cast<std::size_t>(n));
}

bool EnclosureBackend::DumpFlash(const std::string& path) {
    std::vector<std::uint8_t> contents;
    transport_.WithController(disk_, [&](sim::Controller& controller) {
        const auto flash = controller.flash().contents();
        contents.assign(flash.begin(), flash.end());
    });
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written =
        WriteAll(fd, reinterpret_cast<const char*>(contents.data()), contents.size());
    return ::close(fd) == 0 && written && !contents.empty();
}

}  // namespace raid::e2e
