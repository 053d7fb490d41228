// Another process of ours, as the enclosure lock tests need one: it takes
// the lock files of a folder the way raidcli does with RAIDGUI_LOCK_DIR.
//   try FOLDER DISK            exit 0 when the lock was free, 1 when not
//   hold FOLDER DISK           writes 'h' (held) or 'n', keeps it until its
//                              standard input ends
//   commands FOLDER JOURNAL N  sends N commands to a stand-in's disk 0 under
//                              the lock, a line "process lba" per read into
//                              JOURNAL; exit 0 when all of them worked
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <process.h>
#define RAID_PROCESS_ID _getpid
#else
#include <unistd.h>
#define RAID_PROCESS_ID getpid
#endif

#include "device/command_channel.h"
#include "device/enclosure_lock.h"
#include "sim/sim_transport.h"

namespace raid {
namespace {

// Appends every read to a journal several processes share.
class JournalTransport final : public Transport {
  public:
    JournalTransport(Transport& inner, std::FILE* journal) : inner_(inner), journal_(journal) {}
    DeviceHandle OpenDevice(std::uint8_t code) override { return inner_.OpenDevice(code); }
    bool ReadSectors(DeviceHandle h, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        std::fprintf(journal_, "%d %u\n", static_cast<int>(RAID_PROCESS_ID()),
                     static_cast<unsigned>(lba));
        std::fflush(journal_);
        return inner_.ReadSectors(h, lba, buffer, count);
    }
    bool InquiryDevice(DeviceHandle h, std::span<std::uint8_t> buffer) override {
        return inner_.InquiryDevice(h, buffer);
    }
    void CloseHandle(DeviceHandle h) override { inner_.CloseHandle(h); }

  private:
    Transport& inner_;
    std::FILE* journal_;
};

int SendCommands(const std::string& folder, const char* journalPath, int count) {
    std::FILE* journal = std::fopen(journalPath, "ab");
    if (journal == nullptr) {
        return 2;
    }
    SteadyClock clock;
    sim::SimTransport sim(sim::DefaultScenario(), clock);
    JournalTransport shared(sim, journal);
    auto lock = MakeFileEnclosureLock(LockFilesIn(folder), true);
    CommandChannel channel(shared, clock);
    channel.SetEnclosureLock(*lock);
    ReplySector reply{};
    int ok = 0;
    for (int i = 0; i < count; ++i) {
        ok += channel.SendCommand(CmdGetControllerInfo, reply) == kStatusOk;
    }
    std::fclose(journal);
    return ok == count ? 0 : 1;
}

}  // namespace
}  // namespace raid

int main(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    const std::string_view verb = argv[1];
    const std::string folder = argv[2];
    if (verb == "commands" && argc == 5) {
        return raid::SendCommands(folder, argv[3], std::atoi(argv[4]));
    }
    const auto disk = static_cast<std::uint8_t>(std::atoi(argv[3]));
    auto lock = raid::MakeFileEnclosureLock(raid::LockFilesIn(folder), true);
    const bool held = lock->TryLock(disk);
    if (verb == "try") {
        return held ? 0 : 1;
    }
    if (verb == "hold") {
        std::fputc(held ? 'h' : 'n', stdout);
        std::fflush(stdout);
        while (std::fgetc(stdin) != EOF) {
        }
        return 0;
    }
    return 2;
}
