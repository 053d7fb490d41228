#include "sim/sim_transport.h"

#include <algorithm>

namespace raid::sim {
namespace {

constexpr std::uint8_t kHighestDisk = 9;

void PutPadded(std::span<std::uint8_t> field, const std::string& text) {
    std::fill(field.begin(), field.end(), std::uint8_t{' '});
    std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
}

}  // namespace

SimTransport::SimTransport(Scenario scenario, Clock& clock)
    : clock_(clock), startMs_(clock.NowMs()), timeline_(std::move(scenario.timeline)) {
    std::stable_sort(
        timeline_.begin(), timeline_.end(),
        [](const TimelineEvent& a, const TimelineEvent& b) { return a.atMs < b.atMs; });
    for (const EnclosureConfig& enclosure : scenario.enclosures) {
        Disk disk;
        disk.controller = std::make_unique<Controller>(enclosure);
        disk.present = enclosure.present;
        disk.vendor = enclosure.controller.inquiryVendor;
        disk.product = enclosure.controller.inquiryProduct;
        disk.revision = enclosure.controller.inquiryRevision;
        disks_[enclosure.disk] = std::move(disk);
    }
    for (const PlainDiskConfig& plain : scenario.plainDisks) {
        Disk disk;
        disk.vendor = plain.vendor;
        disk.product = plain.product;
        disk.revision = "0001";
        disks_.try_emplace(plain.disk, std::move(disk));
    }
    std::lock_guard lock(mutex_);
    CatchUp();
}

SimTransport::~SimTransport() = default;

std::uint64_t SimTransport::ElapsedMs() const {
    const std::uint64_t now = clock_.NowMs();
    return now > startMs_ ? now - startMs_ : 0;
}

void SimTransport::AdvanceControllers(std::uint64_t atMs) {
    for (auto& [number, disk] : disks_) {
        if (disk.controller) {
            disk.controller->Advance(atMs);
        }
    }
}

void SimTransport::CatchUp() {
    const std::uint64_t elapsed = ElapsedMs();
    while (nextEvent_ < timeline_.size() && timeline_[nextEvent_].atMs <= elapsed) {
        const TimelineEvent& event = timeline_[nextEvent_++];
        // Events apply in time order, also against a rebuild that ended
        // before them while nobody was looking.
        AdvanceControllers(event.atMs);
        Disk* disk = FindDisk(event.disk);
        if (disk == nullptr || !disk->controller) {
            continue;
        }
        if (event.kind == EventKind::Enclosure) {
            if (disk->present != event.appear) {
                ++presenceChanges_;
            }
            disk->present = event.appear;
        }
        disk->controller->Apply(event);
    }
    AdvanceControllers(elapsed);
}

SimTransport::Disk* SimTransport::FindDisk(std::uint8_t number) {
    auto it = disks_.find(number);
    return it == disks_.end() ? nullptr : &it->second;
}

SimTransport::Disk* SimTransport::DiskOf(DeviceHandle handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return nullptr;
    }
    Disk* disk = FindDisk(it->second);
    // A disk that went away fails every operation on handles opened before.
    return disk != nullptr && disk->present ? disk : nullptr;
}

DeviceHandle SimTransport::OpenDevice(std::uint8_t code) {
    std::lock_guard lock(mutex_);
    CatchUp();
    OpenFailure failure;
    failure.kind = OpenFailure::Kind::NotFound;
    failure.path = "sim:" + DeviceCodeText(code);
    Disk* disk = IsDiskCode(code) && code <= kHighestDisk ? FindDisk(code) : nullptr;
    if (disk == nullptr || !disk->present) {
        lastOpenFailure_ = failure;
        return kInvalidHandle;
    }
    lastOpenFailure_.reset();
    const DeviceHandle handle = nextHandle_++;
    handles_[handle] = code;
    return handle;
}

