#include "sysinfo/system_info.h"

#include "sysinfo/wmi_query.h"

namespace raid {
namespace {

// The disk section pairs the lists by position, and they can be of different
// lengths (each holds only non-empty values), so a missing entry reads as
// empty text rather than past the end.
const std::string& EntryOrEmpty(const std::vector<std::string>& list, std::size_t i) {
    static const std::string kEmpty;
    return i < list.size() ? list[i] : kEmpty;
}

std::vector<std::string> CollectAll(SystemFacts& facts, const char* className,
                                    const char* propertyName,
                                    std::vector<std::string>& wmiValueList) {
    WmiQueryProperty(facts, className, propertyName, true, wmiValueList);
    return wmiValueList;
}

}  // namespace

SystemInfoLines BuildSystemInfoLines(SystemFacts& facts) {
    std::vector<std::string> wmiValueList;
    SystemInfoLines lines;
    lines.push_back("\n=========== [System Information] ==============");

    const std::string manufacturer =
        WmiQueryProperty(facts, "Win32_BaseBoard", "Manufacturer", false, wmiValueList);
    const std::string product =
        WmiQueryProperty(facts, "Win32_BaseBoard", "Product", false, wmiValueList);
    lines.push_back("\nMotherBoard : " + manufacturer + " - " + product);

    const auto models = CollectAll(facts, "Win32_DiskDrive", "Model", wmiValueList);
    const auto deviceIds = CollectAll(facts, "Win32_DiskDrive", "DeviceID", wmiValueList);
    const auto serials = CollectAll(facts, "Win32_DiskDrive", "SerialNumber", wmiValueList);
    const auto indexes = CollectAll(facts, "Win32_DiskDrive", "Index", wmiValueList);

    std::string countLine = "\nWmiListTemp->Count = " + std::to_string(indexes.size());
    for (const std::string& index : indexes) {
        countLine += " - " + index;
    }
    lines.push_back(std::move(countLine));

    for (std::size_t i = 0; i < indexes.size(); ++i) {
        lines.push_back("\nDisk: " + EntryOrEmpty(models, i) + " - " + EntryOrEmpty(deviceIds, i) +
                        " - " + EntryOrEmpty(serials, i));
    }

    lines.push_back("\nSystem Name : " +
                    WmiQueryProperty(facts, "Win32_Bus", "SystemName", false, wmiValueList));
    lines.push_back("\nIP Address  : " + WmiQueryProperty(facts,
                                                          "Win32_NetworkAdapterConfiguration",
                                                          "IPAddress", false, wmiValueList));
    lines.push_back("\n===============================================");
    return lines;
}

std::string SystemInfoText(const SystemInfoLines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
    }
    return text;
}

}  // namespace raid
