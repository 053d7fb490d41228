// Discovery against stand-in enclosures, on virtual time.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/status_decode.h"
#include "monitor/status_text.h"
#include "tests/support/engine_rig.h"

namespace raid {
namespace {

using testing::EngineRig;

sim::EnclosureConfig Enclosure(std::uint8_t disk, std::uint8_t rawMode = sim::kModeStripe) {
    sim::EnclosureConfig e;
    e.disk = disk;
    e.raidMode = rawMode;
    e.controller.name = "Dock " + std::to_string(disk);
    for (auto& d : e.drives) {
        d.model = "MODEL";
        d.serial = "SERIAL";
        d.capacity = 1953525168;
    }
    return e;
}

sim::Scenario WithEnclosures(std::initializer_list<sim::EnclosureConfig> list) {
    sim::Scenario s;
    s.enclosures = list;
    return s;
}

TEST(Discovery, DefaultMachineGivesBothEnclosuresTheirIdentity) {
    EngineRig rig;
    rig.StartUp();
    const DeviceState& dev = rig.state.devices;
    ASSERT_EQ(dev.table.count, 2);
    EXPECT_EQ(dev.table.entries[0], 0x40u);
    EXPECT_EQ(dev.table.entries[1], 0x41u);
    EXPECT_EQ(dev.devices[0].chipVariant, 0);
    EXPECT_EQ(dev.devices[1].chipVariant, 1) << "the stripe signs with the second pair";
    EXPECT_TRUE(dev.devices[0].namePresent);
    EXPECT_EQ(BlockNameText(dev.blocks[0]), "Sim Mirror Dock");

    // No controller name: vendor and product from INQUIRY, pair-swapped like
    // every ATA text, blank-padded to 40 characters.
    EXPECT_FALSE(dev.devices[1].namePresent);
    const ControllerBlock& stripe = dev.blocks[1];
    EXPECT_EQ(stripe[54], 'A');
    EXPECT_EQ(stripe[55], 'R');
    EXPECT_TRUE(
        std::all_of(stripe.begin() + 70, stripe.begin() + 94, [](auto c) { return c == ' '; }));
    EXPECT_EQ(BlockNameText(stripe), "RAIDSIM Stripe D");

    const RaidStatus& mirror = dev.records[0];
    EXPECT_EQ(mirror.validMark, kValidMark);
    EXPECT_EQ(mirror.driveNumber, 0);
    EXPECT_EQ(mirror.raidMode, kModeMirroring);
    EXPECT_EQ(mirror.envStatus, 0xA0);
    EXPECT_EQ(mirror.taskMask, 0x01);
    EXPECT_EQ(mirror.raidTaskStatus, 2);
    EXPECT_NE(mirror.arrayCapacity, 0u) << "a mirror's capacity comes from the progress reply";
    EXPECT_TRUE(dev.slots[0].features & kFeatureBackup);
    EXPECT_TRUE(dev.slots[0].features & kFeatureHybrid);
    EXPECT_TRUE(dev.slots[0].envRefresh);

    const RaidStatus& striped = dev.records[1];
    EXPECT_EQ(striped.raidMode, kModeStriping);
    EXPECT_EQ(striped.arrayCapacity, 2 * std::min(striped.hdd1Capacity, striped.hdd2Capacity));
    EXPECT_EQ(striped.driveClass, kBothPresent);
}

TEST(Discovery, NamedControllerTakesItsCapacityFromItsOwnBytes) {
    auto e = Enclosure(3);
    e.controller.capacity = 123456789;
    EngineRig rig(WithEnclosures({e}));
    rig.StartUp();
    ASSERT_EQ(rig.state.devices.table.count, 1);
    EXPECT_EQ(rig.state.devices.records[3].arrayCapacity, 123456789u);
}

TEST(Discovery, UnsupportedProductFamiliesAreNotListed) {
    struct Case {
        std::uint8_t family0;
        std::uint8_t family1;
        bool listed;
    };
    const Case cases[] = {
        {0x05, 0x00, false}, {0x50, 0x00, false}, {0x05, 0x01, true}, {0x62, 0x18, true}};
    for (const Case& c : cases) {
        auto e = Enclosure(2);
        e.controller.firmware[4] = c.family0;
        e.controller.firmware[5] = c.family1;
        EngineRig rig(WithEnclosures({e}));
        rig.StartUp();
        EXPECT_EQ(rig.state.devices.table.count, c.listed ? 1 : 0)
            << std::hex << int(c.family0) << " " << int(c.family1);
    }
}

TEST(Discovery, MoreThanEightEnclosuresKeepTheFirstEight) {
    sim::Scenario s;
    for (std::uint8_t d = 0; d < 10; ++d) {
        s.enclosures.push_back(Enclosure(d));
    }
    EngineRig rig(s);
    rig.StartUp();
    const DeviceState& dev = rig.state.devices;
    ASSERT_EQ(dev.table.count, 8);
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(dev.table.entries[k], 0x40u | k);
    }
}

TEST(Discovery, MirrorWithAnEmptyArrayDoesNotDivideByZero) {
    auto e = Enclosure(0, sim::kModeMirror);
    e.controller.capacity = 0;
    e.drives[0].state = sim::kStateBusy;
    e.taskStatus = sim::kTaskRunning;
    EngineRig rig(WithEnclosures({e}));
    rig.StartUp();
    ASSERT_EQ(rig.state.devices.table.count, 1);
    EXPECT_EQ(rig.state.devices.records[0].arrayCapacity, 0u);
    EXPECT_EQ(rig.state.devices.records[0].progressPercent, 0);
}

TEST(Discovery, TooManyVolumesAreCutAtTwentyWithOneMessage) {
    std::vector<CatalogVolume> volumes(22);
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        volumes[i].mountPoint = "/mnt/v" + std::to_string(i);
        volumes[i].driveType = kDriveTypeFixed;
        volumes[i].extent = VolumeExtent{0, 1048576, 1 << 30};
    }
    EngineRig rig(sim::DefaultScenario(), volumes);
    rig.StartUp();
    EXPECT_EQ(rig.state.devices.volumes.size(), 20u);
    EXPECT_EQ(rig.state.devices.volumes[19].letter, 'V');
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, "Drive Count Must less than 20.");
}

TEST(Discovery, NoEnclosureIsProbedTwiceAndReportedOnTheStatusText) {
    sim::Scenario s;
    s.plainDisks.push_back({});
    EngineRig rig(s);
    rig.sim.SetRecording(true);
    rig.StartUp();
    EXPECT_EQ(rig.state.devices.table.count, 0);
    const auto commands = rig.sim.Commands(0);
    EXPECT_TRUE(commands.empty()) << "a plain disk decodes nothing";
    std::size_t probes = 0;
    for (const auto& read : rig.sim.Reads(0)) {
        probes += read.lba == 0x43 ? 1 : 0;  // each probe starts with the first preamble word
    }
    EXPECT_EQ(probes, 2u) << "a second probe when the first found nothing";
    EXPECT_EQ(rig.frontEnd.statusText, "No Drive found! ");
    EXPECT_FALSE(rig.engine.Timer2Enabled());
    EXPECT_EQ(rig.state.poll.PollRequest.load(), 0) << "no status poll is ever requested";
}

}  // namespace
}  // namespace raid
