#include "sysinfo/disk_identity.h"

#include "sysinfo/wmi_query.h"

#include <charconv>
#include <optional>

namespace raid {
namespace {

std::optional<std::uint32_t> ParseIndex(const std::string& text) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::string PropertyText(const FactObject& object, std::string_view name) {
    for (const FactProperty& property : object) {
        if (property.name == name) {
            return FactValueText(property.value);
        }
    }
    return {};
}

}  // namespace

std::vector<DiskIdentity> ReadDiskIdentities(SystemFacts& facts) {
    std::vector<DiskIdentity> identities;
    const auto objects = facts.Query("Win32_DiskDrive");
    if (!objects) {
        return identities;
    }
    for (const FactObject& object : *objects) {
        const auto index = ParseIndex(PropertyText(object, "Index"));
        if (!index) {
            continue;
        }
        identities.push_back({*index, PropertyText(object, "SerialNumber")});
    }
    return identities;
}

std::string DiskSerialNumber(const std::vector<DiskIdentity>& identities, std::uint32_t index) {
    for (const DiskIdentity& identity : identities) {
        if (identity.index == index) {
            return identity.serialNumber;
        }
    }
    return {};
}

}  // namespace raid
