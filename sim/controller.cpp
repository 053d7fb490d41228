#include "sim/controller.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/command_codes.h"

namespace raid::sim {
namespace {

constexpr char kFirstHead[] = "__KORVADE6182A__";
constexpr char kFirstTail[] = "__SATA6GRAID01__";
constexpr char kSecondHead[] = "__DRAVOLT2109A__";
constexpr char kSecondTail[] = "_PORTMULTIPLIER_";
constexpr std::size_t kSignatureSize = 16;
constexpr std::size_t kTailAt = 496;
constexpr std::size_t kStatusAt = 48;
constexpr std::size_t kEchoCodeAt = 76;
constexpr std::size_t kEchoArgAt = 77;
constexpr std::size_t kFlashTypeAt = 149;
constexpr std::uint64_t kMsPerCount = 10'000;  // one step of the backup count
constexpr std::uint64_t kCountsPerWeek = 60'480;
constexpr std::uint64_t kMsPerHour = 3'600'000;

void Sign(Sector& reply, SignatureKind kind) {
    const bool first = kind == SignatureKind::First;
    std::memcpy(reply.data(), first ? kFirstHead : kSecondHead, kSignatureSize);
    std::memcpy(reply.data() + kTailAt, first ? kFirstTail : kSecondTail, kSignatureSize);
}

// When the count of a schedule's bytes runs out, from `atMs` on.
std::uint64_t DueFrom(const BackupConfig& b, std::uint64_t atMs) {
    return atMs + (b.weeks * kCountsPerWeek + b.count) * kMsPerCount;
}

// How far a task over [startMs, endMs) has come through `total` sectors.
std::uint64_t Linear(std::uint64_t total, std::uint64_t startMs, std::uint64_t endMs,
                     std::uint64_t nowMs) {
    if (nowMs <= startMs) {
        return 0;
    }
    if (nowMs >= endMs) {
        return total;
    }
    // Split the product so a 48-bit capacity times a long span cannot overflow.
    const std::uint64_t span = endMs - startMs;
    const std::uint64_t done = nowMs - startMs;
    return total / span * done + total % span * done / span;
}

bool InWindow(const FaultConfig& fault, std::uint64_t nowMs) {
    return nowMs >= fault.fromMs && (!fault.untilMs || nowMs < *fault.untilMs);
}

constexpr std::size_t kDataAt = 80;
constexpr std::uint32_t kFlashPage = 128;
constexpr std::uint32_t kFlashSector = 4096;

// The flash bytes a complete flash frame works on: [first, first + length).
std::optional<std::pair<std::uint32_t, std::uint32_t>> FlashRange(const ReceivedFrame& frame) {
    const std::uint8_t code = frame.code();
    if (code != CmdFlashRead && code != CmdFlashErase && code != CmdFlashProgram) {
        return std::nullopt;
    }
    const auto args = frame.args();
    const std::uint32_t address = ((std::uint32_t{args[1]} << 8) | args[2]) * kFlashPage;
    if (code == CmdFlashErase) {
        return std::pair{address - address % kFlashSector, kFlashSector};
    }
    return std::pair{address, kFlashPage};
}

bool Covers(const FaultConfig& fault, const ReceivedFrame* frame) {
    if (!fault.address) {
        return true;
    }
    if (frame == nullptr) {
        return false;
    }
    const auto range = FlashRange(*frame);
    return range && *fault.address >= range->first && *fault.address - range->first < range->second;
}

// Relay arguments: ATA command, bay, quarter (fetches only).
bool ArgumentsMatch(const FaultConfig& fault, std::uint8_t code,
                    const std::array<std::uint8_t, 3>* args) {
    if (!fault.ata && !fault.bay && !fault.part) {
        return true;
    }
    if (args == nullptr || (code != CmdAtaIssue && code != CmdAtaFetch)) {
        return false;
    }
    return (!fault.ata || *fault.ata == (*args)[0]) && (!fault.bay || *fault.bay == (*args)[1]) &&
           (!fault.part || (code == CmdAtaFetch && *fault.part == (*args)[2]));
}

void MergeAttributes(std::vector<SmartAttribute>& into, const std::vector<SmartAttribute>& from) {
    for (const SmartAttribute& attribute : from) {
        auto it = std::find_if(into.begin(), into.end(),
                               [&](const SmartAttribute& a) { return a.id == attribute.id; });
        if (it != into.end()) {
            *it = attribute;
        } else if (into.size() < 30) {
            into.push_back(attribute);
        }
    }
}

}  // namespace

void FillDiskContent(std::uint32_t lba, std::span<std::uint8_t, 512> out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<std::uint8_t>((lba * 131u + i * 7u) ^ (lba >> 8));
    }
}

