#pragma once
// Whether a host name or address can be reached from here and how, from the machine's
// interfaces and default routes; change callbacks on a run loop or a dispatch queue.
//
// Names are never resolved: "localhost" (and "*.localhost") and numeric literals are judged
// as addresses, any other name is reachable when general connectivity is there (an up
// interface other than loopback that carries a default route).

#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>

using SCNetworkReachabilityFlags = uint32_t;

inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsReachable = 1u << 1;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionOnTraffic = 1u << 3;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsInterventionRequired = 1u << 4;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionOnDemand = 1u << 5;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsDirect = 1u << 17;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsWWAN = 1u << 18;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionAutomatic =
    kSCNetworkReachabilityFlagsConnectionOnTraffic;

class SCNetworkReachability;
using SCNetworkReachabilityRef = std::shared_ptr<SCNetworkReachability>;

using SCNetworkReachabilityCallBack = void (*)(const SCNetworkReachabilityRef& target,
                                               SCNetworkReachabilityFlags flags, void* info);

// info is handed to the callback; retain runs when the context is installed (its result is
// what the callback gets), release when it is replaced or the target goes away.
struct SCNetworkReachabilityContext {
    long version = 0;
    void* info = nullptr;
    const void* (*retain)(const void* info) = nullptr;
    void (*release)(const void* info) = nullptr;
    std::string (*copyDescription)(const void* info) = nullptr;
};

// A watched target. Use the functions below; the members are the implementation's.
class SCNetworkReachability : public std::enable_shared_from_this<SCNetworkReachability> {
public:
    struct Target;
    struct Delivery;
    explicit SCNetworkReachability(std::unique_ptr<Target> target);
    ~SCNetworkReachability();

    const Target& target() const { return *target_; }
    // Recomputes the flags and tells the callback when they differ from the last ones told.
    void refresh();

    std::unique_ptr<Target> target_;
    std::shared_ptr<Delivery> delivery_;
};

// nullptr for a null or empty name.
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithName(const char* nodename);
// An AF_INET or AF_INET6 address; the all-zero address stands for general connectivity.
// nullptr for other families.
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(const struct sockaddr* address);
// Either address may be null, not both.
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddressPair(const struct sockaddr* localAddress,
                                                                    const struct sockaddr* remoteAddress);

// The current flags; false when the target is null.
bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags* flags);

// A null callback removes the callback (and releases the context's info).
bool SCNetworkReachabilitySetCallback(const SCNetworkReachabilityRef& target, SCNetworkReachabilityCallBack callback,
                                      const SCNetworkReachabilityContext* context);
// Changes are told on this run loop's thread while it runs in mode.
bool SCNetworkReachabilityScheduleWithRunLoop(const SCNetworkReachabilityRef& target,
                                              const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
bool SCNetworkReachabilityUnscheduleFromRunLoop(const SCNetworkReachabilityRef& target,
                                                const std::shared_ptr<NSRunLoop>& runLoop,
                                                const NSRunLoopMode& mode);
// Changes are told on this queue; nullptr stops that.
bool SCNetworkReachabilitySetDispatchQueue(const SCNetworkReachabilityRef& target, const dispatch_queue_t& queue);

// Test hook: the target reports these flags instead of computed ones (nullopt: computed
// again), and a scheduled callback is told of the change as for a real one.
void SCNetworkReachabilitySetFlagsOverride(const SCNetworkReachabilityRef& target,
                                           std::optional<SCNetworkReachabilityFlags> flags);
