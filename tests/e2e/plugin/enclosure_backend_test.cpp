// The NBD backend between a guest and the stand-in enclosure: sector-by-sector
// service, the read log, refusals, and the two deliberate faults, driven by
// the host's real command channel.
#include "tests/e2e/plugin/enclosure_backend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/command_channel.h"

namespace raid::e2e {
namespace {

namespace fs = std::filesystem;

// A scenario with one named enclosure on disk 3 and nothing else.
constexpr char kScenario[] = R"({
  "enclosures": [{
    "disk": 3,
    "controller": {"name": "Backend Dock"},
    "drives": [{"model": "A"}, {"model": "B"}]
  }]
})";

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "raidgui-backend-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name) << text;
        return path_ / name;
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

std::vector<std::uint32_t> LoggedReads(const fs::path& log) {
    std::ifstream in(log);
    std::vector<std::uint32_t> lbas;
    for (std::uint32_t lba = 0; in >> lba;) {
        lbas.push_back(lba);
    }
    return lbas;
}

// The guest's view: a disk reached only through the backend, one read per call.
class BackendTransport final : public Transport {
  public:
    explicit BackendTransport(EnclosureBackend& backend) : backend_(backend) {}
    DeviceHandle OpenDevice(std::uint8_t) override { return 1; }
    bool ReadSectors(DeviceHandle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        std::string error;
        return backend_.Read(buffer.first(count * kSectorSize), std::uint64_t{lba} * kSectorSize,
                             error) == 0;
    }
    bool InquiryDevice(DeviceHandle, std::span<std::uint8_t>) override { return false; }
    void CloseHandle(DeviceHandle) override {}

  private:
    EnclosureBackend& backend_;
};

struct Rig {
    explicit Rig(BackendFault fault = BackendFault::None) {
        options.scenarioFile = dir.Write("scenario.json", kScenario).string();
        options.readLog = (dir.path() / "reads.log").string();
        options.fault = fault;
        std::string error;
        backend = EnclosureBackend::Open(options, error);
        if (!backend) {
            throw std::runtime_error(error);
        }
        transport = std::make_unique<BackendTransport>(*backend);
        channel = std::make_unique<CommandChannel>(*transport, clock);
    }
    std::vector<std::uint32_t> Log() const { return LoggedReads(options.readLog); }

    TempDir dir;
    BackendOptions options;
    std::unique_ptr<EnclosureBackend> backend;
    VirtualClock clock;
    std::unique_ptr<BackendTransport> transport;
    std::unique_ptr<CommandChannel> channel;
    ReplySector reply{};
};

std::size_t Count(const std::vector<std::uint32_t>& lbas, std::uint32_t lba) {
    return static_cast<std::size_t>(std::count(lbas.begin(), lbas.end(), lba));
}

TEST(EnclosureBackend, CommandsThroughTheBackendReachTheEnclosureAndAreLogged) {
    Rig rig;
    ASSERT_EQ(rig.channel->SendCommand(CmdProbe, rig.reply), kStatusOk);
    ASSERT_EQ(rig.channel->SendCommand(CmdGetControllerInfo, rig.reply), kStatusOk);
    EXPECT_EQ(rig.reply[160 + 1], 'B');  // the name, pair-swapped
    EXPECT_EQ(rig.reply[160], 'a');
    const auto log = rig.Log();
    // Two short frames of 16 reads, each followed by one poll of two reads.
    EXPECT_EQ(log.size(), 2u * (16 + 2));
    EXPECT_EQ(Count(log, kReplySector), 2u);
    EXPECT_EQ((std::vector<std::uint32_t>(log.begin(), log.begin() + 4)),
              (std::vector<std::uint32_t>{0x43, 0x71, 0xA7, 0xDF}));
}