std::uint64_t DerivedArrayCapacity(std::uint8_t mode, const std::array<DriveConfig, 2>& drives) {
    const std::uint64_t a = drives[0].capacity;
    const std::uint64_t b = drives[1].capacity;
    switch (mode) {
        case kModeJbod:
            return a + b;
        case kModeStripe:
            return 2 * std::min(a, b);
        case kModeMirror:
            return std::min(a, b);
        default:
            return a;
    }
}

Controller::Controller(const EnclosureConfig& config)
    : config_(config.controller), flash_(config.controller.flashSize) {
    state_.drives = config.drives;
    state_.raidMode = config.raidMode;
    state_.taskStatus = config.taskStatus;
    state_.arrayCapacity =
        config.controller.capacity.value_or(DerivedArrayCapacity(config.raidMode, config.drives));
    state_.buzzer = config.controller.buzzer;
    state_.temperature = config.controller.temperature;
    state_.fanRpm = config.controller.fanRpm;
    state_.backup = config.controller.backup;
    if (state_.backup) {
        state_.backupDueMs = DueFrom(*state_.backup, 0);
    }
    if (flash_.size() > kFlashTypeAt) {
        flash_.contents()[kFlashTypeAt] = config.controller.flashType;
    }
    if (!config.controller.flashFile.empty() && !flash_.BackWith(config.controller.flashFile)) {
        std::fprintf(stderr, "stand-in enclosure: the flash file %s cannot be used\n",
                     config.controller.flashFile.c_str());
    }
    for (const FaultConfig& fault : config.faults) {
        faults_.push_back({fault, fault.times});
    }
}

void Controller::ResetLink() {
    decoder_.Reset();
    lastLba_.reset();
    pending_.reset();
}

bool Controller::Read(std::uint32_t lba, std::uint64_t nowMs, std::span<std::uint8_t, 512> out) {
    Advance(nowMs);
    // The controller notices a command byte only by a change of address.
    const bool repeated = lastLba_ == lba;
    lastLba_ = lba;
    if (lba == kReplySector) {
        return ServeReplyPoll(repeated, out);
    }
    FillDiskContent(lba, out);
    if (repeated || lba == kSeparatorSector) {
        return true;
    }
    switch (decoder_.Feed(lba)) {
        case FrameDecoder::Step::Started:
            // A new command replaces whatever answer was still waiting, even
            // if the command itself turns out to be garbled.
            pending_.reset();
            break;
        case FrameDecoder::Step::CommandKnown:
            if (!Hits(FaultKind::SequenceRead, decoder_.Frame().code(), nowMs).empty()) {
                decoder_.Reset();
                return false;
            }
            break;
        case FrameDecoder::Step::Complete:
            Finish(decoder_.Frame(), nowMs);
            break;
        default:
            break;
    }
    return true;
}