bool SimTransport::ReadSectors(DeviceHandle handle, std::uint32_t lba,
                               std::span<std::uint8_t> buffer, std::uint32_t count) {
    std::lock_guard lock(mutex_);
    CatchUp();
    Disk* disk = DiskOf(handle);
    if (disk == nullptr || count == 0 || count > 255 ||
        buffer.size() < static_cast<std::size_t>(count) * kSectorSize) {
        return false;
    }
    const std::uint64_t now = ElapsedMs();
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t sectorLba = lba + i;
        auto sector =
            std::span<std::uint8_t, kSectorSize>(buffer.data() + i * kSectorSize, kSectorSize);
        bool ok = true;
        if (disk->controller) {
            ok = disk->controller->Read(sectorLba, now, sector);
            if (disk->controller->TakeVanished()) {
                disk->present = false;  // unplugged in the middle of a command
                disk->controller->ResetLink();
                ++presenceChanges_;
            }
        } else {
            FillDiskContent(sectorLba, sector);
        }
        if (recording_) {
            disk->reads.push_back({sectorLba, ok});
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool SimTransport::InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    CatchUp();
    Disk* disk = DiskOf(handle);
    if (disk == nullptr || buffer.size() < kInquiryLength) {
        return false;
    }
    std::fill_n(buffer.begin(), kInquiryLength, std::uint8_t{0});
    buffer[0] = 0x00;  // direct-access block device
    buffer[2] = 0x06;  // SPC-4
    buffer[3] = 0x02;  // response data format
    buffer[4] = kInquiryLength - 5;
    PutPadded(buffer.subspan(8, 8), disk->vendor);
    PutPadded(buffer.subspan(16, 16), disk->product);
    PutPadded(buffer.subspan(32, 4), disk->revision);
    return true;
}

void SimTransport::CloseHandle(DeviceHandle handle) {
    std::lock_guard lock(mutex_);
    handles_.erase(handle);
}

std::optional<OpenFailure> SimTransport::LastOpenFailure() const {
    std::lock_guard lock(mutex_);
    return lastOpenFailure_;
}

void SimTransport::SetRecording(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
    for (auto& [number, disk] : disks_) {
        if (disk.controller) {
            disk.controller->SetRecording(on);
        }
    }
}

std::vector<ReadRecord> SimTransport::Reads(std::uint8_t disk) const {
    std::lock_guard lock(mutex_);
    auto it = disks_.find(disk);
    return it == disks_.end() ? std::vector<ReadRecord>{} : it->second.reads;
}

std::vector<CommandRecord> SimTransport::Commands(std::uint8_t disk) const {
    std::lock_guard lock(mutex_);
    auto it = disks_.find(disk);
    if (it == disks_.end() || !it->second.controller) {
        return {};
    }
    return it->second.controller->commands();
}

void SimTransport::ClearRecords() {
    std::lock_guard lock(mutex_);
    for (auto& [number, disk] : disks_) {
        disk.reads.clear();
        if (disk.controller) {
            disk.controller->ClearRecords();
        }
    }
}

std::size_t SimTransport::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

bool SimTransport::WithController(std::uint8_t disk,
                                  const std::function<void(Controller&)>& action) {
    std::lock_guard lock(mutex_);
    CatchUp();
    Disk* found = FindDisk(disk);
    if (found == nullptr || !found->controller) {
        return false;
    }
    action(*found->controller);
    return true;
}

std::uint64_t SimTransport::PresenceChanges() {
    std::lock_guard lock(mutex_);
    CatchUp();
    return presenceChanges_;
}

bool SimTransport::PresenceChangesAhead() {
    std::lock_guard lock(mutex_);
    CatchUp();
    for (std::size_t i = nextEvent_; i < timeline_.size(); ++i) {
        if (timeline_[i].kind == EventKind::Enclosure) {
            return true;
        }
    }
    return false;
}

bool SimTransport::EnclosurePresent(std::uint8_t disk) {
    std::lock_guard lock(mutex_);
    CatchUp();
    auto it = disks_.find(disk);
    return it != disks_.end() && it->second.controller && it->second.present;
}

}  // namespace raid::sim
