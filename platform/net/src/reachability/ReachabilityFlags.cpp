#include "reachability/ReachabilityFlags.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace {

constexpr SCNetworkReachabilityFlags kLocal = kSCNetworkReachabilityFlagsReachable |
                                              kSCNetworkReachabilityFlagsIsLocalAddress |
                                              kSCNetworkReachabilityFlagsIsDirect;

bool isCellular(const std::string& interface) {
    for (const char* prefix : {"wwan", "rmnet", "ccmni"}) {
        if (interface.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Connectivity beyond this machine: an up interface other than loopback with a default route.
SCNetworkReachabilityFlags general(const NetworkSnapshot& s) {
    SCNetworkReachabilityFlags best = 0;
    for (const auto& a : s.addresses) {
        if (!a.up || a.loopback || !s.defaultRouteInterfaces.count(a.interface)) continue;
        SCNetworkReachabilityFlags f = kSCNetworkReachabilityFlagsReachable;
        if (isCellular(a.interface)) f |= kSCNetworkReachabilityFlagsIsWWAN;
        // Prefer a non-cellular route, as the system does.
        if (!best || (best & kSCNetworkReachabilityFlagsIsWWAN)) best = f;
    }
    return best;
}

SCNetworkReachabilityFlags forAddress(const IPAddress& addr, const NetworkSnapshot& s) {
    if (addr.isUnspecified()) return general(s);
    if (addr.isLoopback()) return kLocal;
    for (const auto& a : s.addresses) {
        if (a.up && a.address == addr) return kLocal;
    }
    for (const auto& a : s.addresses) {
        if (a.up && !a.loopback && sameSubnet(a, addr)) {
            SCNetworkReachabilityFlags f = kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsDirect;
            if (isCellular(a.interface)) f |= kSCNetworkReachabilityFlagsIsWWAN;
            return f;
        }
    }
    return general(s);
}

std::optional<IPAddress> literal(const std::string& name) {
    std::string host = name;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    IPAddress a;
    if (inet_pton(AF_INET, host.c_str(), a.bytes.data()) == 1) {
        a.family = AF_INET;
        return a;
    }
    if (inet_pton(AF_INET6, host.c_str(), a.bytes.data()) == 1) {
        a.family = AF_INET6;
        return a;
    }
    return std::nullopt;
}

bool isLocalhostName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (!name.empty() && name.back() == '.') name.pop_back();
    const std::string suffix = ".localhost";
    return name == "localhost" ||
           (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
}

}  // namespace

SCNetworkReachabilityFlags reachabilityFlags(const SCNetworkReachability::Target& t, const NetworkSnapshot& s) {
    switch (t.kind) {
        case SCNetworkReachability::Target::Kind::Name:
            if (isLocalhostName(t.name)) return kLocal;
            if (auto a = literal(t.name)) return forAddress(*a, s);
            return general(s);
        case SCNetworkReachability::Target::Kind::Address:
            return t.remote ? forAddress(*t.remote, s) : 0;
        case SCNetworkReachability::Target::Kind::AddressPair:
            if (t.remote) return forAddress(*t.remote, s);
            if (t.local) {
                // Only a local address of this machine can be bound to.
                if (t.local->isUnspecified() || t.local->isLoopback()) return kLocal;
                for (const auto& a : s.addresses) {
                    if (a.up && a.address == *t.local) return kLocal;
                }
            }
            return 0;
    }
    return 0;
}