TEST(EnclosureBackend, TheFlashIsWrittenOutAtTheEndAsCommandsLeftIt) {
    Rig rig;
    const fs::path dump = rig.dir.path() / "flash.bin";
    rig.backend.reset();  // the dump is only asked for below
    rig.options.flashDump = dump.string();
    std::string error;
    rig.backend = EnclosureBackend::Open(rig.options, error);
    ASSERT_TRUE(rig.backend) << error;
    rig.transport = std::make_unique<BackendTransport>(*rig.backend);
    rig.channel = std::make_unique<CommandChannel>(*rig.transport, rig.clock);
    FlashChunk page;
    page.fill(0x3C);
    ASSERT_EQ(rig.channel->FlashErase(1, 0x1000), kStatusOk);
    ASSERT_EQ(rig.channel->FlashProgram(1, 0x1080, page), kStatusOk);
    rig.channel.reset();
    rig.transport.reset();
    rig.backend.reset();

    std::ifstream in(dump, std::ios::binary);
    const std::vector<char> flash((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(flash.size(), 512u * 1024);
    EXPECT_EQ(static_cast<std::uint8_t>(flash[149]), 0x12);  // the scenario's type byte
    EXPECT_EQ(static_cast<std::uint8_t>(flash[0x1080]), 0x3C);
    EXPECT_EQ(static_cast<std::uint8_t>(flash[0x10FF]), 0x3C);
    EXPECT_EQ(static_cast<std::uint8_t>(flash[0x1100]), 0xFF);
}

TEST(EnclosureBackend, ALongReadIsServedAndLoggedSectorBySector) {
    Rig rig;
    std::vector<std::uint8_t> eight(8 * kSectorSize);
    std::string error;
    ASSERT_EQ(rig.backend->Read(eight, 16 * kSectorSize, error), 0) << error;
    EXPECT_EQ(rig.Log(), (std::vector<std::uint32_t>{16, 17, 18, 19, 20, 21, 22, 23}));
    // Each sector carries its own content, not a copy of the first one.
    std::vector<std::uint8_t> one(kSectorSize);
    ASSERT_EQ(rig.backend->Read(one, 23 * kSectorSize, error), 0);
    EXPECT_TRUE(std::equal(one.begin(), one.end(), eight.begin() + 7 * kSectorSize));
    EXPECT_FALSE(std::equal(one.begin(), one.end(), eight.begin()));
}

TEST(EnclosureBackend, RefusesReadsThatAreNotWholeSectorsInsideTheDisk) {
    Rig rig;
    const std::uint64_t size = rig.backend->SizeBytes();
    struct Case {
        const char* what;
        std::size_t length;
        std::uint64_t offset;
    };
    const Case cases[] = {
        {"offset inside a sector", kSectorSize, 100},
        {"part of a sector", 100, 0},
        {"past the end", kSectorSize, size},
        {"running over the end", 2 * kSectorSize, size - kSectorSize},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> buffer(c.length);
        std::string error;
        EXPECT_EQ(rig.backend->Read(buffer, c.offset, error), EINVAL) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    EXPECT_TRUE(rig.Log().empty());
}

TEST(EnclosureBackend, OpenRefusesWhatCannotBeServed) {
    TempDir dir;
    const std::string scenario = dir.Write("scenario.json", kScenario).string();
    struct Case {
        const char* what;
        BackendOptions options;
        const char* message;
    };
    auto with = [&](auto change) {
        BackendOptions o;
        o.scenarioFile = scenario;
        change(o);
        return o;
    };
    const Case cases[] = {
        {"missing scenario", with([&](BackendOptions& o) { o.scenarioFile = dir.path() / "no"; }),
         "scenario"},
        {"broken scenario", with([&](BackendOptions& o) {
             o.scenarioFile = dir.Write("bad.json", R"({"enclosures": 5})").string();
         }),
         "scenario"},
        {"no such enclosure", with([](BackendOptions& o) { o.disk = 0; }),
         "no enclosure on disk 0"},
        {"size not whole sectors",
         with([](BackendOptions& o) { o.sizeBytes = 64 * 1024 * 1024 + 1; }), "whole number"},
        {"size below the separator", with([](BackendOptions& o) { o.sizeBytes = 0x5FFF * 512; }),
         "separator"},
        {"log in a missing folder",
         with([&](BackendOptions& o) { o.readLog = (dir.path() / "no" / "reads.log").string(); }),
         "read log"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(EnclosureBackend::Open(c.options, error), nullptr) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    }
}

TEST(EnclosureBackend, CachedReplyFaultHidesLaterPollsFromTheEnclosure) {
    Rig rig(BackendFault::CachedReply);
    ASSERT_EQ(rig.channel->SendCommand(CmdProbe, rig.reply), kStatusOk);
    const ReplySector probeReply = rig.reply;
    // The stale probe reply is signed, so the host takes it for the answer.
    rig.channel->SendCommand(CmdGetControllerInfo, rig.reply);
    EXPECT_EQ(rig.reply, probeReply);
    EXPECT_EQ(Count(rig.Log(), kReplySector), 1u);
}

TEST(EnclosureBackend, DroppedReadFaultLosesOnlyTheFirstReadOfItsSector) {
    Rig rig(BackendFault::DroppedRead);  // drops 0x210, the probe's command byte
    EXPECT_EQ(rig.channel->SendCommand(CmdProbe, rig.reply), kErrNoReply);
    EXPECT_EQ(Count(rig.Log(), 0x210), 0u);
    EXPECT_EQ(rig.channel->SendCommand(CmdProbe, rig.reply), kStatusOk);
    EXPECT_EQ(Count(rig.Log(), 0x210), 1u);
}

}  // namespace
}  // namespace raid::e2e
