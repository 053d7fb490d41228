#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "device/clock.h"
#include "device/transport.h"
#include "sim/sim_transport.h"

namespace raid::e2e {

// Deliberate misbehaviour of the backend, so that the end-to-end checks can
// be shown to notice a broken storage path.
enum class BackendFault {
    None,
    // After the first read of the reply sector, later reads of it are answered
    // from that first copy and never reach the enclosure (a cache in the path).
    CachedReply,
    // The first read of `dropLba` is answered with zeros and never reaches the
    // enclosure (a read lost on the way).
    DroppedRead,
};

struct BackendOptions {
    std::string scenarioFile;
    std::optional<std::uint8_t> disk;  // none: the scenario's first enclosure
    std::string readLog;               // empty: no log
    std::uint64_t sizeBytes = 64ull * 1024 * 1024;
    BackendFault fault = BackendFault::None;
    std::uint32_t dropLba = 0x210;
    std::string flashDump;  // empty: none; else the flash is written there at the end
};

// Parses "none", "cached-reply" or "dropped-read".
std::optional<BackendFault> ParseFault(const std::string& text);

// One enclosure of a scenario served as a block device: every 512-byte sector
// is read from the stand-in controller on its own, in the order asked, and
// the address of every read the controller received is appended to the read
// log before the data goes back.
class EnclosureBackend {
  public:
    // Null with `error` set when the scenario cannot be loaded, has no such
    // enclosure, or the log cannot be opened.
    static std::unique_ptr<EnclosureBackend> Open(const BackendOptions& options,
                                                  std::string& error);
    ~EnclosureBackend();
    EnclosureBackend(const EnclosureBackend&) = delete;
    EnclosureBackend& operator=(const EnclosureBackend&) = delete;

    std::uint64_t SizeBytes() const { return options_.sizeBytes; }
    // Writes the enclosure's SPI flash, whole, to `path`; false on failure.
    bool DumpFlash(const std::string& path);

    // Fills `buffer` from `offset`; both must be whole sectors and inside the
    // disk. Returns 0 or an errno value; on failure `error` says why.
    int Read(std::span<std::uint8_t> buffer, std::uint64_t offset, std::string& error);

  private:
    EnclosureBackend(const BackendOptions& options, sim::Scenario scenario, std::uint8_t disk,
                     int logFd);

    // Asks the enclosure for one sector, or serves it the way the fault says.
    int ReadSector(std::uint32_t lba, std::span<std::uint8_t, kSectorSize> sector,
                   std::string& error);
    bool LogRead(std::uint32_t lba);

    BackendOptions options_;
    SteadyClock clock_;
    sim::SimTransport transport_;
    std::uint8_t disk_;
    int logFd_;
    std::optional<std::array<std::uint8_t, kSectorSize>> cachedReply_;
    bool dropped_ = false;
};

}  // namespace raid::e2e
