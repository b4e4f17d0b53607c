#pragma once
// The machine's interfaces and default routes at one moment, as reachability needs them.

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct IPAddress {
    int family = 0;                  // AF_INET or AF_INET6
    std::array<uint8_t, 16> bytes{};  // network order; 4 bytes used for AF_INET

    static IPAddress fromSockaddr(const struct sockaddr* sa);
    bool isUnspecified() const;
    bool isLoopback() const;
    bool operator==(const IPAddress& o) const { return family == o.family && bytes == o.bytes; }
};

struct InterfaceAddress {
    std::string interface;
    bool up = false;        // IFF_UP and IFF_RUNNING
    bool loopback = false;  // IFF_LOOPBACK
    IPAddress address;
    IPAddress netmask;
};

struct NetworkSnapshot {
    std::vector<InterfaceAddress> addresses;
    // Interfaces that carry a default route (IPv4 or IPv6).
    std::set<std::string> defaultRouteInterfaces;

    // The machine now (getifaddrs, /proc/net/route, /proc/net/ipv6_route).
    static NetworkSnapshot current();
};

// Whether addr lies in the subnet of ifaddr.
bool sameSubnet(const InterfaceAddress& ifaddr, const IPAddress& addr);
