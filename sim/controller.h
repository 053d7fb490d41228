#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "sim/drive_sectors.h"
#include "sim/frame_decoder.h"
#include "sim/scenario.h"
#include "sim/spi_flash.h"

namespace raid::sim {

// Status bytes the stand-in controller puts at reply byte 48.
inline constexpr std::uint8_t kReplySuccess = 0x20;
inline constexpr std::uint8_t kReplyDriveError = 0xC0;   // ATA command refused or drive gone
inline constexpr std::uint8_t kReplyUnsupported = 0xD0;  // command this controller lacks
inline constexpr std::uint8_t kReplyBadArgument = 0xE0;  // address out of range, bad part ...

// One frame the controller received completely.
struct CommandRecord {
    std::uint64_t atMs = 0;  // scenario time
    std::uint8_t code = 0;
    std::array<std::uint8_t, 3> args{};
    bool longForm = false;
    std::array<std::uint8_t, 128> payload{};
    bool crcOk = false;
    std::uint8_t status = 0;  // the status byte answered; 0 when the frame was dropped
};

// What the controller keeps between commands; tests may inspect and change it.
struct ControllerState {
    std::array<DriveConfig, 2> drives;  // entry A, entry B
    std::uint8_t raidMode = kModeMirror;
    std::uint8_t taskStatus = kTaskNone;
    std::uint64_t arrayCapacity = 0;
    BuzzerKind buzzer = BuzzerKind::On;
    std::uint8_t temperature = 38;
    std::uint16_t fanRpm = 2400;
    std::optional<BackupConfig> backup;
    struct Rebuild {
        std::size_t drive = 0;
        std::uint64_t startMs = 0;
        std::uint64_t endMs = 0;
    };
    std::optional<Rebuild> rebuild;
    // The backup schedule runs on scenario time: the next backup is due at
    // `backupDueMs`; while one runs HDD2 (entry B) is busy until `backupEndMs`.
    std::uint64_t backupDueMs = 0;
    std::optional<std::uint64_t> backupEndMs;
    std::uint64_t backupStartMs = 0;
};

// The bridge controller of one enclosure, fed one sector read at a time.
// It decodes commands from the addresses it is asked for, executes them and
// answers in the reply sector; every other sector reads as disk content.
class Controller {
  public:
    explicit Controller(const EnclosureConfig& config);

    // Serves a one-sector read at scenario time `nowMs`. False when the read
    // fails (an injected fault); `out` is then unspecified.
    bool Read(std::uint32_t lba, std::uint64_t nowMs, std::span<std::uint8_t, 512> out);

    // A timeline event addressed to this enclosure.
    void Apply(const TimelineEvent& event);
    // Brings time-driven state (a rebuild's end) up to scenario time `nowMs`.
    void Advance(std::uint64_t nowMs);
    // Forgets a half-received frame and any pending reply, as a power cycle would.
    void ResetLink();
    // True once after a Vanish fault struck: the enclosure is to disappear.
    bool TakeVanished() { return std::exchange(vanished_, false); }

    const ControllerConfig& config() const { return config_; }
    ControllerState& state() { return state_; }
    const ControllerState& state() const { return state_; }
    SpiFlash& flash() { return flash_; }
    // Position of the running rebuild at `nowMs`, in sectors.
    std::uint64_t TaskPosition(std::uint64_t nowMs) const;

    void SetRecording(bool on) { recording_ = on; }
    const std::vector<CommandRecord>& commands() const { return commands_; }
    void ClearRecords() { commands_.clear(); }

  private:
    struct PendingReply {
        Sector sector{};
        std::optional<std::uint32_t> pollsLeft;  // none: never signed
        bool failReads = false;
    };
    struct ActiveFault {
        FaultConfig config;
        std::optional<std::uint32_t> remaining;
    };
    struct AtaResult {
        std::uint8_t ataCommand = 0;
        Sector sector{};
    };

    bool ServeReplyPoll(bool repeated, std::span<std::uint8_t, 512> out);
    void Finish(const ReceivedFrame& frame, std::uint64_t nowMs);
    // Faults of `kind` that hit command `code` now; each hit uses up one of its
    // times. `frame` is the complete frame, when there is one yet: faults
    // narrowed to a flash address or to relay arguments hit only complete frames.
    std::vector<const FaultConfig*> Hits(FaultKind kind, std::uint8_t code, std::uint64_t nowMs,
                                         const ReceivedFrame* frame = nullptr);

    // Command execution: fills the data fields of `reply`, returns its status byte.
    std::uint8_t Execute(const ReceivedFrame& frame, std::uint64_t nowMs, Sector& reply);
    void FillControllerInfo(std::uint64_t nowMs, Sector& reply) const;
    void FillExtendedStatus(std::uint64_t nowMs, Sector& reply) const;
    void FillDriveInfo(Sector& reply) const;
    std::uint8_t Flash(const ReceivedFrame& frame, Sector& reply);
    std::uint8_t Buzzer(std::uint8_t code);
    std::uint8_t Sync(std::uint8_t code, std::uint64_t nowMs);
    std::uint8_t HybridConfig(const ReceivedFrame& frame, std::uint64_t nowMs, Sector& reply);
    std::uint8_t AtaIssue(const ReceivedFrame& frame);
    std::uint8_t AtaFetch(const ReceivedFrame& frame, Sector& reply);
    void SetPeriod(std::uint8_t period, std::uint64_t nowMs);
    // The backup countdown and the backup it starts.
    void AdvanceBackup(std::uint64_t nowMs);
    void EndBackup(std::uint64_t nowMs);
    bool DriveAnswers(std::size_t drive) const;

    ControllerConfig config_;
    ControllerState state_;
    SpiFlash flash_;
    std::vector<ActiveFault> faults_;
    FrameDecoder decoder_;
    std::optional<std::uint32_t> lastLba_;
    std::optional<PendingReply> pending_;
    std::array<std::optional<AtaResult>, 2> ataResults_;
    bool recording_ = false;
    bool vanished_ = false;
    std::vector<CommandRecord> commands_;
};

// What a sector that carries no reply reads as: a fixed pattern per address.
void FillDiskContent(std::uint32_t lba, std::span<std::uint8_t, 512> out);

// The array capacity a controller reports for `mode` over these drives.
std::uint64_t DerivedArrayCapacity(std::uint8_t mode, const std::array<DriveConfig, 2>& drives);

}  // namespace raid::sim
