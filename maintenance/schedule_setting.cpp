#include "maintenance/schedule_setting.h"

#include "device/command_codes.h"
#include "monitor/status_text.h"

namespace raid {
namespace {

constexpr std::uint8_t kSetPeriod = 0x02;
constexpr std::uint8_t kArgsTail = 0xDF;

}  // namespace

std::uint8_t ScheduleErrorCode(ScheduleSetOutcome outcome) {
    switch (outcome) {
        case ScheduleSetOutcome::NotServed:
            return 1;
        case ScheduleSetOutcome::NoPoll:
            return 2;
        case ScheduleSetOutcome::OutOfRange:
            return 3;
        default:
            return 0;
    }
}

ScheduleSetOutcome ScheduleSetter::Set(const ScheduleChoice& choice) {
    if (running_) {
        return ScheduleSetOutcome::AlreadyRunning;
    }
    running_ = true;
    const ScheduleSetOutcome outcome = Run(choice);
    if (outcome != ScheduleSetOutcome::NoChange && outcome != ScheduleSetOutcome::Closing) {
        Report(outcome);
        if (s_.refresh) {
            s_.refresh();
        }
    }
    running_ = false;
    return outcome;
}

ScheduleSetOutcome ScheduleSetter::Run(const ScheduleChoice& choice) {
    const DeviceState& dev = s_.devices;
    const std::size_t slot = s_.poll.shownSlot < kMaxSlots ? s_.poll.shownSlot : 0;
    const std::uint8_t current = dev.records[dev.table.Disk(slot)].backupInfo[0];

    const std::optional<ScheduleCommand> command = CommandFor(choice, dev.schedule);
    if (!command) {
        return ScheduleSetOutcome::OutOfRange;
    }
    if (command->userPeriod) {
        s_.channel.SetQueuedArgs(CmdHybridConfig, kSetPeriod, command->period, kArgsTail);
    }
    if (ScheduleUnchanged(current, *command)) {
        return ScheduleSetOutcome::NoChange;
    }

    s_.poll.lastSettingStatus.store(PollState::kNoSettingSent);
    s_.poll.QueuedCommand.store(command->code);
    s_.request(ReqApplySetting);
    const bool served = WaitWhilePending(ReqApplySetting);
    s_.poll.QueuedCommand.store(0);
    if (Closing()) {
        return ScheduleSetOutcome::Closing;
    }
    if (!served) {
        return ScheduleSetOutcome::NotServed;
    }
    // Handed over is not taken: an enclosure that refuses the command (a
    // stripe asked for a backup period) must not be reported as set.
    if (const int reply = s_.poll.lastSettingStatus.load();
        reply != kStatusOk && reply != PollState::kNoSettingSent) {
        refusal_ = static_cast<std::uint8_t>(reply);
        return ScheduleSetOutcome::Refused;
    }

    // While the machine is busy otherwise no poll is asked for here; the
    // next regular one reads the schedule back.
    if (dev.DetectCountdown == 0 && dev.DetectionRunning.load() == 0 &&
        s_.poll.StatusPollRunning.load() == 0 && s_.flags.MaintenanceBusy.load() == 0 &&
        !Closing()) {
        s_.request(ReqStatusPoll);
    }
    const bool polled = WaitWhilePending(ReqStatusPoll);
    if (Closing()) {
        return ScheduleSetOutcome::Closing;
    }
    return polled ? ScheduleSetOutcome::Ok : ScheduleSetOutcome::NoPoll;
}

bool ScheduleSetter::WaitWhilePending(std::uint8_t bit) {
    auto pending = [this, bit] { return (s_.poll.PollRequest.load() & bit) != 0; };
    for (int round = 0; round < kWaitRounds && pending() && !Closing(); ++round) {
        if (s_.pump) {
            s_.pump();
        }
        if (pending() && !Closing()) {
            s_.clock.SleepMs(kWaitRoundMs);
        }
    }
    return !pending();
}

void ScheduleSetter::Report(ScheduleSetOutcome outcome) {
    const std::uint8_t code =
        outcome == ScheduleSetOutcome::Refused ? refusal_ : ScheduleErrorCode(outcome);
    if (code == 0) {
        s_.dialogs.MessageBox("Schedule Backup Setting OK!", "Setting", DialogIcon::None);
        return;
    }
    s_.status.SetPanel(kPanelErrors, "Backup Setting error code :" + Hex2(code));
    s_.dialogs.MessageBox("Schedule Backup Setting fail!\n Please try again!", "Setting",
                          DialogIcon::Warning);
    s_.status.SetPanel(kPanelErrors, "");
}

}  // namespace raid
