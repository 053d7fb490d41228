#include "cli/status_command.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "app/app_state.h"
#include "app/engine.h"
#include "cli/console.h"
#include "cli/one_shot.h"
#include "maintenance/smart_watch.h"
#include "monitor/alert_watch.h"
#include "monitor/status_summary.h"
#include "monitor/status_text.h"
#include "notify/hook/hook_command.h"
#include "notify/settings/host_settings_store.h"
#include "notify/settings/notification_setup.h"
#include "notify/settings/settings_folder.h"

namespace raid::cli {
namespace {

struct DriveView {
    const char* bay;
    std::uint8_t state;
    std::uint8_t classBits;
    std::span<const std::uint8_t> model;
    std::span<const std::uint8_t> serial;
    std::uint64_t capacity;
};

std::array<DriveView, 2> Drives(const RaidStatus& r) {
    return {DriveView{"HDD1", r.hdd1State, static_cast<std::uint8_t>(r.driveClass & 0x0F),
                      r.hdd1Model, r.hdd1Serial, r.hdd1Capacity},
            DriveView{"HDD2", r.hdd2State, static_cast<std::uint8_t>(r.driveClass >> 4),
                      r.hdd2Model, r.hdd2Serial, r.hdd2Capacity}};
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string SerialOfDisk(const DeviceState& dev, std::uint8_t disk) {
    const auto it = dev.diskSerials.find(disk);
    return it == dev.diskSerials.end() ? std::string() : it->second;
}

// What the alerts make of this one look: heat and fan against the stored
// limit, each drive's SMART word and watched counts.
nlohmann::json AlertsJson(const AppState& state, std::size_t slot) {
    nlohmann::json drives = nlohmann::json::array();
    if (slot >= state.alerts.slots.size()) {
        return nlohmann::json::object();
    }
    const SlotAlert& a = state.alerts.slots[slot];
    for (std::size_t d = 0; d < a.drives.size(); ++d) {
        nlohmann::json counts = nlohmann::json::object();
        for (std::size_t k = 0; k < kWatchedAttributes.size(); ++k) {
            if (a.drives[d].counts[k]) {
                counts[std::to_string(kWatchedAttributes[k])] = *a.drives[d].counts[k];
            }
        }
        drives.push_back({{"bay", d == 0 ? "HDD1" : "HDD2"},
                          {"smart", SmartWordText(a.drives[d].word)},
                          {"counts", counts}});
    }
    nlohmann::json alerts = {{"heatLimit", state.alerts.heatLimit}, {"drives", drives}};
    if (ReportsEnvironment(state.devices.records[state.devices.table.Disk(slot)])) {
        alerts["overHeat"] = a.overHeat;
        alerts["fanFailed"] = a.fanFailed;
    }
    return alerts;
}

nlohmann::json EnclosureJson(const AppState& state, std::size_t slot) {
    const DeviceState& dev = state.devices;
    const std::uint8_t disk = dev.table.Disk(slot);
    const RaidStatus& r = dev.records[disk];
    const ControllerBlock& block = dev.blocks[disk];
    nlohmann::json drives = nlohmann::json::array();
    for (const DriveView& d : Drives(r)) {
        drives.push_back({{"bay", d.bay},
                          {"state", d.state},
                          {"class", DriveClassName(d.classBits)},
                          {"model", ModelText(d.model)},
                          {"serial", SerialText(d.serial)},
                          {"capacitySectors", d.capacity},
                          {"size", SizeText(d.capacity)}});
    }
    nlohmann::json e = {
        {"device", "Device" + std::to_string(slot + 1)},
        {"disk", disk},
        {"name", BlockNameText(block)},
        {"firmware", BlockFirmwareText(block)},
        {"diskSerial", SerialOfDisk(dev, disk)},
        {"chipVariant", dev.devices[slot].chipVariant},
        {"features", dev.slots[slot].features},
        {"mode", ModeName(r.raidMode)},
        {"raidMode", r.raidMode},
        {"capacitySectors", r.arrayCapacity},
        {"capacity", SizeText(r.arrayCapacity)},
        {"state", ArrayStateText(r)},
        {"driveClass", r.driveClass},
        {"taskMask", r.taskMask},
        {"raidTaskStatus", r.raidTaskStatus},
        {"progressPercent", r.progressPercent},
        {"envStatus", r.envStatus},
        {"controlFlags", r.controlFlags},
        {"backupInfo", r.backupInfo},
        {"drives", drives},
        {"alerts", AlertsJson(state, slot)},
    };
    if (ReportsEnvironment(r)) {
        e["fanRpm"] = r.fanRpm;
        e["temperature"] = r.temperature;
    }
    return e;
}

void PrintEnclosure(const AppState& state, std::size_t slot) {
    const DeviceState& dev = state.devices;
    const std::uint8_t disk = dev.table.Disk(slot);
    const RaidStatus& r = dev.records[disk];
    const ControllerBlock& block = dev.blocks[disk];
    std::printf("Device%zu (disk %u): %s\n", slot + 1, disk, BlockNameText(block).c_str());
    std::printf("  Firmware Version: %s (%s)\n", BlockFirmwareText(block).c_str(),
                SerialOfDisk(dev, disk).c_str());
    std::printf("  Mode: %s\n  System Capacity: %s\n", ModeName(r.raidMode).c_str(),
                SizeText(r.arrayCapacity).c_str());
    for (const DriveView& d : Drives(r)) {
        std::printf("  %s: %-8s [%s] %-10s %s\n", d.bay, DriveClassName(d.classBits),
                    Hex2(d.state).c_str(), SizeText(d.capacity).c_str(),
                    ModelText(d.model).c_str());
    }
    std::printf("  State: %s\n", OneLine(ArrayStateText(r)).c_str());
    if (ReportsEnvironment(r)) {
        std::printf("  Fan: %u RPM  Temperature: %u\n", r.fanRpm, r.temperature);
    }
}

// What `raidcli monitor` would say at start about notifications, from the
// same settings.
std::string SavedSettingsNoNotification() {
    const SettingsPlace place = HostSettingsPlace();
    if (!place.Known()) {
        return std::string("No notification is set up (") + kNoSettingsFolder + ").";
    }
    HostSettingsStore host = OpenHostSettingsStore(place);
    if (!host.problem.empty()) {
        std::fprintf(stderr, "%s\n", host.problem.c_str());
    }
    return NoNotificationText(*host.store, host.location);
}

// One look as the monitor's alerts take it, without logging or telling anyone.
void WatchOnce(AppState& state, Engine& engine, Clock& clock) {
    const HostSettingsStore host = OpenHostSettingsStore(HostSettingsPlace());
    state.alerts.heatLimit = ReadHeatLimit(*host.store);
    const std::size_t count = std::min<std::size_t>(state.devices.table.count, kMaxSlots);
    for (std::size_t slot = 0; slot < count; ++slot) {
        const RaidStatus& r = state.devices.records[state.devices.table.Disk(slot)];
        WatchEnvironment(state.alerts.slots[slot], slot + 1, r, state.alerts.heatLimit, {});
    }
    for (const std::uint8_t feature : {kSmartReadThresholds, kSmartReadData}) {
        const SmartPassReport report = engine.smartReader().ReadSmartPass(feature);
        WatchSmartPass(state.alerts, state.smart, state.devices, feature, report,
                       clock.WallSeconds(), {});
    }
}

}  // namespace

int RunStatus(Platform& platform, Clock& clock, bool json) {
    AppState state;
    ConsoleDialogs dialogs;
    ConsoleStatus status;
    RecordingMailSink mail(clock);
    FrontEnd frontEnd;
    const std::unique_ptr<Engine> owned =
        MakeOneShotEngine(state, platform, clock, {dialogs, status, mail, frontEnd});
    Engine& engine = *owned;
    const int found = engine.DiscoverAndPollOnce();
    const std::size_t shown = std::min<std::size_t>(static_cast<std::size_t>(found), kMaxDevices);

    const std::string noNotification = SavedSettingsNoNotification();
    if (json) {
        WatchOnce(state, engine, clock);
        nlohmann::json doc = {{"enclosures", nlohmann::json::array()}};
        for (std::size_t slot = 0; slot < shown; ++slot) {
            if (state.devices.table.InUse(slot)) {
                doc["enclosures"].push_back({{"device", "Device" + std::to_string(slot + 1)},
                                             {"disk", state.devices.table.Disk(slot)},
                                             {"inUse", true}});
                continue;
            }
            doc["enclosures"].push_back(EnclosureJson(state, slot));
        }
        doc["notification"] = {{"setUp", noNotification.empty()}, {"problem", noNotification}};
        std::printf("%s\n",
                    doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
        for (std::size_t slot = 0; slot < shown; ++slot) {
            if (state.devices.table.InUse(slot)) {
                std::printf("Device%zu (disk %u): in use by another program\n", slot + 1,
                            state.devices.table.Disk(slot));
                continue;
            }
            PrintEnclosure(state, slot);
        }
        if (!noNotification.empty()) {
            std::printf("%s\n", noNotification.c_str());
        }
    }
    if (found > 0) {
        return 0;
    }
    ReportNoEnclosure(*platform.transport);
    return 1;
}

}  // namespace raid::cli
