#include <platform_net/NetworkInterfaces.h>

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace {

std::mutex mutex;
std::optional<std::vector<NetworkInterface>> override;

bool isCellular(const std::string& name) {
    return name.rfind("wwan", 0) == 0 || name.rfind("rmnet", 0) == 0 || name.rfind("ccmni", 0) == 0;
}

// The interfaces that carry a default route (IPv4 and IPv6 routing tables).
std::vector<std::string> defaultRouteInterfaces() {
    std::vector<std::string> out;
    std::ifstream v4("/proc/net/route");
    std::string line;
    std::getline(v4, line);  // header
    while (std::getline(v4, line)) {
        std::istringstream in(line);
        std::string iface, destination, gateway, flags, refcnt, use, metric, mask;
        if (in >> iface >> destination >> gateway >> flags >> refcnt >> use >> metric >> mask)
            if (destination == "00000000" && mask == "00000000") out.push_back(iface);
    }
    std::ifstream v6("/proc/net/ipv6_route");
    while (std::getline(v6, line)) {
        std::istringstream in(line);
        std::string dst, dstLen, src, srcLen, next, metric, ref, use, flags, iface;
        if (in >> dst >> dstLen >> src >> srcLen >> next >> metric >> ref >> use >> flags >> iface)
            if (dst == std::string(32, '0') && dstLen == "00" && iface != "lo") out.push_back(iface);
    }
    return out;
}

}  // namespace

std::vector<NetworkInterface> networkInterfaceList() {
    {
        std::lock_guard lock(mutex);
        if (override) return *override;
    }
    std::map<std::string, NetworkInterface> byName;
    std::vector<std::string> order;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || !(a->ifa_flags & IFF_UP)) continue;
        const int family = a->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        auto [it, inserted] = byName.try_emplace(a->ifa_name);
        if (inserted) order.push_back(a->ifa_name);
        it->second.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        (family == AF_INET ? it->second.ipv4 : it->second.ipv6) = true;
    }
    freeifaddrs(list);
    std::string primary;
    for (const auto& name : defaultRouteInterfaces())
        if (byName.count(name) && !isCellular(name) && !byName[name].loopback) {
            primary = name;
            break;
        }
    std::vector<NetworkInterface> out;
    for (const auto& name : order) {
        NetworkInterface i = byName[name];
        if (i.loopback) i.name = "lo0";
        else if (isCellular(name)) i.name = "pdp_ip0";
        else if (name == primary) i.name = "en0";
        else i.name = name;
        out.push_back(i);
    }
    return out;
}

void setNetworkInterfaceListForTesting(std::optional<std::vector<NetworkInterface>> list) {
    std::lock_guard lock(mutex);
    override = std::move(list);
}
