#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace raid::sim {

// Which reply signature pair a stand-in controller signs with.
enum class SignatureKind { First, Second };

// Drive state codes as the controller reports them in its drive entries.
inline constexpr std::uint8_t kStatePresent = 0x00;
inline constexpr std::uint8_t kStateBusy = 0x01;
inline constexpr std::uint8_t kStateInserted = 0x06;
inline constexpr std::uint8_t kStateFailed = 0x09;
inline constexpr std::uint8_t kStateRebuildFailed = 0x12;
inline constexpr std::uint8_t kStateAbsent = 0xFF;

// Raw RAID mode byte of the drive-information reply.
inline constexpr std::uint8_t kModeJbod = 0;
inline constexpr std::uint8_t kModeStripe = 1;
inline constexpr std::uint8_t kModeMirror = 2;

// Array task status of the extended-status reply.
inline constexpr std::uint8_t kTaskNone = 0;
inline constexpr std::uint8_t kTaskRunning = 2;
inline constexpr std::uint8_t kTaskFailed = 3;

struct SmartAttribute {
    std::uint8_t id = 0;
    std::uint8_t value = 100;
    std::uint8_t worst = 100;
    std::uint8_t threshold = 0;
    std::uint64_t raw = 0;  // 48 bits
    bool operator==(const SmartAttribute&) const = default;
};

struct DriveConfig {
    std::uint8_t state = kStatePresent;
    std::string model;                  // plain text, at most 40 characters
    std::string serial;                 // plain text, at most 20 characters
    std::uint64_t capacity = 0;         // sectors, 48 bits
    std::uint16_t sectorWord = 0x6003;  // IDENTIFY word 106
    std::vector<SmartAttribute> smart;  // empty: a built-in healthy set
    bool operator==(const DriveConfig&) const = default;
};

// The schedule bytes 0x83-0x8A of the controller-information reply.
struct BackupConfig {
    std::uint8_t period = 0;  // steps of `unit` hours; 0 = off
    std::uint16_t count = 0;  // 10-second units until the next backup
    std::uint8_t weeks = 0;
    std::uint8_t unit = 24;  // hours per step, 5 bits
    std::array<std::uint8_t, 3> presets = {1, 7, 30};
    // How long one backup keeps HDD2 busy once the count has run down.
    std::uint32_t durationMs = 60'000;
    bool operator==(const BackupConfig&) const = default;
};

enum class BuzzerKind { On, Muted, None };

struct ControllerConfig {
    SignatureKind signature = SignatureKind::First;
    std::array<std::uint8_t, 8> firmware = {0x14, 0x04, 0x03, 0x10, 0x62, 0x18, 0x00, 0x00};
    std::optional<std::string> name;        // none: bytes 160-199 stay zero
    std::optional<std::uint64_t> capacity;  // bytes 200-205; none: derived from the drives
    std::string inquiryVendor = "RAIDSIM";
    std::string inquiryProduct = "Dual Bay Dock";
    std::string inquiryRevision = "0100";
    std::uint8_t temperature = 38;
    std::uint16_t fanRpm = 2400;
    BuzzerKind buzzer = BuzzerKind::On;
    bool environment = true;             // bytes 124 and 125 both zero
    std::optional<BackupConfig> backup;  // none: byte 0x86 marks the bytes invalid
    bool hybridConfig = false;           // answers the 0x78 query
    std::uint8_t hybridFeatures = 0;     // reply byte 83 of the query
    std::uint32_t flashSize = 512 * 1024;
    std::uint8_t flashType = 0x12;  // flash byte 149
    // A file that holds the flash: read at start when it has the flash's
    // size, written through on every erase and program, so that a test can
    // look at the flash of a process that has ended (or was killed).
    std::string flashFile;
    // Raw overrides of controller-information reply bytes, applied last.
    std::vector<std::pair<std::uint16_t, std::uint8_t>> infoBytes;
    bool operator==(const ControllerConfig&) const = default;
};

enum class FaultKind {
    NoReply,       // the reply appears only after `polls` polls, or never
    StatusByte,    // the reply carries `status` at byte 48
    SequenceRead,  // the read of the command byte fails
    ReplyRead,     // reads of the reply sector fail
    BadSignature,  // one signature of the pair is wrong
    FlipBit,       // a flash read answers with `bit` of the byte at `address` flipped
    Vanish,        // the enclosure disappears as the command arrives, unanswered
    WrongEcho,     // reply bytes 76-77 carry `echo` instead of the relayed command
};

