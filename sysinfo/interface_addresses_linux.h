#pragma once

#include "sysinfo/system_facts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace raid {

// One address of one network interface, as the system lists it.
struct InterfaceAddress {
    enum class Family { IPv4, IPv6 };

    std::string interfaceName;
    unsigned interfaceIndex = 0;
    bool loopback = false;
    Family family = Family::IPv4;
    // Network byte order; IPv4 uses the first 4 bytes.
    std::array<std::uint8_t, 16> address{};
};

// The IPv4 and IPv6 addresses of every interface (getifaddrs); other address
// families are left out. nullopt when the system call fails.
std::optional<std::vector<InterfaceAddress>> ReadInterfaceAddresses();

// The address as text ("192.168.1.10", "fe80::1").
std::string AddressText(const InterfaceAddress& address);

// One "Win32_NetworkAdapterConfiguration" object per non-loopback interface
// that has addresses, ordered by interface index (then name), each with
// "Description" (the interface name) and "IPAddress": its IPv4 addresses, then
// its IPv6 addresses, each group in the order listed.
std::vector<FactObject> NetworkAdapterObjects(const std::vector<InterfaceAddress>& addresses);

}  // namespace raid