bool Controller::ServeReplyPoll(bool repeated, std::span<std::uint8_t, 512> out) {
    if (repeated || !pending_) {
        FillDiskContent(kReplySector, out);
        return true;
    }
    if (pending_->failReads) {
        return false;
    }
    if (!pending_->pollsLeft || *pending_->pollsLeft > 0) {
        if (pending_->pollsLeft) {
            --*pending_->pollsLeft;
        }
        FillDiskContent(kReplySector, out);
        return true;
    }
    std::copy(pending_->sector.begin(), pending_->sector.end(), out.begin());
    return true;
}

void Controller::Finish(const ReceivedFrame& frame, std::uint64_t nowMs) {
    CommandRecord record;
    record.atMs = nowMs;
    record.code = frame.code();
    record.args = frame.args();
    record.longForm = frame.longForm;
    if (frame.longForm) {
        std::copy(frame.payload().begin(), frame.payload().end(), record.payload.begin());
    }
    record.crcOk = frame.crcOk;
    if (frame.crcOk && !Hits(FaultKind::Vanish, frame.code(), nowMs, &frame).empty()) {
        // Gone before it could act: nothing is executed, nothing answers.
        vanished_ = true;
        pending_.reset();
    } else if (frame.crcOk) {
        PendingReply reply;
        const std::uint8_t code = frame.code();
        const std::uint8_t status = Execute(frame, nowMs, reply.sector);
        reply.sector[kStatusAt] = status;
        for (const FaultConfig* fault : Hits(FaultKind::StatusByte, code, nowMs, &frame)) {
            reply.sector[kStatusAt] = fault->status;
        }
        for (const FaultConfig* fault : Hits(FaultKind::WrongEcho, code, nowMs, &frame)) {
            reply.sector[kEchoCodeAt] = fault->echo[0];
            reply.sector[kEchoArgAt] = fault->echo[1];
        }
        if (code == CmdFlashRead) {
            for (const FaultConfig* fault : Hits(FaultKind::FlipBit, code, nowMs, &frame)) {
                const std::uint32_t at = *fault->address - FlashRange(frame)->first;
                reply.sector[kDataAt + at] ^= static_cast<std::uint8_t>(1u << (fault->bit & 7));
            }
        }
        Sign(reply.sector, config_.signature);
        for (const FaultConfig* fault : Hits(FaultKind::BadSignature, code, nowMs, &frame)) {
            reply.sector[fault->secondSignature ? kTailAt + kSignatureSize - 1 : 0] ^= 0x01;
        }
        reply.pollsLeft = 0;
        for (const FaultConfig* fault : Hits(FaultKind::NoReply, code, nowMs, &frame)) {
            reply.pollsLeft = fault->polls;
        }
        reply.failReads = !Hits(FaultKind::ReplyRead, code, nowMs, &frame).empty();
        record.status = reply.sector[kStatusAt];
        pending_ = reply;
    }
    if (recording_) {
        commands_.push_back(record);
    }
}

std::vector<const FaultConfig*> Controller::Hits(FaultKind kind, std::uint8_t code,
                                                 std::uint64_t nowMs, const ReceivedFrame* frame) {
    std::vector<const FaultConfig*> hits;
    std::array<std::uint8_t, 3> args{};
    if (frame != nullptr) {
        args = frame->args();
    }
    for (ActiveFault& fault : faults_) {
        const FaultConfig& f = fault.config;
        if (f.kind != kind || (f.code && *f.code != code) ||
            !ArgumentsMatch(f, code, frame != nullptr ? &args : nullptr) || !InWindow(f, nowMs) ||
            !Covers(f, frame) || (fault.remaining && *fault.remaining == 0)) {
            continue;
        }
        if (fault.remaining) {
            --*fault.remaining;
        }
        hits.push_back(&f);
    }
    return hits;
}

void Controller::Advance(std::uint64_t nowMs) {
    if (state_.rebuild && nowMs >= state_.rebuild->endMs) {
        state_.drives[state_.rebuild->drive].state = kStatePresent;
        state_.taskStatus = kTaskNone;
        state_.rebuild.reset();
    }
    AdvanceBackup(nowMs);
}

