#pragma once
// One process-wide thread that hears the kernel's interface, address and route changes
// (netlink; a slow poll where netlink is unavailable) and has subscribed targets refresh.

#include <memory>

#include <platform_net/SCNetworkReachability.h>

namespace NetworkChangeMonitor {
// The target refreshes after every change while it is alive; the thread starts on first use.
void subscribe(const std::weak_ptr<SCNetworkReachability>& target);
void unsubscribe(const SCNetworkReachability* target);
// Has every subscribed target refresh now (the airplane switch moved), on the caller's thread.
void refreshAll();
}  // namespace NetworkChangeMonitor
