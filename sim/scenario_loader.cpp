#include <algorithm>
#include <exception>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "sim/scenario.h"

// Scenario files: JSON read into plain structs. Every mistake in a file is
// reported as the path of the offending value and what was expected there;
// nothing here throws out of the loader.
namespace raid::sim {
namespace {

using Json = nlohmann::json;

constexpr std::uint64_t kMax48 = (std::uint64_t{1} << 48) - 1;
constexpr std::uint8_t kHighestDisk = 9;
constexpr std::uint32_t kFlashSector = 4096;
constexpr std::uint32_t kMaxFlash = 0x800000;  // what 16-bit page numbers can reach

// "0x" followed by 1 to 16 hexadecimal digits.
bool ParseHex(const std::string& text, std::uint64_t& out) {
    if (text.size() < 3 || text.size() > 18 || text[0] != '0' ||
        (text[1] != 'x' && text[1] != 'X')) {
        return false;
    }
    out = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        out = (out << 4) | static_cast<std::uint64_t>(digit);
    }
    return true;
}

// A reply offset written as a JSON key: decimal or "0x...".
bool ParseOffsetKey(const std::string& key, std::uint64_t& out) {
    if (ParseHex(key, out)) {
        return true;
    }
    if (key.empty() || key.size() > 3 || key.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    out = std::stoul(key);
    return true;
}

class Reader {
  public:
    bool Fail(const std::string& path, const std::string& what) {
        if (error_.empty()) {
            error_ = path + ": " + what;
        }
        return false;
    }
    const std::string& error() const { return error_; }

    bool Object(const Json& node, const std::string& path,
                std::initializer_list<const char*> allowed) {
        if (!node.is_object()) {
            return Fail(path, "expected an object");
        }
        for (const auto& item : node.items()) {
            bool known = false;
            for (const char* key : allowed) {
                known = known || item.key() == key;
            }
            if (!known) {
                return Fail(path, "unknown key \"" + item.key() + "\"");
            }
        }
        return true;
    }

    // An unsigned number, or a string "0x..." in hexadecimal, up to `max`.
    bool Unsigned(const Json& node, const std::string& path, std::uint64_t max,
                  std::uint64_t& out) {
        bool read = false;
        if (node.is_number_unsigned()) {
            out = node.get<std::uint64_t>();
            read = true;
        } else if (node.is_string()) {
            read = ParseHex(node.get_ref<const std::string&>(), out);
        }
        if (!read) {
            return Fail(path, "expected an unsigned number (or \"0x...\")");
        }
        if (out > max) {
            return Fail(path, "must be at most " + std::to_string(max));
        }
        return true;
    }

    template <typename T>
    bool Number(const Json& object, const char* key, const std::string& path, T& out,
                std::uint64_t max = std::numeric_limits<T>::max()) {
        if (!object.contains(key)) {
            return true;  // keep the default
        }
        std::uint64_t value = 0;
        if (!Unsigned(object.at(key), path + "." + key, max, value)) {
            return false;
        }
        out = static_cast<T>(value);
        return true;
    }

    template <typename T>
    bool Required(const Json& object, const char* key, const std::string& path, T& out,
                  std::uint64_t max = std::numeric_limits<T>::max()) {
        if (!object.contains(key)) {
            return Fail(path, std::string("missing \"") + key + "\"");
        }
        return Number(object, key, path, out, max);
    }

    bool Text(const Json& object, const char* key, const std::string& path, std::size_t maxLength,
              std::string& out) {
        if (!object.contains(key)) {
            return true;
        }
        const Json& node = object.at(key);
        if (!node.is_string()) {
            return Fail(path + "." + key, "expected a string");
        }
        const auto& text = node.get_ref<const std::string&>();
        if (text.size() > maxLength) {
            return Fail(path + "." + key,
                        "longer than " + std::to_string(maxLength) + " characters");
        }
        for (char c : text) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
                return Fail(path + "." + key, "only printable ASCII is allowed");
            }
        }
        out = text;
        return true;
    }