struct FaultConfig {
    FaultKind kind = FaultKind::NoReply;
    std::optional<std::uint8_t> code;  // none: every command
    std::uint64_t fromMs = 0;
    std::optional<std::uint64_t> untilMs;  // exclusive
    std::optional<std::uint32_t> times;    // how many commands it hits; none: all
    std::optional<std::uint32_t> polls;    // NoReply: none = never
    std::uint8_t status = 0;               // StatusByte
    bool secondSignature = false;          // BadSignature: spoil the one at 496, else at 0
    // Narrows the fault to flash commands whose range (128 bytes read or
    // programmed, 4096 erased) covers this byte address.
    std::optional<std::uint32_t> address;
    std::uint8_t bit = 0;  // FlipBit
    // Narrowing to ATA relay frames (0xB1 / 0xB2): the relayed ATA command,
    // the bay (0 entry A, 1 entry B) and the quarter of a fetch (1-4).
    std::optional<std::uint8_t> ata;
    std::optional<std::uint8_t> bay;
    std::optional<std::uint8_t> part;
    std::array<std::uint8_t, 2> echo{};  // WrongEcho: bytes 76 and 77
    bool operator==(const FaultConfig&) const = default;
};

struct EnclosureConfig {
    std::uint8_t disk = 0;  // physical disk number 0-9
    bool present = true;
    ControllerConfig controller;
    std::uint8_t raidMode = kModeMirror;  // raw mode byte
    std::uint8_t taskStatus = kTaskNone;
    std::array<DriveConfig, 2> drives;  // entry A, entry B
    std::vector<FaultConfig> faults;
    bool operator==(const EnclosureConfig&) const = default;
};

// A disk that opens and reads but never answers the command channel.
struct PlainDiskConfig {
    std::uint8_t disk = 0;
    std::string vendor = "ATA";
    std::string product = "Plain Disk";
    bool operator==(const PlainDiskConfig&) const = default;
};

enum class EventKind {
    DriveState,   // `drive` takes `state` (and optionally a new identity)
    Rebuild,      // `drive` rebuilds from atMs to untilMs
    Enclosure,    // the enclosure disappears (`appear` false) or appears
    Schedule,     // the backup bytes change to `schedule`
    TaskStatus,   // the array task status becomes `taskStatus`
    Smart,        // `drive` reports `smart`: attributes replaced by ID, new ones appended
    Environment,  // the temperature and/or the fan speed change
};

struct TimelineEvent {
    std::uint64_t atMs = 0;
    std::uint8_t disk = 0;
    EventKind kind = EventKind::DriveState;
    std::uint8_t drive = 1;  // 1 = entry A, 2 = entry B
    std::uint8_t state = kStatePresent;
    std::optional<std::string> model;
    std::optional<std::string> serial;
    std::optional<std::uint64_t> capacity;
    std::uint64_t untilMs = 0;
    bool appear = false;
    BackupConfig schedule;
    std::uint8_t taskStatus = kTaskNone;
    std::vector<SmartAttribute> smart;
    std::optional<std::uint8_t> temperature;  // Environment
    std::optional<std::uint16_t> fanRpm;      // Environment
    bool operator==(const TimelineEvent&) const = default;
};

struct Scenario {
    std::string name;
    std::vector<EnclosureConfig> enclosures;
    std::vector<PlainDiskConfig> plainDisks;
    std::vector<TimelineEvent> timeline;  // kept in file order; applied by time
    bool operator==(const Scenario&) const = default;
};

struct LoadResult {
    bool ok = false;
    std::string error;
    Scenario scenario;
};

LoadResult ParseScenario(std::string_view json);
LoadResult LoadScenarioFile(const std::string& path);

// The scenario the demo runs when no file is given: a rebuilding mirror on
// disk 0 and a healthy stripe on disk 1, with a drive removal, a drive whose
// reallocated sectors grow and a disappearing enclosure later on.
Scenario DefaultScenario();

}  // namespace raid::sim
