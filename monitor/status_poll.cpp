#include "monitor/status_poll.h"

#include "device/status_decode.h"
#include "monitor/status_text.h"

namespace raid {
namespace {

constexpr std::uint32_t kCommandPauseMs = 200;
constexpr std::uint8_t kMaxFailCount = 10;

// Clears a request (and its busy bit, for the requests that have one)
// however its work ends: work that throws is reported by the front end's
// error display, and the next request of the same kind must not be held back
// for ever by a busy bit nobody clears.
class RequestServed {
  public:
    RequestServed(PollState& poll, std::uint8_t bit, bool hasBusyBit)
        : poll_(poll), bit_(bit), hasBusyBit_(hasBusyBit) {}
    ~RequestServed() {
        poll_.PollRequest.fetch_and(static_cast<std::uint8_t>(~bit_));
        if (hasBusyBit_) {
            poll_.PollBusy.fetch_and(static_cast<std::uint8_t>(~bit_));
        }
    }
    RequestServed(const RequestServed&) = delete;
    RequestServed& operator=(const RequestServed&) = delete;

  private:
    PollState& poll_;
    std::uint8_t bit_;
    bool hasBusyBit_;
};

}  // namespace

StatusPoller::StatusPoller(CommandChannel& channel, Transport& transport, Clock& clock,
                           DeviceState& devices, ProcessFlags& flags, PollState& poll,
                           StatusSink& status, Dialogs& dialogs, PollHooks hooks)
    : channel_(channel),
      transport_(transport),
      clock_(clock),
      devices_(devices),
      flags_(flags),
      poll_(poll),
      status_(status),
      dialogs_(dialogs),
      hooks_(std::move(hooks)) {}

void StatusPoller::ServeRequest() {
    const std::uint8_t pending = poll_.PollRequest.load();
    auto guarded = [this](std::uint8_t bit, auto&& work) {
        if (poll_.PollBusy.load() & bit) {
            return;  // still running further up the stack; the request stays
        }
        poll_.PollBusy.fetch_or(bit);
        const RequestServed served(poll_, bit, true);
        work();
    };
    auto unguarded = [this](std::uint8_t bit, const std::function<void()>& work) {
        const RequestServed served(poll_, bit, false);
        if (work) {
            work();
        }
    };
    if (pending & ReqStatusPoll) {
        guarded(ReqStatusPoll, [this] {
            try {
                PollStatus();
            } catch (...) {
                // Timers and device changes wait while a poll runs.
                poll_.StatusPollRunning.store(0);
                throw;
            }
        });
    } else if (pending & ReqApplySetting) {
        guarded(ReqApplySetting, [this] { ApplyQueuedSetting(); });
    } else if (pending & ReqScanCommand) {
        guarded(ReqScanCommand, [] {});
    } else if (pending & ReqSmartThresholds) {
        unguarded(ReqSmartThresholds, hooks_.readSmartThresholds);
    } else if (pending & ReqSmartData) {
        unguarded(ReqSmartData, hooks_.readSmartData);
    }
}

void StatusPoller::Timer2Tick() {
    if (devices_.DetectCountdown != 0 || devices_.DetectionRunning.load() ||
        poll_.StatusPollRunning.load() || flags_.MaintenanceBusy.load() ||
        flags_.AppClosing.load()) {
        if (flags_.MaintenanceBusy.load()) {
            poll_.PollRequest.fetch_and(static_cast<std::uint8_t>(~ReqPollArmed));
        }
        return;
    }
    if (poll_.PollRequest.load() & ReqPollArmed) {
        poll_.PollRequest.fetch_or(ReqStatusPoll);
    } else {
        poll_.PollRequest.store(ReqPollArmed);
    }
}

bool StatusPoller::MustAbort() const {
    return flags_.MaintenanceBusy.load() || flags_.AppClosing.load();
}

void StatusPoller::Trace(int panel, const std::string& text) {
    status_.SetPanel(panel, text);
}

void StatusPoller::PollStatus() {
    ++poll_.pollCounter;
    const std::string counter = Hex2(static_cast<std::uint8_t>(poll_.pollCounter));
    Trace(3, "G = 2x, " + counter);
    if (devices_.DetectCountdown != 0 || devices_.DetectionRunning.load() || MustAbort()) {
        poll_.StatusPollRunning.store(0);
        return;
    }
    Trace(2, "SC = 1x" + Hex2(devices_.table.count) + counter);
    poll_.StatusPollRunning.store(1);
    std::uint8_t changedMask = 0;

    for (std::size_t slot = 0; slot < kMaxSlots; ++slot) {
        if (hooks_.processMessages) {
            hooks_.processMessages();
        }
        if (MustAbort()) {
            poll_.StatusPollRunning.store(0);
            return;
        }
        Trace(0, "0x," + counter);
        switch (PollSlot(slot)) {
            case SlotOutcome::Changed:
                changedMask |= static_cast<std::uint8_t>(1u << slot);
                break;
            case SlotOutcome::Aborted:
                poll_.StatusPollRunning.store(0);
                return;
            case SlotOutcome::Failed:
            case SlotOutcome::Skipped:
                break;
        }
    }

    Trace(0, "3x," + counter);
    if (MustAbort()) {
        poll_.StatusPollRunning.store(0);
        return;
    }
    Trace(0, "4x," + counter);
    if (hooks_.detectEvents) {
        hooks_.detectEvents(changedMask);
    }
    if (changedMask != 0 && hooks_.redraw) {
        hooks_.redraw(changedMask);
    }
    if (hooks_.pollDone) {
        hooks_.pollDone();
    }
    poll_.StatusPollRunning.store(0);
    Trace(0, "5x," + counter);
}

StatusPoller::SlotOutcome StatusPoller::PollSlot(std::size_t slot) {
    if (slot >= devices_.table.count || !poll_.slotChecked[slot].load() ||
        slot == flags_.flashTargetIndex.load() || devices_.table.InUse(slot)) {
        return SlotOutcome::Skipped;
    }
    // A table entry holds four bits of disk number, the records cover 0-9:
    // an entry beyond them has no record to fill and no disk to address.
    if (devices_.table.Disk(slot) >= kMaxDisks) {
        return SlotOutcome::Skipped;
    }
    if (flags_.StartupPass.load()) {
        return SlotOutcome::Changed;  // the first pass shows what discovery found
    }
    const std::string counter = Hex2(static_cast<std::uint8_t>(poll_.pollCounter));
    Trace(0, "1x," + counter);
    devices_.currentSlot.store(static_cast<std::uint8_t>(slot));
    RaidStatus& record = devices_.records[devices_.table.Disk(slot)];
    MonitorSlot& state = devices_.slots[slot];

    if (state.failCount & 1) {
        ++state.failCount;  // a failing enclosure is tried every second poll only
        return SlotOutcome::Skipped;
    }

    ReplySector reply{};
    CommandStatus result = kStatusOk;
    // The schedule bytes (period, time left) come only with the controller
    // information: an enclosure that keeps a schedule but reports no fan would
    // otherwise never show a new period or a running countdown.
    if (state.envRefresh || state.buzzerChanged || (state.features & kFeatureBackup) != 0) {
        Trace(0, "1y," + counter);
        const auto sent = SendPaced(CmdGetControllerInfo, reply);
        if (!sent) {
            return SlotOutcome::Aborted;
        }
        result = *sent;
        if (result == kStatusOk) {
            DecodeControllerInfo(reply, state, record,
                                 (poll_.PollRequest.load() & ReqApplySetting) != 0);
        }
    }

    Trace(0, "2x," + counter);
    bool done = false;
    for (int round = 1; result == kStatusOk && !done; ++round) {
        const std::string roundText = Hex2(static_cast<std::uint8_t>(round));
        Trace(0, roundText + ",yy," + counter);
        if (state.progressActive) {
            Trace(1, "y0," + roundText);
            const auto sent = SendPaced(CmdGetExtendedStatus, reply);
            if (!sent) {
                return SlotOutcome::Aborted;
            }
            result = *sent;
            Trace(1, "y1," + roundText);
            if (result == kStatusOk) {
                record.raidTaskStatus = reply[kTaskStatusOffset];
                if (record.raidTaskStatus == 2) {
                    // A length of 0 gives no percentage; the last one stands.
                    if (auto percent = ProgressPercent(TaskPosition(reply), TaskLength(reply))) {
                        record.progressPercent = *percent;
                    }
                    done = true;
                } else {
                    state.progressActive = false;
                }
            }
        }
        if (result == kStatusOk && !done && !state.progressActive) {
            Trace(1, "y2," + roundText);
            const auto sent = SendPaced(CmdGetDriveInfo, reply);
            if (!sent) {
                return SlotOutcome::Aborted;
            }
            result = *sent;
            Trace(1, "y3," + roundText);
            if (result == kStatusOk) {
                DecodeDriveInfo(reply, state, record, DriveInfoDecode::Poll);
                done = record.taskMask == 0 || round >= kMaxRounds;
            }
        }
        Trace(0, roundText + ",yz," + counter);
    }

    if (result == kErrEnclosureBusy) {
        // Another process of ours (an upgrade, say) has the enclosure: this
        // poll passes it by without counting it as failing.
        return SlotOutcome::Skipped;
    }
    if (result != kStatusOk) {
        if (++state.failCount > kMaxFailCount) {
            poll_.slotChecked[slot].store(false);
            state.failCount = 0;
            if (hooks_.slotUnchecked) {
                hooks_.slotUnchecked(static_cast<int>(slot));
            }
        }
        return SlotOutcome::Failed;
    }
    state.failCount = 0;
    poll_.lastPollSuccessAt[slot] = clock_.WallSeconds();
    return SlotOutcome::Changed;
}

std::optional<CommandStatus> StatusPoller::SendPaced(std::uint8_t code, ReplySector& reply) {
    clock_.SleepMs(kCommandPauseMs);
    const CommandStatus status = channel_.SendCommand(code, reply);
    if (MustAbort()) {
        return std::nullopt;
    }
    return status;
}

void StatusPoller::ApplyQueuedSetting() {
    if (flags_.flashTargetIndex.load() != kNoFlashTarget || poll_.switchingDevice) {
        return;
    }
    if (devices_.table.count == 0) {
        status_.SetPanel(kPanelErrors, "Device not found!!!");
        dialogs_.MessageBox("No Device found !", "Message", DialogIcon::Information);
        return;
    }
    const std::uint8_t slot = poll_.shownSlot < devices_.table.count ? poll_.shownSlot : 0;
    devices_.currentSlot.store(slot);
    const DeviceHandle handle = transport_.OpenDevice(devices_.table.Disk(slot));
    if (handle == kInvalidHandle) {
        dialogs_.MessageBox("Invalid Drive", "", DialogIcon::Error);
        return;
    }
    transport_.CloseHandle(handle);

    // Taken once: a later request without a new command must not resend it.
    const std::uint8_t code = poll_.QueuedCommand.exchange(0);
    if (code == 0) {
        return;
    }
    clock_.SleepMs(kCommandPauseMs);
    ReplySector reply{};
    const CommandStatus status = channel_.SendCommand(code, reply);
    poll_.lastSettingStatus.store(status);
    if (status != kStatusOk) {
        return;
    }
    std::string line = SettingsLine(code, channel_.QueuedArgs());
    if (line.empty()) {
        return;
    }
    line = "D" + std::to_string(slot + 1) + line + (hooks_.timeText ? hooks_.timeText() : "");
    if (hooks_.settingsChangeLine) {
        hooks_.settingsChangeLine(line);
    }
}

std::string StatusPoller::SettingsLine(std::uint8_t code,
                                       const std::array<std::uint8_t, 3>& args) const {
    const FoundDevice& device = devices_.devices[poll_.shownSlot % kMaxDevices];
    std::uint8_t meaning = code;
    unsigned factor = 0;
    if (code >= CmdSyncEvery10Min && code <= CmdSyncEvery3Hours) {
        factor = devices_.schedule.presets[code - CmdSyncEvery10Min];
    } else if (code == CmdHybridConfig && args[0] == 1) {
        meaning = args[1] == 0x5A ? CmdBuzzerMuteOff : CmdBuzzerMuteOn;
    } else if (code == CmdHybridConfig && args[0] == 2) {
        meaning = CmdSyncEvery10Min;
        factor = args[1];
    } else if (code >= CmdSyncEvery10Min) {
        return {};
    }
    if (meaning == CmdBuzzerMuteOn) {
        return " Buzzer Mute(setted): ON, ";
    }
    if (meaning == CmdBuzzerMuteOff) {
        return " Buzzer Mute(setted): OFF, ";
    }
    if (meaning >= CmdSyncEvery10Min && meaning <= CmdSyncEvery3Hours) {
        return " Backup Period(Setted): " + PeriodText(device.scheduleUnit * factor);
    }
    return {};
}

std::string StatusPoller::PeriodText(unsigned hours) const {
    if (hours == 0) {
        return "OFF, ";
    }
    std::string text;
    if (hours >= 24) {
        text = std::to_string(hours / 24) + "d" + (hours % 24 != 0 ? "-" : ", ");
    }
    if (hours % 24 != 0) {
        text += std::to_string(hours % 24) + "h, ";
    }
    return text;
}

}  // namespace raid
