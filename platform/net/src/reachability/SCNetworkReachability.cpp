#include <platform_net/SCNetworkReachability.h>

#include <cstring>
#include <vector>

#include <platform_dispatch/RunLoopSource.h>

#include "reachability/NetworkChangeMonitor.h"

#include <platform_net/AirplaneMode.h>
#include "reachability/ReachabilityFlags.h"

struct SCNetworkReachability::Delivery {
    struct Scheduled {
        std::weak_ptr<NSRunLoop> loop;
        NSRunLoopMode mode;
        std::shared_ptr<RunLoopSource> source;
    };

    std::mutex mutex;
    SCNetworkReachabilityCallBack callback = nullptr;
    SCNetworkReachabilityContext context;  // info is the retained info
    std::vector<Scheduled> loops;
    dispatch_queue_t queue;
    std::optional<SCNetworkReachabilityFlags> override;
    // The flags last told (or current when scheduling began): a callback is told changes only.
    std::optional<SCNetworkReachabilityFlags> lastTold;
    std::optional<SCNetworkReachabilityFlags> pendingForRunLoop;

    bool scheduled() const { return !loops.empty() || queue != nullptr; }

    void releaseInfo() {
        if (context.release && context.info) context.release(context.info);
        context = {};
    }
};

namespace {

SCNetworkReachabilityFlags computeFlags(const SCNetworkReachability& target,
                                        const std::optional<SCNetworkReachabilityFlags>& override) {
    if (override) return *override;
    if (NetworkAirplaneMode::isOn()) return 0;
    return reachabilityFlags(target.target(), NetworkSnapshot::current());
}

// Tells the callback of flags on the calling thread, when one is still set.
void tell(const SCNetworkReachabilityRef& self, SCNetworkReachabilityFlags flags) {
    SCNetworkReachabilityCallBack callback;
    void* info;
    {
        std::lock_guard lock(self->delivery_->mutex);
        callback = self->delivery_->callback;
        info = self->delivery_->context.info;
    }
    if (callback) callback(self, flags, info);
}

std::optional<IPAddress> addressOf(const struct sockaddr* sa) {
    if (!sa || (sa->sa_family != AF_INET && sa->sa_family != AF_INET6)) return std::nullopt;
    return IPAddress::fromSockaddr(sa);
}

}  // namespace

SCNetworkReachability::SCNetworkReachability(std::unique_ptr<Target> target)
    : target_(std::move(target)), delivery_(std::make_shared<Delivery>()) {}

SCNetworkReachability::~SCNetworkReachability() {
    NetworkChangeMonitor::unsubscribe(this);
    std::lock_guard lock(delivery_->mutex);
    for (auto& s : delivery_->loops) {
        s.source->invalidate();
        if (auto loop = s.loop.lock()) loop->removeSource(s.source, s.mode);
    }
    delivery_->releaseInfo();
}

void SCNetworkReachability::refresh() {
    std::optional<SCNetworkReachabilityFlags> override;
    {
        std::lock_guard lock(delivery_->mutex);
        if (!delivery_->scheduled()) return;
        override = delivery_->override;
    }
    SCNetworkReachabilityFlags flags = computeFlags(*this, override);
    std::vector<std::shared_ptr<RunLoopSource>> sources;
    dispatch_queue_t queue;
    {
        std::lock_guard lock(delivery_->mutex);
        if (!delivery_->scheduled() || delivery_->lastTold == flags) return;
        delivery_->lastTold = flags;
        if (!delivery_->loops.empty()) {
            delivery_->pendingForRunLoop = flags;
            for (auto& s : delivery_->loops) sources.push_back(s.source);
        }
        queue = delivery_->queue;
    }
    for (auto& s : sources) s->signal();
    if (queue) {
        std::weak_ptr<SCNetworkReachability> weak = weak_from_this();
        dispatch_async(queue, [weak, flags] {
            if (auto self = weak.lock()) tell(self, flags);
        });
    }
}

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithName(const char* nodename) {
    if (!nodename || !*nodename) return nullptr;
    auto t = std::make_unique<SCNetworkReachability::Target>();
    t->kind = SCNetworkReachability::Target::Kind::Name;
    t->name = nodename;
    return std::make_shared<SCNetworkReachability>(std::move(t));
}

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(const struct sockaddr* address) {
    auto a = addressOf(address);
    if (!a) return nullptr;
    auto t = std::make_unique<SCNetworkReachability::Target>();
    t->kind = SCNetworkReachability::Target::Kind::Address;
    t->remote = a;
    return std::make_shared<SCNetworkReachability>(std::move(t));
}

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddressPair(const struct sockaddr* localAddress,
                                                                    const struct sockaddr* remoteAddress) {
    auto local = addressOf(localAddress);
    auto remote = addressOf(remoteAddress);
    if ((localAddress && !local) || (remoteAddress && !remote) || (!local && !remote)) return nullptr;
    auto t = std::make_unique<SCNetworkReachability::Target>();
    t->kind = SCNetworkReachability::Target::Kind::AddressPair;
    t->local = local;
    t->remote = remote;
    return std::make_shared<SCNetworkReachability>(std::move(t));
}

bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags* flags) {
    if (!target || !flags) return false;
    std::optional<SCNetworkReachabilityFlags> override;
    {
        std::lock_guard lock(target->delivery_->mutex);
        override = target->delivery_->override;
    }
    *flags = computeFlags(*target, override);
    return true;
}

bool SCNetworkReachabilitySetCallback(const SCNetworkReachabilityRef& target, SCNetworkReachabilityCallBack callback,
                                      const SCNetworkReachabilityContext* context) {
    if (!target) return false;
    SCNetworkReachabilityContext installed;
    if (callback && context) {
        installed = *context;
        if (context->retain && context->info) installed.info = const_cast<void*>(context->retain(context->info));
    }
    std::lock_guard lock(target->delivery_->mutex);
    target->delivery_->releaseInfo();
    target->delivery_->callback = callback;
    target->delivery_->context = installed;
    return true;
}

namespace {

// Starting to deliver: the current flags become the baseline that changes are told against.
void beginScheduling(const SCNetworkReachabilityRef& target, bool wasScheduled) {
    if (wasScheduled) return;
    std::optional<SCNetworkReachabilityFlags> override;
    {
        std::lock_guard lock(target->delivery_->mutex);
        override = target->delivery_->override;
    }
    SCNetworkReachabilityFlags flags = computeFlags(*target, override);
    {
        std::lock_guard lock(target->delivery_->mutex);
        target->delivery_->lastTold = flags;
    }
    NetworkChangeMonitor::subscribe(target);
}

void endSchedulingIfIdle(const SCNetworkReachabilityRef& target) {
    bool idle;
    {
        std::lock_guard lock(target->delivery_->mutex);
        idle = !target->delivery_->scheduled();
        if (idle) target->delivery_->lastTold.reset();
    }
    if (idle) NetworkChangeMonitor::unsubscribe(target.get());
}

}  // namespace

bool SCNetworkReachabilityScheduleWithRunLoop(const SCNetworkReachabilityRef& target,
                                              const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) {
    if (!target || !runLoop) return false;
    std::weak_ptr<SCNetworkReachability> weak = target;
    auto source = std::make_shared<RunLoopSource>([weak] {
        auto self = weak.lock();
        if (!self) return;
        std::optional<SCNetworkReachabilityFlags> flags;
        {
            std::lock_guard lock(self->delivery_->mutex);
            flags.swap(self->delivery_->pendingForRunLoop);
        }
        if (flags) tell(self, *flags);
    });
    bool wasScheduled;
    {
        std::lock_guard lock(target->delivery_->mutex);
        for (auto& s : target->delivery_->loops) {
            if (s.loop.lock() == runLoop && s.mode == mode) return true;
        }
        wasScheduled = target->delivery_->scheduled();
        target->delivery_->loops.push_back({runLoop, mode, source});
    }
    runLoop->addSource(source, mode);
    beginScheduling(target, wasScheduled);
    return true;
}

bool SCNetworkReachabilityUnscheduleFromRunLoop(const SCNetworkReachabilityRef& target,
                                                const std::shared_ptr<NSRunLoop>& runLoop,
                                                const NSRunLoopMode& mode) {
    if (!target || !runLoop) return false;
    std::shared_ptr<RunLoopSource> removed;
    {
        std::lock_guard lock(target->delivery_->mutex);
        auto& loops = target->delivery_->loops;
        for (auto it = loops.begin(); it != loops.end(); ++it) {
            if (it->loop.lock() == runLoop && it->mode == mode) {
                removed = it->source;
                loops.erase(it);
                break;
            }
        }
    }
    if (!removed) return false;
    removed->invalidate();
    runLoop->removeSource(removed, mode);
    endSchedulingIfIdle(target);
    return true;
}

bool SCNetworkReachabilitySetDispatchQueue(const SCNetworkReachabilityRef& target, const dispatch_queue_t& queue) {
    if (!target) return false;
    bool wasScheduled;
    {
        std::lock_guard lock(target->delivery_->mutex);
        wasScheduled = target->delivery_->scheduled();
        target->delivery_->queue = queue;
    }
    if (queue) {
        beginScheduling(target, wasScheduled);
    } else {
        endSchedulingIfIdle(target);
    }
    return true;
}

void SCNetworkReachabilitySetFlagsOverride(const SCNetworkReachabilityRef& target,
                                           std::optional<SCNetworkReachabilityFlags> flags) {
    if (!target) return;
    {
        std::lock_guard lock(target->delivery_->mutex);
        target->delivery_->override = flags;
    }
    target->refresh();
}
