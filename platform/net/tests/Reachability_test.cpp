#include <platform_net/SCNetworkReachability.h>

#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/un.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include "reachability/ReachabilityFlags.h"

namespace {

constexpr SCNetworkReachabilityFlags kReachable = kSCNetworkReachabilityFlagsReachable;
constexpr SCNetworkReachabilityFlags kLocal =
    kReachable | kSCNetworkReachabilityFlagsIsLocalAddress | kSCNetworkReachabilityFlagsIsDirect;
constexpr SCNetworkReachabilityFlags kDirect = kReachable | kSCNetworkReachabilityFlagsIsDirect;
constexpr SCNetworkReachabilityFlags kWWAN = kReachable | kSCNetworkReachabilityFlagsIsWWAN;

IPAddress ip(const char* text) {
    IPAddress a;
    if (inet_pton(AF_INET, text, a.bytes.data()) == 1) {
        a.family = AF_INET;
    } else if (inet_pton(AF_INET6, text, a.bytes.data()) == 1) {
        a.family = AF_INET6;
    }
    return a;
}

InterfaceAddress iface(const char* name, const char* addr, const char* mask, bool up = true, bool loopback = false) {
    return InterfaceAddress{name, up, loopback, ip(addr), ip(mask)};
}

SCNetworkReachability::Target nameTarget(const char* n) {
    SCNetworkReachability::Target t;
    t.kind = SCNetworkReachability::Target::Kind::Name;
    t.name = n;
    return t;
}

SCNetworkReachability::Target addressTarget(const char* a) {
    SCNetworkReachability::Target t;
    t.remote = ip(a);
    return t;
}

TEST(ReachabilityFlags, FromInterfacesAndDefaultRoutes) {
    NetworkSnapshot loopbackOnly{{iface("lo", "127.0.0.1", "255.0.0.0", true, true)}, {}};
    NetworkSnapshot wifi{{iface("lo", "127.0.0.1", "255.0.0.0", true, true),
                          iface("wlan0", "192.168.1.20", "255.255.255.0")},
                         {"wlan0"}};
    NetworkSnapshot noRoute{{iface("eth0", "10.0.0.5", "255.0.0.0")}, {}};
    NetworkSnapshot downWithRoute{{iface("eth0", "10.0.0.5", "255.0.0.0", false)}, {"eth0"}};
    NetworkSnapshot cellular{{iface("wwan0", "100.64.3.4", "255.255.255.252")}, {"wwan0"}};
    NetworkSnapshot cellularAndWifi{{iface("wwan0", "100.64.3.4", "255.255.255.252"),
                                     iface("wlan0", "192.168.1.20", "255.255.255.0")},
                                    {"wwan0", "wlan0"}};

    struct Row {
        const char* what;
        SCNetworkReachability::Target target;
        const NetworkSnapshot* snapshot;
        SCNetworkReachabilityFlags expected;
    };
    const Row rows[] = {
        {"loopback v4", addressTarget("127.0.0.1"), &loopbackOnly, kLocal},
        {"loopback 127/8", addressTarget("127.3.2.1"), &loopbackOnly, kLocal},
        {"loopback v6", addressTarget("::1"), &loopbackOnly, kLocal},
        {"zero address, offline", addressTarget("0.0.0.0"), &loopbackOnly, 0},
        {"zero address, wifi", addressTarget("0.0.0.0"), &wifi, kReachable},
        {"zero v6 address, wifi", addressTarget("::"), &wifi, kReachable},
        {"own address", addressTarget("192.168.1.20"), &wifi, kLocal},
        {"same subnet", addressTarget("192.168.1.1"), &wifi, kDirect},
        {"remote address", addressTarget("8.8.8.8"), &wifi, kReachable},
        {"remote address, no default route", addressTarget("8.8.8.8"), &noRoute, 0},
        {"subnet without default route", addressTarget("10.1.2.3"), &noRoute, kDirect},
        {"interface down", addressTarget("8.8.8.8"), &downWithRoute, 0},
        {"cellular", addressTarget("0.0.0.0"), &cellular, kWWAN},
        {"wifi preferred over cellular", addressTarget("0.0.0.0"), &cellularAndWifi, kReachable},
        {"localhost", nameTarget("localhost"), &loopbackOnly, kLocal},
        {"LOCALHOST.", nameTarget("LOCALHOST."), &loopbackOnly, kLocal},
        {"sub.localhost", nameTarget("api.localhost"), &loopbackOnly, kLocal},
        {"name, offline", nameTarget("example.org"), &loopbackOnly, 0},
        {"name, wifi", nameTarget("example.org"), &wifi, kReachable},
        {"name, cellular", nameTarget("example.org"), &cellular, kWWAN},
        {"numeric name", nameTarget("192.168.1.7"), &wifi, kDirect},
        {"bracketed v6 name", nameTarget("[::1]"), &loopbackOnly, kLocal},
    };
    for (const auto& r : rows) EXPECT_EQ(reachabilityFlags(r.target, *r.snapshot), r.expected) << r.what;

    SCNetworkReachability::Target pair;
    pair.kind = SCNetworkReachability::Target::Kind::AddressPair;
    pair.local = ip("192.168.1.20");
    EXPECT_EQ(reachabilityFlags(pair, wifi), kLocal) << "local address of this machine";
    pair.local = ip("192.168.9.9");
    EXPECT_EQ(reachabilityFlags(pair, wifi), 0u) << "an address that is not ours";
    pair.remote = ip("8.8.8.8");
    EXPECT_EQ(reachabilityFlags(pair, wifi), kReachable) << "the remote side decides";
}

sockaddr_in v4(const char* text) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, text, &a.sin_addr);
    return a;
}

