#include "sim/drive_sectors.h"

#include <algorithm>
#include <span>

#include "sim/ata_text.h"

namespace raid::sim {
namespace {

constexpr std::size_t kAttributeSlots = 30;
constexpr std::size_t kAttributeSize = 12;
constexpr std::size_t kFirstAttribute = 2;
constexpr std::uint16_t kSmartRevision = 0x0010;

void PutWord(Sector& sector, std::size_t word, std::uint16_t value) {
    sector[2 * word] = static_cast<std::uint8_t>(value);
    sector[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Byte 511 makes the sum of all 512 bytes zero, as ATA data structures do.
void PutChecksum(Sector& sector) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < sector.size() - 1; ++i) {
        sum = static_cast<std::uint8_t>(sum + sector[i]);
    }
    sector[511] = static_cast<std::uint8_t>(0x100 - sum);
}

const std::vector<SmartAttribute>& AttributesOf(const DriveConfig& drive) {
    return drive.smart.empty() ? HealthyAttributes() : drive.smart;
}

}  // namespace

const std::vector<SmartAttribute>& HealthyAttributes() {
    static const std::vector<SmartAttribute> kHealthy = {
        {1, 200, 200, 51, 0},  {3, 178, 175, 21, 4083}, {4, 100, 100, 0, 112},
        {5, 200, 200, 140, 0}, {7, 100, 253, 0, 0},     {9, 86, 86, 0, 10342},
        {10, 100, 100, 0, 0},  {12, 100, 100, 0, 110},  {194, 114, 103, 0, 36},
        {196, 200, 200, 0, 0}, {197, 200, 200, 0, 0},   {198, 100, 253, 0, 0},
        {199, 200, 200, 0, 0},
    };
    return kHealthy;
}

Sector IdentifySector(const DriveConfig& drive) {
    Sector sector{};
    PutWord(sector, 0, 0x0040);  // fixed device
    PutAtaText(std::span(sector).subspan(20, 20), drive.serial);
    PutAtaText(std::span(sector).subspan(46, 8), "SIM1.0");
    PutAtaText(std::span(sector).subspan(54, 40), drive.model);
    PutWord(sector, 49, 0x0200);  // LBA supported
    const std::uint64_t lba28 = std::min<std::uint64_t>(drive.capacity, 0x0FFFFFFF);
    PutWord(sector, 60, static_cast<std::uint16_t>(lba28));
    PutWord(sector, 61, static_cast<std::uint16_t>(lba28 >> 16));
    PutWord(sector, 82, 0x0001);  // SMART feature set supported
    PutWord(sector, 83, 0x4400);  // 48-bit addressing
    PutWord(sector, 85, 0x0001);  // SMART enabled
    for (std::size_t i = 0; i < 4; ++i) {
        PutWord(sector, 100 + i, static_cast<std::uint16_t>(drive.capacity >> (16 * i)));
    }
    PutWord(sector, 106, drive.sectorWord);
    sector[510] = 0xA5;  // checksum validity signature
    PutChecksum(sector);
    return sector;
}

Sector SmartDataSector(const DriveConfig& drive) {
    Sector sector{};
    PutWord(sector, 0, kSmartRevision);
    const auto& attributes = AttributesOf(drive);
    const std::size_t count = std::min(attributes.size(), kAttributeSlots);
    for (std::size_t i = 0; i < count; ++i) {
        const SmartAttribute& a = attributes[i];
        auto entry =
            std::span(sector).subspan(kFirstAttribute + i * kAttributeSize, kAttributeSize);
        entry[0] = a.id;
        entry[1] = 0x0F;  // flags: pre-fail, online, performance, error rate
        entry[3] = a.value;
        entry[4] = a.worst;
        PutLittleEndian(entry.subspan(5, 6), a.raw);
    }
    sector[362] = 0x82;  // offline data collection: completed
    PutChecksum(sector);
    return sector;
}

Sector SmartThresholdSector(const DriveConfig& drive) {
    Sector sector{};
    PutWord(sector, 0, kSmartRevision);
    const auto& attributes = AttributesOf(drive);
    const std::size_t count = std::min(attributes.size(), kAttributeSlots);
    for (std::size_t i = 0; i < count; ++i) {
        sector[kFirstAttribute + i * kAttributeSize] = attributes[i].id;
        sector[kFirstAttribute + i * kAttributeSize + 1] = attributes[i].threshold;
    }
    PutChecksum(sector);
    return sector;
}

}  // namespace raid::sim
