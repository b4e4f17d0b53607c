#include "reachability/NetworkChangeMonitor.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Monitor {
    std::mutex mutex;
    std::vector<std::pair<const SCNetworkReachability*, std::weak_ptr<SCNetworkReachability>>> targets;
    bool started = false;

    void start() {
        std::thread([this] { run(); }).detach();
    }

    void run() {
        int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd >= 0) {
            sockaddr_nl addr{};
            addr.nl_family = AF_NETLINK;
            addr.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE |
                             RTMGRP_IPV6_ROUTE;
            if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
                close(fd);
                fd = -1;
            }
        }
        char buffer[8192];
        for (;;) {
            if (fd >= 0) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, -1) <= 0) continue;
                // One refresh per burst of messages.
                while (recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
                }
            } else {
                std::this_thread::sleep_for(std::chrono::seconds(2));
            }
            refreshAll();
        }
    }

    void refreshAll() {
        std::vector<std::shared_ptr<SCNetworkReachability>> live;
        {
            std::lock_guard lock(mutex);
            for (auto& [_, weak] : targets) {
                if (auto t = weak.lock()) live.push_back(std::move(t));
            }
        }
        for (auto& t : live) t->refresh();
    }
};

// Never destroyed: its thread may outlive static destruction.
Monitor& monitor() {
    static Monitor* m = new Monitor;
    return *m;
}

}  // namespace

void NetworkChangeMonitor::subscribe(const std::weak_ptr<SCNetworkReachability>& target) {
    auto shared = target.lock();
    if (!shared) return;
    Monitor& m = monitor();
    std::lock_guard lock(m.mutex);
    for (auto& [ptr, _] : m.targets) {
        if (ptr == shared.get()) return;
    }
    m.targets.emplace_back(shared.get(), target);
    if (!m.started) {
        m.started = true;
        m.start();
    }
}

void NetworkChangeMonitor::unsubscribe(const SCNetworkReachability* target) {
    Monitor& m = monitor();
    std::lock_guard lock(m.mutex);
    std::erase_if(m.targets, [target](const auto& e) { return e.first == target; });
}

void NetworkChangeMonitor::refreshAll() { monitor().refreshAll(); }
