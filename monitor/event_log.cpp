#include "monitor/event_log.h"

#include <algorithm>

#include "monitor/alert_watch.h"
#include "monitor/event_log_lines.h"
#include "monitor/log_file.h"
#include "monitor/time_text.h"

namespace raid {
namespace {

// Puts the file's lines in front of `lines`, which hold only what was logged
// since; a missing file has nothing to add. Returns why the file could not be
// read, empty when it was.
std::string ReadDayFile(const std::string& fileName, std::vector<std::string>& lines,
                        bool& fileRead) {
    LogLoad load = LoadLogFile(fileName);
    switch (load.outcome) {
        case LogLoad::Outcome::Loaded:
            lines.insert(lines.begin(), std::make_move_iterator(load.lines.begin()),
                         std::make_move_iterator(load.lines.end()));
            fileRead = true;
            return {};
        case LogLoad::Outcome::Missing:
            fileRead = true;
            return {};
        case LogLoad::Outcome::Failed:
            break;
    }
    return load.error;
}

// Returns why the lines were not saved, empty when they were.
std::string SaveDayFile(const std::string& folder, const std::string& fileName,
                        const std::vector<std::string>& lines, bool fileRead) {
    if (folder.empty()) {
        // A bare day-file name would land in whatever folder the program was
        // started from.
        return "no folder for the event log";
    }
    if (!fileRead) {
        // Saving now would replace lines we have never seen.
        return fileName + " could not be read first";
    }
    return SaveLogFile(fileName, lines);
}

class Pass {
  public:
    Pass(EventLogState& state, const EventLogServices& services)
        : state_(state), services_(services) {}

    void Run(std::uint8_t changedMask);
    void Append(const std::vector<std::string>& lines);

  private:
    void Report(const std::string& text) const {
        if (services_.reportError) {
            services_.reportError(text);
        }
    }
    void Add(const std::string& line) {
        state_.EventLog.push_back(line);
        if (services_.lineAdded) {
            services_.lineAdded(line);
        }
    }
    void AddAll(const std::vector<std::string>& lines) {
        for (const auto& line : lines) {
            Add(line);
        }
    }

    // Slots below the device count whose record exists.
    std::size_t SlotCount() const {
        return std::min<std::size_t>({services_.devices.table.count, kLogSlots, kMaxDevices});
    }
    // The slot's record, or null when its table entry names no disk we keep.
    const RaidStatus* Record(std::size_t slot) const {
        const std::uint8_t disk = services_.devices.table.Disk(slot);
        return disk < kMaxDisks ? &services_.devices.records[disk] : nullptr;
    }
    const ControllerBlock& Block(std::size_t slot) const {
        return services_.devices.blocks[services_.devices.table.Disk(slot)];
    }

    void SwitchFile(const std::string& fileName);
    bool TakeUpDayFile(const std::string& fileName);
    bool ReadInto(const std::string& fileName, std::vector<std::string>& lines, bool& fileRead);
    bool Write(const std::string& fileName, const std::vector<std::string>& lines, bool fileRead);
    void RetryEarlierDays();
    void TakeClassesAsBase();
    void LogSlotChanges(std::size_t slot, const std::string& dt);
    void WatchAlerts(std::size_t slot, bool rebuildEnded, const std::string& dt);

