#include "reachability/NetworkSnapshot.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <cstring>
#include <fstream>
#include <sstream>

IPAddress IPAddress::fromSockaddr(const struct sockaddr* sa) {
    IPAddress a;
    if (!sa) return a;
    if (sa->sa_family == AF_INET) {
        a.family = AF_INET;
        std::memcpy(a.bytes.data(), &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, 4);
    } else if (sa->sa_family == AF_INET6) {
        a.family = AF_INET6;
        std::memcpy(a.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, 16);
    }
    return a;
}

bool IPAddress::isUnspecified() const {
    std::size_t n = family == AF_INET ? 4 : 16;
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i]) return false;
    }
    return family != 0;
}

bool IPAddress::isLoopback() const {
    if (family == AF_INET) return bytes[0] == 127;
    if (family != AF_INET6) return false;
    static const uint8_t v6loop[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (std::memcmp(bytes.data(), v6loop, 16) == 0) return true;
    // ::ffff:127.x.y.z
    static const uint8_t mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return std::memcmp(bytes.data(), mapped, 12) == 0 && bytes[12] == 127;
}

bool sameSubnet(const InterfaceAddress& ifaddr, const IPAddress& addr) {
    if (ifaddr.address.family != addr.family || ifaddr.netmask.family != addr.family) return false;
    std::size_t n = addr.family == AF_INET ? 4 : 16;
    bool anyMask = false;
    for (std::size_t i = 0; i < n; ++i) {
        uint8_t m = ifaddr.netmask.bytes[i];
        anyMask |= m != 0;
        if ((ifaddr.address.bytes[i] & m) != (addr.bytes[i] & m)) return false;
    }
    return anyMask;
}

namespace {

void readDefaultRoutes(std::set<std::string>& out) {
    // IPv4: Iface Destination Gateway Flags RefCnt Use Metric Mask ...
    std::ifstream v4("/proc/net/route");
    std::string line;
    std::getline(v4, line);
    while (std::getline(v4, line)) {
        std::istringstream in(line);
        std::string iface, dest, gateway, flags, refcnt, use, metric, mask;
        if (!(in >> iface >> dest >> gateway >> flags >> refcnt >> use >> metric >> mask)) continue;
        unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
        if (dest == "00000000" && mask == "00000000" && (f & 0x1 /* RTF_UP */)) out.insert(iface);
    }
    // IPv6: dest destlen src srclen nexthop metric refcnt use flags iface
    std::ifstream v6("/proc/net/ipv6_route");
    while (std::getline(v6, line)) {
        std::istringstream in(line);
        std::string dest, destLen, src, srcLen, nexthop, metric, refcnt, use, flags, iface;
        if (!(in >> dest >> destLen >> src >> srcLen >> nexthop >> metric >> refcnt >> use >> flags >> iface)) continue;
        unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
        // Skip the kernel's "unreachable" default on loopback (RTF_REJECT 0x200).
        if (dest == std::string(32, '0') && destLen == "00" && (f & 0x1) && !(f & 0x200) && iface != "lo") {
            out.insert(iface);
        }
    }
}

}  // namespace

NetworkSnapshot NetworkSnapshot::current() {
    NetworkSnapshot s;
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (auto* i = list; i; i = i->ifa_next) {
            if (!i->ifa_addr || (i->ifa_addr->sa_family != AF_INET && i->ifa_addr->sa_family != AF_INET6)) continue;
            InterfaceAddress a;
            a.interface = i->ifa_name ? i->ifa_name : "";
            a.up = (i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING);
            a.loopback = i->ifa_flags & IFF_LOOPBACK;
            a.address = IPAddress::fromSockaddr(i->ifa_addr);
            a.netmask = IPAddress::fromSockaddr(i->ifa_netmask);
            s.addresses.push_back(std::move(a));
        }
        freeifaddrs(list);
    }
    readDefaultRoutes(s.defaultRouteInterfaces);
    return s;
}
