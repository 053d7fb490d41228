#include "sim/scenario.h"

// The demo's machine. sim/scenarios/default.json carries the same scenario as
// a file to copy from; a test keeps the two in step.
namespace raid::sim {
namespace {

constexpr std::uint64_t k4TbSectors = 7814037168;
constexpr std::uint64_t k2TbSectors = 3907029168;

DriveConfig Drive(std::uint8_t state, const char* model, const char* serial,
                  std::uint64_t capacity) {
    DriveConfig drive;
    drive.state = state;
    drive.model = model;
    drive.serial = serial;
    drive.capacity = capacity;
    return drive;
}

EnclosureConfig RebuildingMirror() {
    EnclosureConfig e;
    e.disk = 0;
    e.raidMode = kModeMirror;
    e.taskStatus = kTaskRunning;
    ControllerConfig& c = e.controller;
    c.signature = SignatureKind::First;
    c.name = "Sim Mirror Dock";
    c.inquiryProduct = "Mirror Dock";
    c.temperature = 38;
    c.fanRpm = 2400;
    c.buzzer = BuzzerKind::On;
    c.environment = true;
    c.backup = BackupConfig{1, 8640, 0, 24, {1, 7, 30}};
    c.hybridConfig = true;
    e.drives = {Drive(kStateBusy, "SIMDISK HD4000-A", "SIMA0000001", k4TbSectors),
                Drive(kStatePresent, "SIMDISK HD4000-A", "SIMA0000002", k4TbSectors)};
    return e;
}

EnclosureConfig NormalStripe() {
    EnclosureConfig e;
    e.disk = 1;
    e.raidMode = kModeStripe;
    ControllerConfig& c = e.controller;
    c.signature = SignatureKind::Second;
    c.inquiryProduct = "Stripe Dock";
    c.temperature = 41;
    c.fanRpm = 0;
    c.buzzer = BuzzerKind::Muted;
    c.environment = false;
    e.drives = {Drive(kStatePresent, "SIMDISK HD2000-B", "SIMB0000001", k2TbSectors),
                Drive(kStatePresent, "SIMDISK HD2000-B", "SIMB0000002", k2TbSectors)};
    e.drives[1].sectorWord = 0x4000;
    return e;
}

}  // namespace

Scenario DefaultScenario() {
    Scenario s;
    s.name = "default";
    s.enclosures = {RebuildingMirror(), NormalStripe()};

    TimelineEvent rebuild;
    rebuild.atMs = 0;
    rebuild.disk = 0;
    rebuild.kind = EventKind::Rebuild;
    rebuild.drive = 1;
    rebuild.untilMs = 120'000;

    TimelineEvent removal;
    removal.atMs = 150'000;
    removal.disk = 0;
    removal.kind = EventKind::DriveState;
    removal.drive = 2;
    removal.state = kStateAbsent;

    TimelineEvent gone;
    gone.atMs = 200'000;
    gone.disk = 1;
    gone.kind = EventKind::Enclosure;
    gone.appear = false;

    // The rebuilt drive starts to reallocate sectors: an alert, then pending
    // sectors (a warning), then worn below its threshold (an error).
    auto worsens = [](std::uint64_t atMs, std::vector<SmartAttribute> attributes) {
        TimelineEvent event;
        event.atMs = atMs;
        event.disk = 0;
        event.kind = EventKind::Smart;
        event.drive = 1;
        event.smart = std::move(attributes);
        return event;
    };
    const TimelineEvent alert = worsens(70'000, {{5, 200, 200, 140, 8}});
    const TimelineEvent warning = worsens(130'000, {{5, 198, 198, 140, 40}, {197, 200, 200, 0, 2}});
    const TimelineEvent error = worsens(250'000, {{5, 120, 120, 140, 96}});

    s.timeline = {rebuild, alert, warning, removal, gone, error};
    return s;
}

}  // namespace raid::sim
