// The event log over several days: day files left by an earlier run with any
// bytes in them, lines logged before and after midnight, and saves that fail
// for a while because something else sits where a day file belongs. When the
// obstacles are gone, every day's file holds its earlier lines and then the
// lines logged on that day, in order; nothing is lost or lands on another day,
// and a file that got no new line is left as it was.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/device_state.h"
#include "monitor/event_log.h"
#include "monitor/log_file.h"
#include "monitor/mail_request.h"
#include "monitor/time_text.h"
#include "tests/fuzz/input_reader.h"
#include "tests/fuzz/scratch_folder.h"
#include "tests/fuzz/text_checks.h"

namespace {

namespace fs = std::filesystem;
using raid::fuzz::InputReader;

constexpr std::int64_t kDay = 24 * 60 * 60;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
}

}  // namespace

FUZZ_TARGET(event_log_days) {
    using namespace raid;
    InputReader in(input);
    fuzz::EmptyScratchFolder();
    const fs::path folder = fuzz::ScratchFolder();

    // Somewhere in the day before midnight, so that the next day is close.
    const std::uint32_t startWord = in.Word();
    const std::int64_t start = 1796515200 + 18 * 3600 + std::int64_t{startWord % (6 * 3600)};
    const bool endOfRun = (startWord >> 31) != 0;
    VirtualClock clock(1'000'000, start);
    const auto stemAt = [&](std::int64_t seconds) { return DayStem(seconds).value_or("none"); };
    const auto fileOf = [&](const std::string& stem) { return LogFileName(folder.string(), stem); };

    // Day files of an earlier run: today's, tomorrow's (a clock set back
    // since) and the day after's, each perhaps with any bytes.
    std::map<std::string, std::string> leftBytes;
    const std::uint8_t present = in.Byte();
    for (int day = 0; day < 3; ++day) {
        const std::string text = in.Text('\0');
        if (present & (1 << day)) {
            const std::string stem = stemAt(start + day * kDay);
            WriteBytes(fileOf(stem), text);
            leftBytes[stem] = text;
        }
    }

    DeviceState devices;
    ProcessFlags flags;
    flags.StartupPass = 0;
    RecordingMailSink mail(clock);
    EventLogState state;
    state.logFolder = folder.string();
    // Every line the log takes, under the day it was taken on.
    std::map<std::string, std::vector<std::string>> added;
    EventLogServices services{devices, flags, clock, mail, {}, {}, {}, "RAID GUI v0.50.11-5b",
                              nullptr};
    services.lineAdded = [&](const std::string& line) {
        added[stemAt(clock.WallSeconds())].push_back(line);
    };
    std::vector<fs::path> obstacles;

    for (int step = 0; step < 64 && !in.Empty(); ++step) {
        const std::uint8_t op = in.Byte();
        switch (op % 6) {
            case 0:  // a mail outcome, logged between passes
                AppendLogLines(state, services, {in.Text('\n')});
                break;
            case 1:  // time goes on, up to a day and a half
                clock.Advance(std::uint64_t{in.Byte()} * 509'000 + in.Byte() * 1000u);
                break;
            case 2:  // a pass of the monitor, now and then with enclosures come or gone
                if (op & 0x80) {
                    state.DeviceChangeLines.push_back("Device1 was removed, ");
                    state.DeviceChangePending = true;
                }
                flags.StartupPass = (op >> 6) & 1;
                DetectEvents(state, services, 0);
                break;
            case 3: {  // a folder where a day file (today's or a later one's) belongs
                const std::string stem = stemAt(clock.WallSeconds() + (op >> 3) % 3 * kDay);
                const fs::path path = fileOf(stem);
                std::error_code ec;
                if (!fs::exists(path, ec)) {
                    fs::create_directory(path, ec);
                    obstacles.push_back(path);
                }
                break;
            }
            case 4: {  // the oldest obstacle goes
                if (!obstacles.empty()) {
                    std::error_code ec;
                    fs::remove(obstacles.front(), ec);
                    obstacles.erase(obstacles.begin());
                }
                break;
            }
            case 5:  // a settings line waits for the next pass
                state.SettingsChangeLines.push_back(in.Text('\n'));
                break;
        }
    }

    // Every obstacle gone, what was kept in memory is saved by the end of the
    // run, or else by the next line logged.
    for (const fs::path& path : obstacles) {
        std::error_code ec;
        fs::remove(path, ec);
    }
    if (endOfRun) {
        FUZZ_CHECK(SaveKeptLogLines(state).empty());
    } else {
        AppendLogLines(state, services, {"end"});
    }
    FUZZ_CHECK(state.earlierDays.empty());
    FUZZ_CHECK(!state.saveOwed);

    std::map<std::string, bool> days;
    for (const auto& [stem, bytes] : leftBytes) {
        days[stem] = true;
    }
    for (const auto& [stem, lines] : added) {
        days[stem] = true;
    }
    for (const auto& [stem, unused] : days) {
        const std::string path = fileOf(stem);
        const auto left = leftBytes.find(stem);
        const auto ours = added.find(stem);
        if (ours == added.end()) {
            FUZZ_CHECK(ReadBytes(path) == left->second);
            continue;
        }
        std::vector<std::string> expected;
        if (left != leftBytes.end()) {
            expected = SplitLogLines(left->second);
        }
        expected.insert(expected.end(), ours->second.begin(), ours->second.end());
        const LogLoad saved = LoadLogFile(path);
        FUZZ_CHECK(saved.outcome == LogLoad::Outcome::Loaded);
        FUZZ_CHECK(saved.lines == expected);
        FUZZ_CHECK(JoinLogLines(saved.lines) == ReadBytes(path));
    }
    // No other file in the folder: no day file of a day nothing happened on.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++files;
    }
    FUZZ_CHECK(files == days.size());
}
