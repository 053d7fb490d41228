#include "maintenance/smart_attributes.h"

#include <array>

namespace raid {
namespace {

constexpr std::array<SmartAttributeName, 61> kNames{{
    {1, "Raw read error rate"},
    {2, "Throughput performance"},
    {3, "Spinup time"},
    {4, "Start/Stop count"},
    {5, "Reallocated sector count"},
    {6, "Read channel margin"},
    {7, "Seek error rate"},
    {8, "Seek timer performance"},
    {9, "Power-on hours count"},
    {10, "Spinup retry count"},
    {11, "Calibration retry count"},
    {12, "Power cycle count"},
    {13, "Soft read error rate"},
    {180, "Unused Reserved Block Count Total"},
    {183, "SATA Downshift Error Count"},
    {184, "End-to-End error / IOEDC"},
    {185, "Head Stability"},
    {186, "Induced Op-Vibration Detection"},
    {187, "Reported Uncorrectable Errors"},
    {188, "Command Timeout"},
    {189, "High Fly Writes"},
    {190, "Airflow Temperature"},
    {191, "G-sense error rate"},
    {192, "Power-off retract count"},
    {193, "Load/Unload cycle count"},
    {194, "Temperature"},
    {195, "Hardware ECC recovered"},
    {196, "Reallocation Event count"},
    {197, "Current pending sector count"},
    {198, "Offline scan uncorrectable count"},
    {199, "UDMA CRC error rate"},
    {200, "Multi-Zone Error Rate"},
    {201, "Soft Read Error Rate"},
    {202, "Data Address Mark errors"},
    {203, "Run Out Cancel"},
    {204, "Soft ECC Correction"},
    {205, "Thermal Asperity Rate (TAR)"},
    {206, "Flying Height"},
    {207, "Spin High Current"},
    {208, "Spin Buzz"},
    {209, "Offline Seek Performance"},
    {211, "Vibration During Write"},
    {212, "Shock During Write"},
    {220, "Disk Shift"},
    {221, "G-Sense Error Rate"},
    {222, "Loaded Hours"},
    {223, "Load/Unload Retry Count"},
    {224, "Load Friction"},
    {225, "Load/Unload Cycle Count"},
    {226, "Load 'In'-time"},
    {227, "Torque Amplification Count"},
    {228, "Power-Off Retract Cycle"},
    {230, "GMR Head Amplitude"},
    {231, "Drive temperature"},
    {232, "Endurance Remaining"},
    {233, "Power-On Hours"},
    {240, "Head Flying Hours"},
    {241, "Total LBAs Written"},
    {242, "Total LBAs Read"},
    {250, "Read Error Retry Rate"},
    {254, "Free Fall Protection"},
}};

}  // namespace

std::span<const SmartAttributeName> SmartAttributeNames() {
    return kNames;
}

const char* SmartAttributeNameOf(std::uint8_t id) {
    for (const SmartAttributeName& row : kNames) {
        if (row.id == id) {
            return row.name;
        }
    }
    return nullptr;
}

}  // namespace raid
