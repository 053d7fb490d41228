#include "app/simulated_facts.h"

namespace raid {
namespace {

FactObject DiskObject(std::uint8_t number, const std::string& model) {
    const std::string index = std::to_string(number);
    return {{"DeviceID", std::string("SIM:") + index},
            {"Index", index},
            {"Model", model},
            {"SerialNumber", std::string("SIMDISK") + std::string(4 - index.size(), '0') + index}};
}

}  // namespace

SimulatedFacts::SimulatedFacts(std::unique_ptr<SystemFacts> host, const sim::Scenario& scenario)
    : host_(std::move(host)) {
    for (const sim::EnclosureConfig& e : scenario.enclosures) {
        disks_.push_back(
            DiskObject(e.disk, e.controller.inquiryVendor + " " + e.controller.inquiryProduct));
    }
    for (const sim::PlainDiskConfig& d : scenario.plainDisks) {
        disks_.push_back(DiskObject(d.disk, d.vendor + " " + d.product));
    }
}

std::optional<std::vector<FactObject>> SimulatedFacts::Query(std::string_view className) {
    if (className == "Win32_DiskDrive") {
        return disks_;
    }
    return host_->Query(className);
}

}  // namespace raid
