#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/device_state.h"
#include "monitor/alert_state.h"
#include "monitor/mail_request.h"

namespace raid {

// Enclosures whose drive states are logged (the device count is capped here).
inline constexpr std::size_t kLogSlots = 4;
inline constexpr std::uint8_t kNoPercent = 0xFF;

// What the log last wrote about one enclosure.
struct LogSlot {
    std::uint8_t prevClass = 0;             // driveClass last logged
    std::uint8_t lastPercent = kNoPercent;  // rebuild percentage last logged
    std::uint8_t rebuildDirection = 0;      // 0: HDD2 -> HDD1, 1: HDD1 -> HDD2
};

// Lines of an earlier day that could not be saved before the date changed;
// they are retried on every pass until they reach their own file.
struct UnsavedLog {
    std::string fileName;
    std::vector<std::string> lines;
    bool fileRead = false;  // the file's own lines are already in `lines`
};

// The event log, created once and kept for the whole run; main thread only.
struct EventLogState {
    // Today's lines; the log viewer reads them.
    std::vector<std::string> EventLog;
    std::array<LogSlot, kLogSlots> slots{};

    // Arrivals and departures of enclosures, logged by the next pass.
    std::vector<std::string> DeviceChangeLines;
    bool DeviceChangePending = false;
    // Lines of applied settings, each already ending in its time text.
    std::vector<std::string> SettingsChangeLines;
    // Enclosures appeared while none was known; the redraw clears it.
    bool FullRedrawRequested = false;

    // Where the day files live; chosen by the application.
    std::string logFolder;

    // The file EventLog belongs to, whether its lines have been read into
    // EventLog (or it was begun by us), and whether EventLog holds lines the
    // file does not have yet (a save failed or has not happened).
    std::string fileName;
    bool fileRead = false;
    bool saveOwed = false;
    std::vector<UnsavedLog> earlierDays;
};

// What DetectEvents uses outside the log. The std::function members may be empty.
struct EventLogServices {
    const DeviceState& devices;
    const ProcessFlags& flags;
    Clock& clock;
    MailRequestSink& mail;
    std::function<void()> requestSmartThresholds;         // sets ReqSmartThresholds
    std::function<void(const std::string&)> reportError;  // status panel 4 / standard error
    std::function<void(const std::string&)> lineAdded;    // every new line of EventLog
    std::string appTitle;                                 // "RAID GUI v0.50.11-5b"
    // Heat, fan and rebuild-end alerts of the monitored slots; none: not watched.
    AlertState* alerts = nullptr;
};

// After every completed poll: bit i of `changedMask` marks device-table slot
// i as polled successfully (in the start-up pass: as present). Logs drive
// changes, rebuild progress, pending device-set changes and settings lines,
// and saves the day's file when anything was added.
void DetectEvents(EventLogState& state, const EventLogServices& services, std::uint8_t changedMask);

// Lines that other parts of the program log between passes (mail outcomes):
// added to today's log and saved at once.
void AppendLogLines(EventLogState& state, const EventLogServices& services,
                    const std::vector<std::string>& lines);

// At the end of a run: the lines failed saves kept in memory, today's and
// earlier days', get one more chance under the rule of every save, that a
// file is never replaced before its own lines have been read. Returns why
// some could not be saved; none when everything owed was saved.
std::vector<std::string> SaveKeptLogLines(EventLogState& state);

// A run of 83 minus signs.
const std::string& SeparatorLine();

}  // namespace raid
