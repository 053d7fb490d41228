#pragma once

#include <scsi/sg.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>

#include "device/disk_map_linux.h"
#include "device/scsi_pass_through_block.h"
#include "device/transport.h"

namespace raid {

// The system calls the transport makes, behind a seam so that retries and
// outcome handling can be tested without a disk. Results follow the kernel's
// convention without errno: a negative value is -errno.
class SgDevice {
  public:
    virtual ~SgDevice() = default;
    // Returns a file descriptor, or -errno.
    virtual int Open(const std::string& path) = 0;
    // Issues SG_IO; returns 0, or -errno when the ioctl itself failed.
    virtual int Io(int fd, sg_io_hdr_t& hdr) = 0;
    // Returns 0, or -errno.
    virtual int Close(int fd) = 0;
};

// open(2) read-only (SG_IO allows READ(10) and INQUIRY on such a descriptor, and
// nothing here ever writes), ioctl(2) SG_IO and close(2), with EINTR handled.
std::unique_ptr<SgDevice> MakeSystemSgDevice();

// Every outcome of one SG_IO falls into exactly one of these, in the order the
// checks are made: the ioctl failed; the device returned sense data (CHECK
// CONDITION, COMMAND TERMINATED or the driver's sense flag); the host adapter
// or USB link reported an error; the driver reported one; some other SCSI
// status (BUSY, RESERVATION CONFLICT, ...).
enum class SgOutcomeKind { Good, Sense, HostError, DriverError, ScsiStatus, OsError };

struct SgOutcome {
    SgOutcomeKind kind = SgOutcomeKind::Good;
    std::uint8_t scsiStatus = 0;
    std::uint16_t hostStatus = 0;
    std::uint16_t driverStatus = 0;
    std::optional<std::uint8_t> senseKey;  // absent when the sense data was unusable
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;
    int osError = 0;  // errno of a failed ioctl

    bool IsUnitAttention() const;
};

inline constexpr std::uint8_t kSenseKeyUnitAttention = 0x06;

// `ioctlResult` is what SgDevice::Io returned. Only the first
// min(hdr.sb_len_wr, sense.size()) bytes of `sense` are looked at, whatever the
// kernel claims it wrote.
SgOutcome ClassifySgIo(int ioctlResult, const sg_io_hdr_t& hdr,
                       std::span<const std::uint8_t> sense);

// SG_IO takes milliseconds. The request timeouts are 3000 s for a read and
// 200 s for INQUIRY; a read that hangs for 50 minutes would freeze the window
// that waits on it, so both are capped at 60 s: twice the kernel's own default
// for disk commands, and enough for a drive behind the bridge to spin up.
inline constexpr std::uint32_t kMaxSgTimeoutSeconds = 60;
std::uint32_t SgTimeoutMs(std::uint32_t seconds);

// A freshly attached or reset USB disk answers its first command with UNIT
// ATTENTION; the command was not executed, so it is simply sent again.
inline constexpr int kUnitAttentionRetries = 3;

// Transport over SG_IO on the disk's block device. Disk number N is the N-th
// disk of the disk map; a drive-letter code is the device given for that
// letter by SetVolumeDevices, and unknown otherwise.
class LinuxTransport final : public Transport {
  public:
    explicit LinuxTransport(DiskMapRoots roots = {}, std::unique_ptr<SgDevice> device = nullptr);

    // Drive letter ('C'..'Z') -> whole-disk device node that holds that volume.
    // (The kernel refuses SG_IO on a partition node to unprivileged callers.)
    void SetVolumeDevices(std::map<char, std::string> devices);

    DeviceHandle OpenDevice(std::uint8_t code) override;
    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override;
    bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
    void CloseHandle(DeviceHandle handle) override;
    std::optional<OpenFailure> LastOpenFailure() const override;

    // The outcome of the last SG_IO sent (after retries), for diagnostics.
    std::optional<SgOutcome> LastOutcome() const;

  private:
    std::optional<std::string> PathFor(std::uint8_t code) const;
    bool IsOpen(DeviceHandle handle) const;
    // Sends one command, retrying UNIT ATTENTION; true only for a good outcome
    // that moved exactly `length` bytes (or at least `minLength`, for INQUIRY).
    bool Execute(int fd, const Cdb& cdb, std::uint8_t* data, std::uint32_t length,
                 std::uint32_t minLength, std::uint32_t timeoutSeconds);

    DiskMapRoots roots_;
    std::unique_ptr<SgDevice> device_;
    mutable std::mutex mutex_;
    std::map<char, std::string> volumes_;
    std::set<int> open_;
    std::optional<OpenFailure> lastOpenFailure_;
    std::optional<SgOutcome> lastOutcome_;
};

}  // namespace raid