TEST(SCNetworkReachability, LoopbackTargetsOnThisMachine) {
    auto lo = v4("127.0.0.1");
    sockaddr_in6 lo6{};
    lo6.sin6_family = AF_INET6;
    lo6.sin6_addr = in6addr_loopback;
    for (auto target : {SCNetworkReachabilityCreateWithAddress(reinterpret_cast<sockaddr*>(&lo)),
                        SCNetworkReachabilityCreateWithAddress(reinterpret_cast<sockaddr*>(&lo6)),
                        SCNetworkReachabilityCreateWithName("localhost"),
                        SCNetworkReachabilityCreateWithAddressPair(reinterpret_cast<sockaddr*>(&lo), nullptr)}) {
        ASSERT_TRUE(target);
        SCNetworkReachabilityFlags flags = 0;
        ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
        EXPECT_EQ(flags, kLocal);
    }
    // Other names are judged like the zero address, without a lookup.
    auto zero = v4("0.0.0.0");
    SCNetworkReachabilityFlags general = 0, named = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(
        SCNetworkReachabilityCreateWithAddress(reinterpret_cast<sockaddr*>(&zero)), &general));
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(SCNetworkReachabilityCreateWithName("host.invalid"), &named));
    EXPECT_EQ(named, general);
}

TEST(SCNetworkReachability, BadTargetsAreRefused) {
    sockaddr_un unixAddress{};
    unixAddress.sun_family = AF_UNIX;
    EXPECT_EQ(SCNetworkReachabilityCreateWithName(nullptr), nullptr);
    EXPECT_EQ(SCNetworkReachabilityCreateWithName(""), nullptr);
    EXPECT_EQ(SCNetworkReachabilityCreateWithAddress(nullptr), nullptr);
    EXPECT_EQ(SCNetworkReachabilityCreateWithAddress(reinterpret_cast<sockaddr*>(&unixAddress)), nullptr);
    EXPECT_EQ(SCNetworkReachabilityCreateWithAddressPair(nullptr, nullptr), nullptr);
    SCNetworkReachabilityFlags flags;
    EXPECT_FALSE(SCNetworkReachabilityGetFlags(nullptr, &flags));
}

struct Recorder {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<SCNetworkReachabilityFlags> flags;
    std::vector<std::thread::id> threads;
    std::vector<std::string> queues;
    int retains = 0, releases = 0;

