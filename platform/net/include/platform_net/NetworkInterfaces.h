#pragma once
// The machine's network interfaces that carry an address, under the platform's names: the
// non-cellular interface with the default route is "en0", cellular modems (wwan*, rmnet*,
// ccmni*) are "pdp_ip0", loopback is "lo0"; any other interface keeps its own name.
// Any thread; tests may replace the list.

#include <optional>
#include <string>
#include <vector>

struct NetworkInterface {
    std::string name;
    bool ipv4 = false;
    bool ipv6 = false;
    bool loopback = false;
};

std::vector<NetworkInterface> networkInterfaceList();
// nullopt: the machine's own list again.
void setNetworkInterfaceListForTesting(std::optional<std::vector<NetworkInterface>> list);