    EventLogState& state_;
    const EventLogServices& services_;
    bool changed_ = false;
};

void Pass::Run(std::uint8_t changedMask) {
    const std::int64_t eventTime = services_.clock.WallSeconds();
    const auto stem = DayStem(eventTime);
    if (!stem) {
        // Nothing is consumed, so the next pass logs what this one saw.
        Report("Event log: no local date for time " + std::to_string(eventTime));
        return;
    }
    const std::string dt = TimeText(eventTime);
    const std::string fileName = LogFileName(state_.logFolder, *stem);

    if (fileName != state_.fileName) {
        SwitchFile(fileName);
    }
    RetryEarlierDays();

    const bool startup = services_.flags.StartupPass.load() != 0;
    bool headerNeeded = false;
    if (!TakeUpDayFile(fileName)) {
        if (!startup) {
            Add(SeparatorLine());
        }
        headerNeeded = true;
    }

    if (startup) {
        Add(SeparatorLine());
        Add(services_.appTitle + " has started from " + dt);
        headerNeeded = true;
        TakeClassesAsBase();
    } else if (state_.DeviceChangePending) {
        Add(SeparatorLine());
        for (const auto& line : state_.DeviceChangeLines) {
            Add(line + dt);
        }
        state_.DeviceChangeLines.clear();
        state_.DeviceChangePending = false;
        headerNeeded = true;
        TakeClassesAsBase();
    }

    const std::size_t count = SlotCount();
    if (headerNeeded) {
        for (std::size_t i = 0; i < count; ++i) {
            const RaidStatus* record = Record(i);
            if ((changedMask & (1u << i)) && record != nullptr) {
                AddAll(DeviceInformationBlock(i + 1, *record, Block(i)));
            }
        }
        Add(SeparatorLine());
        changed_ = true;
    }

    for (std::size_t i = 0; i < count; ++i) {
        if ((changedMask & (1u << i)) && Record(i) != nullptr) {
            if (!headerNeeded) {
                LogSlotChanges(i, dt);
            }
            const bool rebuildLogged = state_.slots[i].lastPercent != kNoPercent;
            if (auto line = RebuildLine(state_.slots[i], i + 1, *Record(i), dt)) {
                Add(*line);
                changed_ = true;
            }
            WatchAlerts(i, rebuildLogged && state_.slots[i].lastPercent == kNoPercent, dt);
        }
        // Settings lines must reach the file in this pass: left unsaved, a
        // change of date would drop them with the rest of the day's log.
        if (!state_.SettingsChangeLines.empty()) {
            AddAll(state_.SettingsChangeLines);
            state_.SettingsChangeLines.clear();
            changed_ = true;
        }
    }

    if (changed_ || state_.saveOwed) {
        state_.saveOwed = true;
        if (Write(fileName, state_.EventLog, state_.fileRead)) {
            state_.saveOwed = false;
        }
    }
}

void Pass::Append(const std::vector<std::string>& lines) {
    const std::int64_t now = services_.clock.WallSeconds();
    const auto stem = DayStem(now);
    if (!stem) {
        Report("Event log: no local date for time " + std::to_string(now));
        return;
    }
    const std::string fileName = LogFileName(state_.logFolder, *stem);
    if (fileName != state_.fileName) {
        SwitchFile(fileName);
    }
    RetryEarlierDays();
    TakeUpDayFile(fileName);
    AddAll(lines);
    state_.saveOwed = true;
    if (Write(fileName, state_.EventLog, state_.fileRead)) {
        state_.saveOwed = false;
    }
}

void Pass::LogSlotChanges(std::size_t slot, const std::string& dt) {
    const RaidStatus& record = *Record(slot);
    LogSlot& logged = state_.slots[slot];
    if (record.driveClass == logged.prevClass) {
        return;
    }
    const std::uint8_t old = logged.prevClass;
    logged.prevClass = record.driveClass;
    changed_ = true;
    for (int drive = 0; drive < 2; ++drive) {
        const DriveChange change = DriveTransition(slot + 1, drive, old, record, dt);
        AddAll(change.lines);
        if (change.event == DriveEvent::Removed) {
            services_.mail.RequestMailNotification(kMailDriveRemoved,
                                                   static_cast<std::uint8_t>(slot),
                                                   static_cast<std::uint8_t>(drive));
        } else if (change.event == DriveEvent::Initialized && services_.requestSmartThresholds) {
            services_.requestSmartThresholds();
        }
    }
}

void Pass::WatchAlerts(std::size_t slot, bool rebuildEnded, const std::string& dt) {
    if (services_.alerts == nullptr || slot >= kMaxSlots) {
        return;
    }
    AlertState& alerts = *services_.alerts;
    const RaidStatus& record = *Record(slot);
    AlertFindings found =
        WatchEnvironment(alerts.slots[slot], slot + 1, record, alerts.heatLimit, dt);
    if (rebuildEnded) {
        AlertFindings end = RebuildEnded(alerts.slots[slot], slot + 1, record,
                                         state_.slots[slot].rebuildDirection, dt);
        found.lines.insert(found.lines.end(), end.lines.begin(), end.lines.end());
        found.kinds.insert(found.kinds.end(), end.kinds.begin(), end.kinds.end());
    }
    if (!found.lines.empty() || !found.kinds.empty()) {
        alerts.lastEventAt = services_.clock.WallSeconds();
    }
    if (!found.lines.empty()) {
        AddAll(found.lines);
        changed_ = true;
    }
    for (const std::uint8_t kind : found.kinds) {
        // The rebuild's report names the drive that was rebuilt.
        const std::uint8_t port =
            kind == kMailRebuild ? alerts.slots[slot].rebuild.direction == 0 ? 0 : 1 : 0;
        services_.mail.RequestMailNotification(kind, static_cast<std::uint8_t>(slot), port);
    }
}

// The enclosures now in the table are the base: what was true of them is not
// an event, and alerts about what stood in their place before are forgotten.
void Pass::TakeClassesAsBase() {
    for (std::size_t i = 0; i < SlotCount(); ++i) {
        if (const RaidStatus* record = Record(i)) {
            state_.slots[i].prevClass = record->driveClass;
        }
    }
    if (services_.alerts != nullptr) {
        services_.alerts->slots = {};
    }
}

// A new date (or folder): lines the old file never received go to the list
// of earlier days, and the new file starts from nothing.
void Pass::SwitchFile(const std::string& fileName) {
    if (state_.saveOwed && !state_.fileName.empty()) {
        state_.earlierDays.push_back(
            {state_.fileName, std::move(state_.EventLog), state_.fileRead});
    }
    state_.EventLog.clear();
    state_.fileName = fileName;
    state_.fileRead = false;
    state_.saveOwed = false;
}

// Makes EventLog today's log before lines are added: the file's lines come
// first once it can be read. False when the day's log begins now, with no file
// and nothing kept in memory.
bool Pass::TakeUpDayFile(const std::string& fileName) {
    if (LogFileMayExist(fileName)) {
        if (!state_.fileRead) {
            ReadInto(fileName, state_.EventLog, state_.fileRead);
        }
        return true;
    }
    if (state_.saveOwed) {
        // Kept in memory because the first save failed, or because the file
        // could not be read then: either way the lines in memory are the
        // day's log, and with the file gone nothing is left to read first.
        state_.fileRead = true;
        return true;
    }
    state_.EventLog.clear();
    state_.fileRead = true;
    return false;
}

void Pass::RetryEarlierDays() {
    auto& days = state_.earlierDays;
    days.erase(std::remove_if(days.begin(), days.end(),
                              [this](UnsavedLog& day) {
                                  if (!day.fileRead) {
                                      ReadInto(day.fileName, day.lines, day.fileRead);
                                  }
                                  return Write(day.fileName, day.lines, day.fileRead);
                              }),
               days.end());
}

bool Pass::ReadInto(const std::string& fileName, std::vector<std::string>& lines, bool& fileRead) {
    const std::string error = ReadDayFile(fileName, lines, fileRead);
    if (!error.empty()) {
        Report("Event log not read: " + error);
    }
    return error.empty();
}

bool Pass::Write(const std::string& fileName, const std::vector<std::string>& lines,
                 bool fileRead) {
    const std::string error = SaveDayFile(state_.logFolder, fileName, lines, fileRead);
    if (!error.empty()) {
        Report("Event log not saved, kept in memory: " + error);
    }
    return error.empty();
}

}  // namespace

const std::string& SeparatorLine() {
    static const std::string line(83, '-');
    return line;
}

void DetectEvents(EventLogState& state, const EventLogServices& services,
                  std::uint8_t changedMask) {
    Pass(state, services).Run(changedMask);
}

void AppendLogLines(EventLogState& state, const EventLogServices& services,
                    const std::vector<std::string>& lines) {
    if (!lines.empty()) {
        Pass(state, services).Append(lines);
    }
}

}  // namespace raid

namespace raid {

std::vector<std::string> SaveKeptLogLines(EventLogState& state) {
    std::vector<std::string> errors;
    const auto save = [&](const std::string& fileName, std::vector<std::string>& lines,
                          bool& fileRead) {
        std::string error;
        if (!fileRead) {
            error = ReadDayFile(fileName, lines, fileRead);
        }
        if (error.empty()) {
            error = SaveDayFile(state.logFolder, fileName, lines, fileRead);
        }
        if (error.empty()) {
            return true;
        }
        errors.push_back(std::move(error));
        return false;
    };
    auto& days = state.earlierDays;
    days.erase(std::remove_if(
                   days.begin(), days.end(),
                   [&](UnsavedLog& day) { return save(day.fileName, day.lines, day.fileRead); }),
               days.end());
    if (state.saveOwed && !state.fileName.empty() &&
        save(state.fileName, state.EventLog, state.fileRead)) {
        state.saveOwed = false;
    }
    return errors;
}

}  // namespace raid