    // A file name: any non-empty string.
    bool Path(const Json& object, const char* key, const std::string& path, std::string& out) {
        if (!object.contains(key)) {
            return true;
        }
        const Json& node = object.at(key);
        if (!node.is_string() || node.get_ref<const std::string&>().empty()) {
            return Fail(path + "." + key, "expected a file name");
        }
        out = node.get<std::string>();
        return true;
    }

    bool Flag(const Json& object, const char* key, const std::string& path, bool& out) {
        if (!object.contains(key)) {
            return true;
        }
        if (!object.at(key).is_boolean()) {
            return Fail(path + "." + key, "expected true or false");
        }
        out = object.at(key).get<bool>();
        return true;
    }

    // One of `names` (stored as its index) given as a string.
    bool Choice(const Json& object, const char* key, const std::string& path,
                std::initializer_list<const char*> names, std::size_t& out) {
        if (!object.contains(key)) {
            return true;
        }
        const Json& node = object.at(key);
        std::string expected;
        std::size_t index = 0;
        for (const char* name : names) {
            if (node.is_string() && node.get_ref<const std::string&>() == name) {
                out = index;
                return true;
            }
            expected += std::string(expected.empty() ? "" : ", ") + "\"" + name + "\"";
            ++index;
        }
        return Fail(path + "." + key, "expected one of " + expected);
    }

    bool Array(const Json& object, const char* key, const std::string& path, const Json*& out) {
        out = nullptr;
        if (!object.contains(key)) {
            return true;
        }
        if (!object.at(key).is_array()) {
            return Fail(path + "." + key, "expected an array");
        }
        out = &object.at(key);
        return true;
    }

  private:
    std::string error_;
};