    static void callback(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags f, void* info) {
        auto* self = static_cast<Recorder*>(info);
        std::lock_guard lock(self->mutex);
        self->flags.push_back(f);
        self->threads.push_back(std::this_thread::get_id());
        self->queues.push_back(dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL));
        self->cv.notify_all();
    }
    SCNetworkReachabilityContext context() {
        SCNetworkReachabilityContext c;
        c.info = this;
        c.retain = [](const void* info) -> const void* {
            ++static_cast<Recorder*>(const_cast<void*>(info))->retains;
            return info;
        };
        c.release = [](const void* info) { ++static_cast<Recorder*>(const_cast<void*>(info))->releases; };
        return c;
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return flags.size();
    }
};

TEST(SCNetworkReachability, ChangesAreToldOnTheScheduledRunLoop) {
    auto target = SCNetworkReachabilityCreateWithName("localhost");
    Recorder rec;
    auto ctx = rec.context();
    ASSERT_TRUE(SCNetworkReachabilitySetCallback(target, &Recorder::callback, &ctx));
    EXPECT_EQ(rec.retains, 1);
    auto loop = NSRunLoop::currentRunLoop();
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, loop, NSRunLoopCommonModes));

    // The same flags as now are no change; injected ones are, told on this thread.
    SCNetworkReachabilitySetFlagsOverride(target, kLocal);
    SCNetworkReachabilitySetFlagsOverride(target, 0x40002);
    EXPECT_EQ(rec.count(), 0u) << "told on the run loop, not inside the change";
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return rec.count() == 1; }, 5));
    EXPECT_EQ(rec.flags[0], 0x40002u);
    EXPECT_EQ(rec.threads[0], std::this_thread::get_id());
    SCNetworkReachabilityFlags now = 0;
    SCNetworkReachabilityGetFlags(target, &now);
    EXPECT_EQ(now, 0x40002u);

    SCNetworkReachabilitySetFlagsOverride(target, 0x6);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return rec.count() == 2; }, 5));
    EXPECT_EQ(rec.flags[1], 0x6u);

    // Unscheduled: nothing more is told.
    ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, loop, NSRunLoopCommonModes));
    SCNetworkReachabilitySetFlagsOverride(target, 0x2);
    spinMainRunLoopUntil([] { return false; }, 0.05);
    EXPECT_EQ(rec.count(), 2u);

    // Dropping the override goes back to computed flags.
    SCNetworkReachabilitySetFlagsOverride(target, std::nullopt);
    SCNetworkReachabilityGetFlags(target, &now);
    EXPECT_EQ(now, kLocal);

    target.reset();
    EXPECT_EQ(rec.releases, 1);
}

TEST(SCNetworkReachability, ChangesAreToldOnTheDispatchQueue) {
    auto target = SCNetworkReachabilityCreateWithName("localhost");
    Recorder rec;
    auto ctx = rec.context();
    SCNetworkReachabilitySetCallback(target, &Recorder::callback, &ctx);
    auto queue = dispatch_queue_create("reachability.test", DISPATCH_QUEUE_SERIAL);
    ASSERT_TRUE(SCNetworkReachabilitySetDispatchQueue(target, queue));
    SCNetworkReachabilitySetFlagsOverride(target, 0);
    SCNetworkReachabilitySetFlagsOverride(target, kReachable);
    {
        std::unique_lock lock(rec.mutex);
        ASSERT_TRUE(rec.cv.wait_for(lock, std::chrono::seconds(5), [&] { return rec.flags.size() == 2; }));
        EXPECT_EQ(rec.flags, (std::vector<SCNetworkReachabilityFlags>{0, kReachable}));
        EXPECT_EQ(rec.queues[0], "reachability.test");
    }
    // Replacing the callback releases the old context.
    SCNetworkReachabilitySetCallback(target, nullptr, nullptr);
    EXPECT_EQ(rec.releases, 1);
    SCNetworkReachabilitySetFlagsOverride(target, 0x6);
    SCNetworkReachabilitySetDispatchQueue(target, nullptr);
    dispatch_sync(queue, [] {});
    EXPECT_EQ(rec.count(), 2u);
}

}  // namespace