void Controller::AdvanceBackup(std::uint64_t nowMs) {
    if (!state_.backup) {
        return;
    }
    if (state_.backupEndMs) {
        if (nowMs < *state_.backupEndMs) {
            return;
        }
        EndBackup(*state_.backupEndMs);
    }
    const BackupConfig& b = *state_.backup;
    if (b.period == 0 || nowMs < state_.backupDueMs) {
        return;
    }
    // A backup copies one working drive onto the other: it waits while a
    // rebuild runs or a bay is not a plain working member.
    if (state_.rebuild || state_.drives[0].state != kStatePresent ||
        state_.drives[1].state != kStatePresent) {
        return;
    }
    state_.backupStartMs = nowMs;
    state_.backupEndMs = nowMs + b.durationMs;
    state_.drives[1].state = kStateBusy;
    state_.taskStatus = kTaskRunning;
}

void Controller::EndBackup(std::uint64_t atMs) {
    state_.backupEndMs.reset();
    if (state_.drives[1].state == kStateBusy) {
        state_.drives[1].state = kStatePresent;
    }
    state_.taskStatus = kTaskNone;
    const BackupConfig& b = *state_.backup;
    state_.backupDueMs = atMs + std::uint64_t{b.period} * b.unit * kMsPerHour;
}

std::uint64_t Controller::TaskPosition(std::uint64_t nowMs) const {
    if (state_.rebuild) {
        return Linear(state_.arrayCapacity, state_.rebuild->startMs, state_.rebuild->endMs, nowMs);
    }
    if (state_.backupEndMs) {
        return Linear(state_.arrayCapacity, state_.backupStartMs, *state_.backupEndMs, nowMs);
    }
    return 0;
}

void Controller::Apply(const TimelineEvent& event) {
    const std::size_t drive = event.drive == 2 ? 1 : 0;
    // A drive that changes, a rebuild or a new schedule stops a running backup.
    if (state_.backupEndMs && event.kind != EventKind::TaskStatus &&
        event.kind != EventKind::Enclosure && event.kind != EventKind::Environment) {
        EndBackup(event.atMs);
    }
    switch (event.kind) {
        case EventKind::DriveState: {
            DriveConfig& d = state_.drives[drive];
            d.state = event.state;
            if (event.model) {
                d.model = *event.model;
            }
            if (event.serial) {
                d.serial = *event.serial;
            }
            if (event.capacity) {
                d.capacity = *event.capacity;
            }
            ataResults_[drive].reset();
            if (state_.rebuild && state_.rebuild->drive == drive) {
                // The drive being rebuilt changed under the task: it ends
                // well only if the drive is still a working member.
                state_.rebuild.reset();
                state_.taskStatus = event.state <= kStateBusy ? kTaskNone : kTaskFailed;
            }
            break;
        }
        case EventKind::Rebuild:
            state_.rebuild = ControllerState::Rebuild{drive, event.atMs, event.untilMs};
            state_.drives[drive].state = kStateBusy;
            state_.taskStatus = kTaskRunning;
            break;
        case EventKind::Schedule:
            state_.backup = event.schedule;
            state_.backupDueMs = DueFrom(event.schedule, event.atMs);
            break;
        case EventKind::TaskStatus:
            state_.taskStatus = event.taskStatus;
            break;
        case EventKind::Smart: {
            DriveConfig& d = state_.drives[drive];
            if (d.smart.empty()) {
                d.smart = HealthyAttributes();
            }
            MergeAttributes(d.smart, event.smart);
            break;
        }
        case EventKind::Enclosure:
            ResetLink();
            break;
        case EventKind::Environment:
            state_.temperature = event.temperature.value_or(state_.temperature);
            state_.fanRpm = event.fanRpm.value_or(state_.fanRpm);
            break;
    }
}

}  // namespace raid::sim
