// A controller that answers like the stand-in enclosure except where the input
// says otherwise: reply sectors and INQUIRY data changed byte by byte, or
// replaced by the input's bytes, while the whole engine runs on them
// (discovery, the status polls, SMART, the event log). Whatever comes back,
// the day file and the window get clean single lines, the file holds exactly
// the lines in memory, and every handle is closed again.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/engine.h"
#include "device/command_codes.h"
#include "device/fixed_disk_catalog.h"
#include "device/safe_text.h"
#include "monitor/log_file.h"
#include "monitor/mail_request.h"
#include "monitor/metrics_text.h"
#include "sim/sim_transport.h"
#include "sysinfo/canned_system_facts.h"
#include "tests/fuzz/input_reader.h"
#include "tests/fuzz/scratch_folder.h"
#include "tests/fuzz/text_checks.h"
#include "tests/support/engine_steps.h"
#include "tests/support/recorders.h"

namespace {

using raid::fuzz::InputReader;

// Each answer of the stand-in takes one instruction byte from the input: keep
// it, change a few bytes, or replace it (keeping or dropping its signatures).
// Once the input is used up the stand-in answers as it is.
class HostileController final : public raid::Transport {
  public:
    HostileController(raid::Transport& inner, InputReader& in) : inner_(inner), in_(in) {}

    raid::DeviceHandle OpenDevice(std::uint8_t code) override {
        const raid::DeviceHandle handle = inner_.OpenDevice(code);
        if (handle != raid::kInvalidHandle) {
            ++open_;
        }
        return handle;
    }
    bool ReadSectors(raid::DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        // Every vendor command is a sequence of one-sector reads.
        FUZZ_CHECK(count == 1 && buffer.size() >= raid::kSectorSize);
        if (!inner_.ReadSectors(handle, lba, buffer, count)) {
            return false;
        }
        if (lba == raid::kReplySector) {
            Change(buffer.first(raid::kSectorSize), true);
        }
        return true;
    }
    bool InquiryDevice(raid::DeviceHandle handle, std::span<std::uint8_t> buffer) override {
        if (!inner_.InquiryDevice(handle, buffer)) {
            return false;
        }
        Change(buffer.first(std::min(buffer.size(), raid::kInquiryLength)), false);
        return true;
    }
    void CloseHandle(raid::DeviceHandle handle) override {
        --open_;
        inner_.CloseHandle(handle);
    }

    int OpenHandles() const { return open_; }

  private:
    void Change(std::span<std::uint8_t> answer, bool signedReply) {
        const std::uint8_t op = in_.Byte();
        switch (op & 3) {
            case 0:
                return;
            case 1: {
                const int changes = (op >> 2) % 8 + 1;
                for (int i = 0; i < changes; ++i) {
                    const std::size_t at = ((std::size_t{in_.Byte()} << 8) | in_.Byte());
                    answer[at % answer.size()] = in_.Byte();
                }
                return;
            }
            case 2:
            case 3: {
                std::array<std::uint8_t, raid::kSectorSize> kept{};
                std::copy(answer.begin(), answer.end(), kept.begin());
                std::fill(answer.begin(), answer.end(), std::uint8_t{0});
                const raid::fuzz::Input bytes = in_.Bytes(answer.size());
                std::copy(bytes.begin(), bytes.end(), answer.begin());
                // Keep the signatures, so that the engine takes the bytes as
                // the controller's answer.
                if ((op & 3) == 2 && signedReply) {
                    std::copy_n(kept.begin(), raid::kSignatureLength, answer.begin());
                    std::copy_n(kept.begin() + raid::kSecondSignatureOffset, raid::kSignatureLength,
                                answer.begin() + raid::kSecondSignatureOffset);
                }
                return;
            }
        }
    }

    raid::Transport& inner_;
    InputReader& in_;
    int open_ = 0;
};

void CheckShownText(const std::string& text) {
    FUZZ_CHECK(raid::SafeText(text) == text);
}

}  // namespace

FUZZ_TARGET(engine_replies) {
    using namespace raid;
    InputReader in(input);
    fuzz::EmptyScratchFolder();

    VirtualClock clock;
    sim::SimTransport standIn(sim::DefaultScenario(), clock);
    HostileController controller(standIn, in);
    FixedDiskCatalog catalog;
    CannedSystemFacts facts;
    testing::RecordingDialogs dialogs;
    testing::RecordingStatus status;
    RecordingMailSink mail(clock);
    AppState state;
    testing::RecordingFrontEnd frontEnd(&state.flags.StartupPass);
    Engine engine(state, EngineServices{controller, catalog, facts, clock, dialogs, status, mail},
                  frontEnd, {});
    state.log.logFolder = fuzz::ScratchFolder().string();

    testing::StartUp(engine, state);
    for (int poll = 0; poll < 4; ++poll) {
        testing::PollOnce(engine, state, clock);
        if (poll == 1) {
            // The SMART refresh comes round once a minute.
            for (int tick = 0; tick < kSmartRefreshTicks; ++tick) {
                engine.Timer3Tick();
            }
            testing::ServeAll(engine, state);
        }
    }

    FUZZ_CHECK(controller.OpenHandles() == 0);
    for (const std::string& line : state.log.EventLog) {
        fuzz::CheckLogLine(line);
    }
    // The day file holds what the log holds, line for line.
    if (!state.log.fileName.empty() && !state.log.saveOwed) {
        const LogLoad saved = LoadLogFile(state.log.fileName);
        FUZZ_CHECK(saved.outcome == LogLoad::Outcome::Loaded);
        FUZZ_CHECK(saved.lines == state.log.EventLog);
    }
    for (const std::string& line : frontEnd.logLines) {
        fuzz::CheckLogLine(line);
    }
    for (const std::string& text : status.history) {
        CheckShownText(text);
    }
    for (const auto& box : dialogs.boxes) {
        CheckShownText(box.text);
    }
    CheckShownText(frontEnd.statusText);
    MetricsExtras extras;
    extras.alerts = &state.alerts;
    fuzz::CheckMetricsText(MetricsText(state.devices, state.poll, extras));
}
