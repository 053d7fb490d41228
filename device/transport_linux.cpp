#include "device/transport_linux.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

#include "device/scsi_pass_through_block.h"

namespace raid {

namespace {

// SCSI status bytes, with the reserved bits masked off as the kernel does.
constexpr std::uint8_t kStatusMask = 0x7E;
constexpr std::uint8_t kStatusCheckCondition = 0x02;
constexpr std::uint8_t kStatusCommandTerminated = 0x22;
// Low nibble of driver_status: DRIVER_SENSE means sense data is valid.
constexpr std::uint16_t kDriverStatusMask = 0x0F;
constexpr std::uint16_t kDriverSense = 0x08;

// Standard INQUIRY data shorter than its 5-byte header is useless.
constexpr std::uint32_t kMinInquiryBytes = 5;
constexpr std::size_t kSenseBufferLength = 32;

class SystemSgDevice final : public SgDevice {
  public:
    int Open(const std::string& path) override {
        int fd = -1;
        do {
            fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        return fd < 0 ? -errno : fd;
    }

    int Io(int fd, sg_io_hdr_t& hdr) override {
        int rc = -1;
        do {
            rc = ::ioctl(fd, SG_IO, &hdr);
        } while (rc < 0 && errno == EINTR);
        return rc < 0 ? -errno : 0;
    }

    int Close(int fd) override {
        // No retry on EINTR: Linux releases the descriptor even then, and a
        // second close could hit a descriptor another thread just opened.
        return ::close(fd) == 0 ? 0 : -errno;
    }
};

// Fixed format (response code 0x70/0x71): key in byte 2, ASC/ASCQ in 12/13.
// Descriptor format (0x72/0x73): key in byte 1, ASC/ASCQ in 2/3.
void ParseSense(std::span<const std::uint8_t> sense, SgOutcome& out) {
    if (sense.empty()) {
        return;
    }
    const std::uint8_t responseCode = sense[0] & 0x7F;
    const auto at = [&sense](std::size_t i) -> std::uint8_t {
        return i < sense.size() ? sense[i] : 0;
    };
    if ((responseCode == 0x70 || responseCode == 0x71) && sense.size() >= 3) {
        out.senseKey = sense[2] & 0x0F;
        out.asc = at(12);
        out.ascq = at(13);
    } else if ((responseCode == 0x72 || responseCode == 0x73) && sense.size() >= 2) {
        out.senseKey = sense[1] & 0x0F;
        out.asc = at(2);
        out.ascq = at(3);
    }
}

OpenFailure::Kind KindOfOpenError(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return OpenFailure::Kind::PermissionDenied;
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ENOMEDIUM:
            return OpenFailure::Kind::NotFound;
        default:
            return OpenFailure::Kind::Other;
    }
}

}  // namespace

bool SgOutcome::IsUnitAttention() const {
    return kind == SgOutcomeKind::Sense && senseKey == kSenseKeyUnitAttention;
}

SgOutcome ClassifySgIo(int ioctlResult, const sg_io_hdr_t& hdr,
                       std::span<const std::uint8_t> sense) {
    SgOutcome out;
    if (ioctlResult < 0) {
        out.kind = SgOutcomeKind::OsError;
        out.osError = -ioctlResult;
        return out;
    }
    out.scsiStatus = hdr.status;
    out.hostStatus = hdr.host_status;
    out.driverStatus = hdr.driver_status;
    const std::uint8_t status = hdr.status & kStatusMask;
    const std::uint16_t driver = hdr.driver_status & kDriverStatusMask;
    if (status == 0 && hdr.host_status == 0 && driver == 0) {
        out.kind = SgOutcomeKind::Good;
        return out;
    }
    if (status == kStatusCheckCondition || status == kStatusCommandTerminated ||
        driver == kDriverSense) {
        out.kind = SgOutcomeKind::Sense;
        ParseSense(sense.first(std::min<std::size_t>(hdr.sb_len_wr, sense.size())), out);
        return out;
    }
    if (hdr.host_status != 0) {
        out.kind = SgOutcomeKind::HostError;
    } else if (driver != 0) {
        out.kind = SgOutcomeKind::DriverError;
    } else {
        out.kind = SgOutcomeKind::ScsiStatus;
    }
    return out;
}

std::uint32_t SgTimeoutMs(std::uint32_t seconds) {
    return std::min(seconds, kMaxSgTimeoutSeconds) * 1000u;
}

LinuxTransport::LinuxTransport(DiskMapRoots roots, std::unique_ptr<SgDevice> device)
    : roots_(std::move(roots)), device_(device ? std::move(device) : MakeSystemSgDevice()) {}

void LinuxTransport::SetVolumeDevices(std::map<char, std::string> devices) {
    const std::lock_guard lock(mutex_);
    volumes_ = std::move(devices);
}

std::optional<std::string> LinuxTransport::PathFor(std::uint8_t code) const {
    if (IsDiskCode(code)) {
        if (auto path = DiskDevicePath(roots_, code)) {
            return path->string();
        }
        return std::nullopt;
    }
    const auto it = volumes_.find(static_cast<char>(code));
    if (it == volumes_.end()) {
        return std::nullopt;
    }
    return it->second;
}

DeviceHandle LinuxTransport::OpenDevice(std::uint8_t code) {
    const std::lock_guard lock(mutex_);
    const auto path = PathFor(code);
    if (!path) {
        lastOpenFailure_ = OpenFailure{OpenFailure::Kind::NotFound, ENOENT, {}};
        return kInvalidHandle;
    }
    const int fd = device_->Open(*path);
    if (fd < 0) {
        lastOpenFailure_ = OpenFailure{KindOfOpenError(-fd), -fd, *path};
        return kInvalidHandle;
    }
    open_.insert(fd);
    return fd;
}

bool LinuxTransport::IsOpen(DeviceHandle handle) const {
    return handle >= 0 && handle <= INT_MAX && open_.count(static_cast<int>(handle)) != 0;
}

bool LinuxTransport::Execute(int fd, const Cdb& cdb, std::uint8_t* data, std::uint32_t length,
                             std::uint32_t minLength, std::uint32_t timeoutSeconds) {
    for (int attempt = 0;; ++attempt) {
        Cdb command = cdb;  // the header wants a mutable pointer
        std::array<std::uint8_t, kSenseBufferLength> sense{};
        sg_io_hdr_t hdr{};
        hdr.interface_id = 'S';
        hdr.dxfer_direction = SG_DXFER_FROM_DEV;
        hdr.cmd_len = static_cast<unsigned char>(command.size());
        hdr.cmdp = command.data();
        hdr.mx_sb_len = static_cast<unsigned char>(sense.size());
        hdr.sbp = sense.data();
        hdr.dxfer_len = length;
        hdr.dxferp = data;
        hdr.timeout = SgTimeoutMs(timeoutSeconds);

        const int rc = device_->Io(fd, hdr);
        const SgOutcome outcome = ClassifySgIo(rc, hdr, sense);
        lastOutcome_ = outcome;
        if (outcome.IsUnitAttention() && attempt < kUnitAttentionRetries) {
            continue;
        }
        if (outcome.kind != SgOutcomeKind::Good) {
            return false;
        }
        // A short transfer leaves part of the buffer as it was: not a result.
        if (hdr.resid < 0 || static_cast<std::uint32_t>(hdr.resid) > length) {
            return false;
        }
        return length - static_cast<std::uint32_t>(hdr.resid) >= minLength;
    }
}

bool LinuxTransport::ReadSectors(DeviceHandle handle, std::uint32_t lba,
                                 std::span<std::uint8_t> buffer, std::uint32_t count) {
    const std::lock_guard lock(mutex_);
    if (!IsOpen(handle) || !IsValidReadRequest(buffer.size(), count)) {
        return false;
    }
    const std::uint32_t length = count * static_cast<std::uint32_t>(kSectorSize);
    return Execute(static_cast<int>(handle), Read10Cdb(lba, count), buffer.data(), length, length,
                   kRead10TimeoutSeconds);
}

bool LinuxTransport::InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) {
    const std::lock_guard lock(mutex_);
    if (!IsOpen(handle) || buffer.size() < kInquiryLength) {
        return false;
    }
    // A device may send fewer than 36 bytes; the rest must not be left over
    // from whatever the buffer held before.
    std::fill_n(buffer.begin(), kInquiryLength, std::uint8_t{0});
    return Execute(static_cast<int>(handle), InquiryCdb(), buffer.data(),
                   static_cast<std::uint32_t>(kInquiryLength), kMinInquiryBytes,
                   kInquiryTimeoutSeconds);
}

void LinuxTransport::CloseHandle(DeviceHandle handle) {
    const std::lock_guard lock(mutex_);
    // Only descriptors this transport opened are closed: a stale handle must
    // not close a descriptor that now belongs to someone else.
    if (!IsOpen(handle)) {
        return;
    }
    open_.erase(static_cast<int>(handle));
    // Nothing useful can follow a failed close; the descriptor is gone either way.
    static_cast<void>(device_->Close(static_cast<int>(handle)));
}

std::optional<OpenFailure> LinuxTransport::LastOpenFailure() const {
    const std::lock_guard lock(mutex_);
    return lastOpenFailure_;
}

std::optional<SgOutcome> LinuxTransport::LastOutcome() const {
    const std::lock_guard lock(mutex_);
    return lastOutcome_;
}

std::unique_ptr<SgDevice> MakeSystemSgDevice() {
    return std::make_unique<SystemSgDevice>();
}

}  // namespace raid
