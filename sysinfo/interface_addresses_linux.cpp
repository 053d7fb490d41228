#include "sysinfo/interface_addresses_linux.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace raid {

std::optional<std::vector<InterfaceAddress>> ReadInterfaceAddresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::vector<InterfaceAddress> addresses;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr) {
            continue;
        }
        InterfaceAddress item;
        const int family = entry->ifa_addr->sa_family;
        if (family == AF_INET) {
            const auto* in4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            item.family = InterfaceAddress::Family::IPv4;
            std::memcpy(item.address.data(), &in4->sin_addr, sizeof in4->sin_addr);
        } else if (family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            item.family = InterfaceAddress::Family::IPv6;
            std::memcpy(item.address.data(), &in6->sin6_addr, sizeof in6->sin6_addr);
        } else {
            continue;
        }
        item.interfaceName = entry->ifa_name;
        // 0 when the interface vanished meanwhile; it then sorts by name.
        item.interfaceIndex = if_nametoindex(entry->ifa_name);
        item.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        addresses.push_back(std::move(item));
    }
    freeifaddrs(list);
    return addresses;
}

std::string AddressText(const InterfaceAddress& address) {
    char text[INET6_ADDRSTRLEN] = {};
    const int family = address.family == InterfaceAddress::Family::IPv4 ? AF_INET : AF_INET6;
    if (inet_ntop(family, address.address.data(), text, sizeof text) == nullptr) {
        return {};
    }
    return text;
}

std::vector<FactObject> NetworkAdapterObjects(const std::vector<InterfaceAddress>& addresses) {
    std::vector<const InterfaceAddress*> usable;
    for (const InterfaceAddress& address : addresses) {
        if (!address.loopback) {
            usable.push_back(&address);
        }
    }
    // Stable, so each interface keeps its addresses in the order listed.
    std::stable_sort(usable.begin(), usable.end(), [](const auto* a, const auto* b) {
        return std::tie(a->interfaceIndex, a->interfaceName, a->family) <
               std::tie(b->interfaceIndex, b->interfaceName, b->family);
    });

    std::vector<FactObject> objects;
    for (std::size_t i = 0; i < usable.size();) {
        const std::string& name = usable[i]->interfaceName;
        std::vector<std::string> texts;
        for (; i < usable.size() && usable[i]->interfaceName == name; ++i) {
            if (std::string text = AddressText(*usable[i]); !text.empty()) {
                texts.push_back(std::move(text));
            }
        }
        objects.push_back({{"Description", name}, {"IPAddress", std::move(texts)}});
    }
    return objects;
}

}  // namespace raid