std::string At(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// A drive state by name or code.
bool ReadState(Reader& r, const Json& object, const std::string& path, std::uint8_t& out) {
    if (!object.contains("state")) {
        return true;
    }
    const Json& node = object.at("state");
    static constexpr std::pair<const char*, std::uint8_t> kNames[] = {
        {"present", kStatePresent},
        {"busy", kStateBusy},
        {"inserted", kStateInserted},
        {"failed", kStateFailed},
        {"rebuild_failed", kStateRebuildFailed},
        {"absent", kStateAbsent},
    };
    if (node.is_string()) {
        for (const auto& [name, code] : kNames) {
            if (node.get_ref<const std::string&>() == name) {
                out = code;
                return true;
            }
        }
        if (node.get_ref<const std::string&>().rfind("0x", 0) != 0) {
            return r.Fail(path + ".state",
                          "expected present, busy, inserted, failed, rebuild_failed, absent "
                          "or a code");
        }
    }
    return r.Number(object, "state", path, out);
}

bool ReadSmart(Reader& r, const Json& list, const std::string& path,
               std::vector<SmartAttribute>& out) {
    if (list.size() > 30) {
        return r.Fail(path, "a SMART sector holds at most 30 attributes");
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Json& item = list[i];
        const std::string p = At(path, i);
        SmartAttribute a;
        if (!r.Object(item, p, {"id", "value", "worst", "threshold", "raw"}) ||
            !r.Required(item, "id", p, a.id) || !r.Number(item, "value", p, a.value) ||
            !r.Number(item, "worst", p, a.worst) || !r.Number(item, "threshold", p, a.threshold) ||
            !r.Number(item, "raw", p, a.raw, kMax48)) {
            return false;
        }
        if (a.id == 0) {
            return r.Fail(p + ".id", "0 marks an empty slot");
        }
        out.push_back(a);
    }
    return true;
}

bool ReadDrive(Reader& r, const Json& node, const std::string& path, DriveConfig& out) {
    const Json* smart = nullptr;
    return r.Object(node, path, {"state", "model", "serial", "capacity", "sector_word", "smart"}) &&
           ReadState(r, node, path, out.state) && r.Text(node, "model", path, 40, out.model) &&
           r.Text(node, "serial", path, 20, out.serial) &&
           r.Number(node, "capacity", path, out.capacity, kMax48) &&
           r.Number(node, "sector_word", path, out.sectorWord) &&
           r.Array(node, "smart", path, smart) &&
           (smart == nullptr || ReadSmart(r, *smart, path + ".smart", out.smart));
}

bool ReadBackup(Reader& r, const Json& node, const std::string& path, BackupConfig& out) {
    const Json* presets = nullptr;
    if (!r.Object(node, path, {"period", "count", "weeks", "unit", "presets", "duration_ms"}) ||
        !r.Number(node, "period", path, out.period) || !r.Number(node, "count", path, out.count) ||
        !r.Number(node, "weeks", path, out.weeks) || !r.Number(node, "unit", path, out.unit, 31) ||
        !r.Number(node, "duration_ms", path, out.durationMs) ||
        !r.Array(node, "presets", path, presets)) {
        return false;
    }
    if (out.unit == 0) {
        return r.Fail(path + ".unit", "must be 1 to 31 hours");
    }
    if (presets != nullptr) {
        if (presets->size() != 3) {
            return r.Fail(path + ".presets", "expected three periods");
        }
        for (std::size_t i = 0; i < 3; ++i) {
            std::uint64_t value = 0;
            if (!r.Unsigned((*presets)[i], At(path + ".presets", i), 0xFF, value)) {
                return false;
            }
            out.presets[i] = static_cast<std::uint8_t>(value);
        }
    }
    return true;
}

bool ReadInfoBytes(Reader& r, const Json& node, const std::string& path,
                   std::vector<std::pair<std::uint16_t, std::uint8_t>>& out) {
    if (!node.is_object()) {
        return r.Fail(path, "expected an object of offset: byte");
    }
    for (const auto& item : node.items()) {
        std::uint64_t offset = 0;
        std::uint64_t value = 0;
        const std::string p = path + "." + item.key();
        if (!ParseOffsetKey(item.key(), offset) || offset > 511) {
            return r.Fail(p, "the key must be a reply offset 0-511");
        }
        if (!r.Unsigned(item.value(), p, 0xFF, value)) {
            return false;
        }
        out.emplace_back(static_cast<std::uint16_t>(offset), static_cast<std::uint8_t>(value));
    }
    std::sort(out.begin(), out.end());
    return true;
}

bool ReadController(Reader& r, const Json& node, const std::string& path, ControllerConfig& out) {
    if (!r.Object(node, path,
                  {"signature", "firmware", "name", "capacity", "inquiry", "temperature", "fan_rpm",
                   "buzzer", "environment", "backup", "hybrid_config", "hybrid_features",
                   "flash_size", "flash_type", "flash_file", "info_bytes"})) {
        return false;
    }
    std::size_t signature = 0;
    std::size_t buzzer = 0;
    if (!r.Choice(node, "signature", path, {"first", "second"}, signature) ||
        !r.Choice(node, "buzzer", path, {"on", "muted", "none"}, buzzer)) {
        return false;
    }
    out.signature = signature == 0 ? SignatureKind::First : SignatureKind::Second;
    if (node.contains("buzzer")) {
        out.buzzer = static_cast<BuzzerKind>(buzzer);
    }
    const Json* firmware = nullptr;
    if (!r.Array(node, "firmware", path, firmware)) {
        return false;
    }
    if (firmware != nullptr) {
        if (firmware->size() != out.firmware.size()) {
            return r.Fail(path + ".firmware", "expected 8 bytes");
        }
        for (std::size_t i = 0; i < out.firmware.size(); ++i) {
            std::uint64_t value = 0;
            if (!r.Unsigned((*firmware)[i], At(path + ".firmware", i), 0xFF, value)) {
                return false;
            }
            out.firmware[i] = static_cast<std::uint8_t>(value);
        }
    }
    if (node.contains("name") && !node.at("name").is_null()) {
        std::string name;
        if (!r.Text(node, "name", path, 40, name)) {
            return false;
        }
        if (name.empty()) {
            return r.Fail(path + ".name", "use null for a controller without a name");
        }
        out.name = name;
    }
    if (node.contains("capacity")) {
        std::uint64_t capacity = 0;
        if (!r.Number(node, "capacity", path, capacity, kMax48)) {
            return false;
        }
        out.capacity = capacity;
    }
    if (node.contains("inquiry")) {
        const Json& inquiry = node.at("inquiry");
        const std::string p = path + ".inquiry";
        if (!r.Object(inquiry, p, {"vendor", "product", "revision"}) ||
            !r.Text(inquiry, "vendor", p, 8, out.inquiryVendor) ||
            !r.Text(inquiry, "product", p, 16, out.inquiryProduct) ||
            !r.Text(inquiry, "revision", p, 4, out.inquiryRevision)) {
            return false;
        }
    }
    if (node.contains("backup")) {
        BackupConfig backup;
        if (!ReadBackup(r, node.at("backup"), path + ".backup", backup)) {
            return false;
        }
        out.backup = backup;
    }
    if (!r.Number(node, "temperature", path, out.temperature) ||
        !r.Number(node, "fan_rpm", path, out.fanRpm) ||
        !r.Flag(node, "environment", path, out.environment) ||
        !r.Flag(node, "hybrid_config", path, out.hybridConfig) ||
        !r.Number(node, "hybrid_features", path, out.hybridFeatures) ||
        !r.Number(node, "flash_size", path, out.flashSize, kMaxFlash) ||
        !r.Number(node, "flash_type", path, out.flashType) ||
        !r.Path(node, "flash_file", path, out.flashFile)) {
        return false;
    }
    if (out.flashSize < kFlashSector || out.flashSize % kFlashSector != 0) {
        return r.Fail(path + ".flash_size", "must be a whole number of 4096-byte sectors");
    }
    return !node.contains("info_bytes") ||
           ReadInfoBytes(r, node.at("info_bytes"), path + ".info_bytes", out.infoBytes);
}

// "ata", "drive" (1 entry A, 2 entry B) and "part" narrow a fault to ATA
// relay frames.
bool ReadRelayNarrowing(Reader& r, const Json& node, const std::string& path, FaultConfig& out) {
    std::uint8_t ata = 0;
    std::uint8_t drive = 0;
    std::uint8_t part = 0;
    if (!r.Number(node, "ata", path, ata) || !r.Number(node, "drive", path, drive, 2) ||
        !r.Number(node, "part", path, part, 4)) {
        return false;
    }
    const bool narrowed = node.contains("ata") || node.contains("drive") || node.contains("part");
    if (narrowed && out.kind == FaultKind::SequenceRead) {
        return r.Fail(path, "a sequence read fails before the relay arguments arrive");
    }
    if (node.contains("drive")) {
        if (drive == 0) {
            return r.Fail(path + ".drive", "1 (HDD1 entry) or 2 (HDD2 entry)");
        }
        out.bay = static_cast<std::uint8_t>(drive - 1);
    }
    if (node.contains("part")) {
        if (part == 0) {
            return r.Fail(path + ".part", "a quarter 1 to 4");
        }
        out.part = part;
    }
    if (node.contains("ata")) {
        out.ata = ata;
    }
    return true;
}

bool ReadEcho(Reader& r, const Json& node, const std::string& path, FaultConfig& out) {
    const Json* echo = nullptr;
    if (!r.Array(node, "echo", path, echo)) {
        return false;
    }
    if (out.kind != FaultKind::WrongEcho) {
        return echo == nullptr || r.Fail(path + ".echo", "only a wrong_echo fault carries one");
    }
    if (echo == nullptr || echo->size() != 2) {
        return r.Fail(path + ".echo", "a wrong_echo fault needs the two bytes 76 and 77");
    }
    for (std::size_t i = 0; i < 2; ++i) {
        std::uint64_t value = 0;
        if (!r.Unsigned((*echo)[i], At(path + ".echo", i), 0xFF, value)) {
            return false;
        }
        out.echo[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

bool ReadFault(Reader& r, const Json& node, const std::string& path, FaultConfig& out) {
    if (!r.Object(node, path,
                  {"kind", "code", "from_ms", "until_ms", "times", "polls", "status", "spoil",
                   "address", "bit", "ata", "drive", "part", "echo"})) {
        return false;
    }
    std::size_t kind = 0;
    if (!node.contains("kind")) {
        return r.Fail(path, "missing \"kind\"");
    }
    if (!r.Choice(node, "kind", path,
                  {"no_reply", "status", "sequence_read_fails", "reply_read_fails", "bad_signature",
                   "flip_bit", "vanish", "wrong_echo"},
                  kind)) {
        return false;
    }
    out.kind = static_cast<FaultKind>(kind);
    std::uint8_t code = 0;
    std::uint64_t until = 0;
    std::uint32_t times = 0;
    std::uint32_t polls = 0;
    if (!r.Number(node, "code", path, code) || !r.Number(node, "from_ms", path, out.fromMs) ||
        !r.Number(node, "until_ms", path, until) || !r.Number(node, "times", path, times) ||
        !r.Number(node, "polls", path, polls)) {
        return false;
    }
    if (node.contains("code")) {
        out.code = code;
    }
    if (node.contains("until_ms")) {
        if (until <= out.fromMs) {
            return r.Fail(path + ".until_ms", "must be later than from_ms");
        }
        out.untilMs = until;
    }
    if (node.contains("times")) {
        out.times = times;
    }
    if (node.contains("polls")) {
        if (out.kind != FaultKind::NoReply) {
            return r.Fail(path + ".polls", "only a no_reply fault waits for polls");
        }
        out.polls = polls;
    }
    if (out.kind == FaultKind::StatusByte &&
        (!node.contains("status") || !r.Number(node, "status", path, out.status))) {
        return r.Fail(path + ".status", "a status fault needs the status byte");
    }
    if (out.kind != FaultKind::StatusByte && node.contains("status")) {
        return r.Fail(path + ".status", "only a status fault carries a status byte");
    }
    std::size_t spoil = 0;
    if (node.contains("spoil") && out.kind != FaultKind::BadSignature) {
        return r.Fail(path + ".spoil", "only a bad_signature fault spoils a signature");
    }
    if (!r.Choice(node, "spoil", path, {"first", "second"}, spoil)) {
        return false;
    }
    out.secondSignature = spoil == 1;
    std::uint32_t address = 0;
    if (!r.Number(node, "address", path, address, kMaxFlash - 1) ||
        !r.Number(node, "bit", path, out.bit, std::uint8_t{7})) {
        return false;
    }
    if (node.contains("address")) {
        if (out.kind == FaultKind::SequenceRead) {
            return r.Fail(path + ".address", "a sequence read fails before the address is known");
        }
        out.address = address;
    }
    if (out.kind == FaultKind::FlipBit && !out.address) {
        return r.Fail(path + ".address", "a flip_bit fault needs the flash address");
    }
    if (node.contains("bit") && out.kind != FaultKind::FlipBit) {
        return r.Fail(path + ".bit", "only a flip_bit fault flips a bit");
    }
    return ReadRelayNarrowing(r, node, path, out) && ReadEcho(r, node, path, out);
}

bool ReadEnclosure(Reader& r, const Json& node, const std::string& path, EnclosureConfig& out) {
    if (!r.Object(
            node, path,
            {"disk", "present", "raid_mode", "task_status", "controller", "drives", "faults"}) ||
        !r.Required(node, "disk", path, out.disk, kHighestDisk) ||
        !r.Flag(node, "present", path, out.present) ||
        !r.Number(node, "raid_mode", path, out.raidMode) ||
        !r.Number(node, "task_status", path, out.taskStatus)) {
        return false;
    }
    if (node.contains("controller") &&
        !ReadController(r, node.at("controller"), path + ".controller", out.controller)) {
        return false;
    }
    const Json* drives = nullptr;
    if (!r.Array(node, "drives", path, drives)) {
        return false;
    }
    if (drives == nullptr || drives->size() != 2) {
        return r.Fail(path + ".drives", "expected two drives (HDD1 entry, HDD2 entry)");
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (!ReadDrive(r, (*drives)[i], At(path + ".drives", i), out.drives[i])) {
            return false;
        }
    }
    const Json* faults = nullptr;
    if (!r.Array(node, "faults", path, faults)) {
        return false;
    }
    for (std::size_t i = 0; faults != nullptr && i < faults->size(); ++i) {
        FaultConfig fault;
        if (!ReadFault(r, (*faults)[i], At(path + ".faults", i), fault)) {
            return false;
        }
        out.faults.push_back(fault);
    }
    return true;
}

// {"temperature": 60, "fan_rpm": 0}: at least one of the two.
bool ReadEnvironment(Reader& r, const Json& node, const std::string& path, TimelineEvent& out) {
    std::uint64_t temperature = 0;
    std::uint64_t fan = 0;
    if (!r.Object(node, path, {"temperature", "fan_rpm"}) ||
        !r.Number(node, "temperature", path, temperature, 0xFF) ||
        !r.Number(node, "fan_rpm", path, fan, 0xFFFF)) {
        return false;
    }
    if (!node.contains("temperature") && !node.contains("fan_rpm")) {
        return r.Fail(path, "expected \"temperature\" or \"fan_rpm\"");
    }
    if (node.contains("temperature")) {
        out.temperature = static_cast<std::uint8_t>(temperature);
    }
    if (node.contains("fan_rpm")) {
        out.fanRpm = static_cast<std::uint16_t>(fan);
    }
    return true;
}

bool ReadEvent(Reader& r, const Json& node, const std::string& path, TimelineEvent& out) {
    if (!r.Object(node, path,
                  {"at_ms", "disk", "drive", "state", "model", "serial", "capacity", "rebuild",
                   "enclosure", "schedule", "task_status", "smart", "environment"}) ||
        !r.Required(node, "at_ms", path, out.atMs) ||
        !r.Required(node, "disk", path, out.disk, kHighestDisk)) {
        return false;
    }
    int actions = 0;
    for (const char* key :
         {"state", "rebuild", "enclosure", "schedule", "task_status", "smart", "environment"}) {
        actions += node.contains(key) ? 1 : 0;
    }
    if (actions != 1) {
        return r.Fail(path,
                      "expected exactly one of \"state\", \"rebuild\", \"enclosure\", "
                      "\"schedule\", \"task_status\", \"smart\", \"environment\"");
    }
    if (node.contains("smart")) {
        out.kind = EventKind::Smart;
        const Json* smart = nullptr;
        if (!r.Required(node, "drive", path, out.drive, 2) ||
            !r.Array(node, "smart", path, smart)) {
            return false;
        }
        if (out.drive == 0) {
            return r.Fail(path + ".drive", "1 (HDD1 entry) or 2 (HDD2 entry)");
        }
        if (smart == nullptr || smart->empty()) {
            return r.Fail(path + ".smart", "expected a list of attributes");
        }
        for (const char* key : {"model", "serial", "capacity"}) {
            if (node.contains(key)) {
                return r.Fail(path + "." + key, "belongs to a \"state\" event");
            }
        }
        return ReadSmart(r, *smart, path + ".smart", out.smart);
    }
    if (node.contains("state")) {
        out.kind = EventKind::DriveState;
        std::string model;
        std::string serial;
        std::uint64_t capacity = 0;
        if (!r.Required(node, "drive", path, out.drive, 2) ||
            !ReadState(r, node, path, out.state) || !r.Text(node, "model", path, 40, model) ||
            !r.Text(node, "serial", path, 20, serial) ||
            !r.Number(node, "capacity", path, capacity, kMax48)) {
            return false;
        }
        if (out.drive == 0) {
            return r.Fail(path + ".drive", "1 (HDD1 entry) or 2 (HDD2 entry)");
        }
        if (node.contains("model")) {
            out.model = model;
        }
        if (node.contains("serial")) {
            out.serial = serial;
        }
        if (node.contains("capacity")) {
            out.capacity = capacity;
        }
        return true;
    }
    for (const char* key : {"drive", "model", "serial", "capacity"}) {
        if (node.contains(key)) {
            return r.Fail(path + "." + key, "belongs to a \"state\" event");
        }
    }
    if (node.contains("rebuild")) {
        out.kind = EventKind::Rebuild;
        const Json& rebuild = node.at("rebuild");
        const std::string p = path + ".rebuild";
        if (!r.Object(rebuild, p, {"drive", "until_ms"}) ||
            !r.Required(rebuild, "drive", p, out.drive, 2) ||
            !r.Required(rebuild, "until_ms", p, out.untilMs)) {
            return false;
        }
        if (out.drive == 0) {
            return r.Fail(p + ".drive", "1 (HDD1 entry) or 2 (HDD2 entry)");
        }
        if (out.untilMs <= out.atMs) {
            return r.Fail(p + ".until_ms", "must be later than at_ms");
        }
        return true;
    }
    if (node.contains("enclosure")) {
        out.kind = EventKind::Enclosure;
        std::size_t choice = 0;
        if (!r.Choice(node, "enclosure", path, {"disappear", "appear"}, choice)) {
            return false;
        }
        out.appear = choice == 1;
        return true;
    }
    if (node.contains("environment")) {
        out.kind = EventKind::Environment;
        return ReadEnvironment(r, node.at("environment"), path + ".environment", out);
    }
    if (node.contains("schedule")) {
        out.kind = EventKind::Schedule;
        return ReadBackup(r, node.at("schedule"), path + ".schedule", out.schedule);
    }
    out.kind = EventKind::TaskStatus;
    return r.Number(node, "task_status", path, out.taskStatus);
}

bool ReadScenario(Reader& r, const Json& root, Scenario& out) {
    if (!r.Object(root, "scenario", {"name", "enclosures", "plain_disks", "timeline"}) ||
        !r.Text(root, "name", "scenario", 200, out.name)) {
        return false;
    }
    std::set<std::uint8_t> disks;
    const Json* enclosures = nullptr;
    if (!r.Array(root, "enclosures", "scenario", enclosures)) {
        return false;
    }
    for (std::size_t i = 0; enclosures != nullptr && i < enclosures->size(); ++i) {
        EnclosureConfig enclosure;
        const std::string p = At("enclosures", i);
        if (!ReadEnclosure(r, (*enclosures)[i], p, enclosure)) {
            return false;
        }
        if (!disks.insert(enclosure.disk).second) {
            return r.Fail(p + ".disk", "disk " + std::to_string(enclosure.disk) + " is taken");
        }
        out.enclosures.push_back(std::move(enclosure));
    }
    const std::set<std::uint8_t> enclosureDisks = disks;
    const Json* plain = nullptr;
    if (!r.Array(root, "plain_disks", "scenario", plain)) {
        return false;
    }
    for (std::size_t i = 0; plain != nullptr && i < plain->size(); ++i) {
        PlainDiskConfig disk;
        const Json& node = (*plain)[i];
        const std::string p = At("plain_disks", i);
        if (!r.Object(node, p, {"disk", "vendor", "product"}) ||
            !r.Required(node, "disk", p, disk.disk, kHighestDisk) ||
            !r.Text(node, "vendor", p, 8, disk.vendor) ||
            !r.Text(node, "product", p, 16, disk.product)) {
            return false;
        }
        if (!disks.insert(disk.disk).second) {
            return r.Fail(p + ".disk", "disk " + std::to_string(disk.disk) + " is taken");
        }
        out.plainDisks.push_back(disk);
    }
    const Json* timeline = nullptr;
    if (!r.Array(root, "timeline", "scenario", timeline)) {
        return false;
    }
    for (std::size_t i = 0; timeline != nullptr && i < timeline->size(); ++i) {
        TimelineEvent event;
        const std::string p = At("timeline", i);
        if (!ReadEvent(r, (*timeline)[i], p, event)) {
            return false;
        }
        if (enclosureDisks.count(event.disk) == 0) {
            return r.Fail(p + ".disk", "no enclosure on disk " + std::to_string(event.disk));
        }
        out.timeline.push_back(std::move(event));
    }
    return true;
}

}  // namespace

LoadResult ParseScenario(std::string_view json) {
    LoadResult result;
    try {
        const Json root = Json::parse(json.begin(), json.end(), nullptr, true, true);
        Reader reader;
        result.ok = ReadScenario(reader, root, result.scenario);
        result.error = reader.error();
    } catch (const Json::parse_error& e) {
        result.error = std::string("not valid JSON: ") + e.what();
    } catch (const std::exception& e) {
        result.error = std::string("scenario could not be read: ") + e.what();
    }
    if (!result.ok) {
        result.scenario = Scenario{};
    }
    return result;
}

LoadResult LoadScenarioFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {false, path + ": cannot open the file", {}};
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        return {false, path + ": read error", {}};
    }
    LoadResult result = ParseScenario(text.str());
    if (!result.ok) {
        result.error = path + ": " + result.error;
    }
    return result;
}

}  // namespace raid::sim
