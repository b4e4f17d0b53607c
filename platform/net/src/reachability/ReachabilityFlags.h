#pragma once
// The reachability flags of a target, given a snapshot of the machine's network.

#include <optional>
#include <string>

#include <platform_net/SCNetworkReachability.h>

#include "reachability/NetworkSnapshot.h"

struct SCNetworkReachability::Target {
    enum class Kind { Name, Address, AddressPair } kind = Kind::Address;
    std::string name;
    std::optional<IPAddress> local;
    std::optional<IPAddress> remote;  // the address of an Address target
};

SCNetworkReachabilityFlags reachabilityFlags(const SCNetworkReachability::Target& target,
                                             const NetworkSnapshot& snapshot);
