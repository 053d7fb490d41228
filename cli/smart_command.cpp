#include "cli/smart_command.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "app/app_state.h"
#include "app/engine.h"
#include "cli/console.h"
#include "cli/one_shot.h"
#include "maintenance/smart_attributes.h"
#include "maintenance/smart_table.h"
#include "monitor/status_text.h"

namespace raid::cli {
namespace {

struct DriveReport {
    const char* bay;
    std::string model;
    bool present = false;
    bool read = false;
    std::uint32_t sectorWord = 0;
    SmartTable table;
};

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

DriveReport Report(const AppState& state, std::size_t slot, std::size_t drive,
                   const SmartPassReport& thresholds, const SmartPassReport& data) {
    const RaidStatus& r = state.devices.records[state.devices.table.Disk(slot)];
    const SmartStore& store = state.smart;
    DriveReport d;
    d.bay = drive == 0 ? "HDD1" : "HDD2";
    d.model = ModelText(drive == 0 ? std::span<const std::uint8_t>(r.hdd1Model)
                                   : std::span<const std::uint8_t>(r.hdd2Model));
    const SmartDriveOutcome t = thresholds.drives[slot][drive];
    const SmartDriveOutcome v = data.drives[slot][drive];
    d.present = v != SmartDriveOutcome::Absent;
    d.read = t == SmartDriveOutcome::Read && v == SmartDriveOutcome::Read;
    d.sectorWord = store.sectorWord[slot][drive];
    d.table = BuildSmartTable(store.data[slot][drive], store.thresholds[slot][drive], d.sectorWord);
    return d;
}

nlohmann::json DriveJson(const DriveReport& d) {
    nlohmann::json attributes = nlohmann::json::array();
    for (const SmartRow& row : d.table.rows) {
        const char* name = SmartAttributeNameOf(row.id);
        attributes.push_back({{"slot", row.slot},
                              {"id", row.id},
                              {"name", name != nullptr ? name : "UnKnown"},
                              {"value", row.value},
                              {"worst", row.worst},
                              {"threshold", row.threshold},
                              {"raw", row.raw},
                              {"status", row.cells[5]},
                              {"code", row.code}});
    }
    nlohmann::json j = {{"bay", d.bay}, {"present", d.present}, {"read", d.read}};
    if (!d.present) {
        return j;
    }
    j["model"] = d.model;
    j["sectorWord"] = d.sectorWord;
    j["fourKSector"] = FourKAnswer(d.sectorWord);
    j["overall"] = Trimmed(d.table.overallText);
    j["overallCode"] = d.table.overall;
    j["attributes"] = attributes;
    return j;
}

void PrintDrive(const DriveReport& d) {
    if (!d.present) {
        std::printf("  %s: absent\n", d.bay);
        return;
    }
    std::printf("  SMART - %s : %s%s\n", d.bay, d.model.c_str(), d.read ? "" : " (not read)");
    if (d.table.rows.empty()) {
        std::printf("    no attributes\n");
        return;
    }
    std::printf("    %-36s %5s %5s %9s %-12s %s\n", "ID", "Value", "Worst", "Threshold", "RAW",
                "Status");
    for (const SmartRow& row : d.table.rows) {
        std::printf("    %-36s %5s %5s %9s %-12s %s\n", row.cells[0].c_str(), row.cells[1].c_str(),
                    row.cells[2].c_str(), row.cells[3].c_str(), row.cells[4].c_str(),
                    row.cells[5].c_str());
    }
    std::printf("    Overall: %s\n", Trimmed(d.table.overallText).c_str());
    std::printf("    %s (%s)\n", Trimmed(d.table.fourK.text).c_str(), d.table.fourK.hint.c_str());
}

}  // namespace

int RunSmart(Platform& platform, Clock& clock, bool json, int device) {
    AppState state;
    ConsoleDialogs dialogs;
    ConsoleStatus status;
    RecordingMailSink mail(clock);
    FrontEnd frontEnd;
    const std::unique_ptr<Engine> owned =
        MakeOneShotEngine(state, platform, clock, {dialogs, status, mail, frontEnd});
    Engine& engine = *owned;
    const int found = engine.DiscoverAndPollOnce();
    if (found <= 0) {
        ReportNoEnclosure(*platform.transport);
        return 1;
    }
    if (device > found) {
        std::fprintf(stderr, "Device%d not found\n", device);
        return 1;
    }
    if (device != 0 && ReportIfInUse(state.devices, static_cast<std::size_t>(device - 1))) {
        return 1;
    }
    const SmartPassReport thresholds = engine.smartReader().ReadSmartPass(kSmartReadThresholds);
    const SmartPassReport data = engine.smartReader().ReadSmartPass(kSmartReadData);

    const std::size_t shown = std::min<std::size_t>(static_cast<std::size_t>(found), kSmartDevices);
    bool allRead = true;
    nlohmann::json doc = {{"enclosures", nlohmann::json::array()}};
    for (std::size_t slot = 0; slot < shown; ++slot) {
        if (device != 0 && slot + 1 != static_cast<std::size_t>(device)) {
            continue;
        }
        if (ReportIfInUse(state.devices, slot)) {
            allRead = false;
            continue;
        }
        const std::uint8_t disk = state.devices.table.Disk(slot);
        const std::string name = BlockNameText(state.devices.blocks[disk]);
        nlohmann::json drives = nlohmann::json::array();
        if (!json) {
            std::printf("Device%zu (disk %u): %s\n", slot + 1, disk, name.c_str());
        }
        for (std::size_t drive = 0; drive < kSmartDrives; ++drive) {
            const DriveReport d = Report(state, slot, drive, thresholds, data);
            allRead = allRead && (!d.present || d.read);
            if (json) {
                drives.push_back(DriveJson(d));
            } else {
                PrintDrive(d);
            }
        }
        doc["enclosures"].push_back({{"device", "Device" + std::to_string(slot + 1)},
                                     {"disk", disk},
                                     {"name", name},
                                     {"drives", drives}});
    }
    if (json) {
        std::printf("%s\n",
                    doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    }
    if (!allRead) {
        std::fprintf(stderr, "Some drives could not be read\n");
    }
    return allRead ? 0 : 1;
}

}  // namespace raid::cli
