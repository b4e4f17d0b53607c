#include <platform_foundation/NSNotificationCenter.h>

#include <atomic>
#include <condition_variable>

#include <platform_dispatch/NSOperation.h>
#include <platform_dispatch/NSOperationQueue.h>
#include <platform_dispatch/NSThread.h>

namespace {

// The opaque token handed out for a block observer.
class NotificationObserverToken : public NSObject {
public:
    std::string className() const override { return "NSNotificationObserver"; }
};

// What an observer wants to hear from: any sender, one object (by identity, held weakly),
// or one value (by equality).
struct SenderFilter {
    bool any = true;
    const NSObject* identity = nullptr;
    std::weak_ptr<NSObject> weakObject;
    Value value;

    explicit SenderFilter(const Value& object) {
        if (object.isNull()) return;
        any = false;
        if (object.isObject()) {
            identity = object.asObject().get();
            weakObject = object.asObject();
        } else {
            value = object;
        }
    }

    bool matches(const Value& sender) const {
        if (any) return true;
        if (identity) return sender.isObject() && sender.asObject().get() == identity && !weakObject.expired();
        return !sender.isObject() && !sender.isNull() && sender.isEqual(value);
    }

    // The same filter as given to removeObserver (Null there means "any").
    bool sameAs(const SenderFilter& other) const {
        if (other.any) return true;
        if (identity || other.identity) return identity == other.identity;
        return value.isEqual(other.value);
    }
};

// Runs `block` on `queue` and waits for it, or in place when the caller already runs there.
void deliverOnQueue(const std::shared_ptr<NSOperationQueue>& queue, const std::function<void()>& block) {
    if (NSOperationQueue::currentQueue() == queue ||
        (queue == NSOperationQueue::mainQueue() && NSThread::isMainThread())) {
        block();
        return;
    }
    struct Done {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        void signal() {
            std::lock_guard<std::mutex> lock(m);
            done = true;
            cv.notify_all();
        }
    };
    auto done = std::make_shared<Done>();
    auto operation = NSBlockOperation::blockOperationWithBlock(block);
    // The completion also runs for an operation cancelled before it started.
    operation->setCompletionBlock([done] { done->signal(); });
    queue->addOperation(operation);
    std::unique_lock<std::mutex> lock(done->m);
    done->cv.wait(lock, [&] { return done->done; });
}

}  // namespace

struct NSNotificationCenter::Registration {
    std::optional<std::string> name;
    SenderFilter sender;
    NSNotificationHandler handler;
    std::shared_ptr<NSOperationQueue> queue;
    // Block observers: the token (the centre keeps it). Target observers: the target, weakly.
    std::shared_ptr<NSObject> token;
    std::weak_ptr<NSObject> target;
    const NSObject* identity = nullptr;
    std::atomic<bool> removed{false};

    Registration(std::optional<std::string> n, const Value& object) : name(std::move(n)), sender(object) {}

    bool matches(const NSNotification& note) const {
        return (!name || *name == note.name()) && sender.matches(note.object());
    }
    bool expired() const { return !token && target.expired(); }
};

NSNotificationCenter::NSNotificationCenter() = default;
NSNotificationCenter::~NSNotificationCenter() = default;

std::shared_ptr<NSNotificationCenter> NSNotificationCenter::defaultCenter() {
    // Never destroyed: threads still running while the process exits may use it.
    static const auto* center = new std::shared_ptr<NSNotificationCenter>(std::make_shared<NSNotificationCenter>());
    return *center;
}

std::shared_ptr<NSObject> NSNotificationCenter::addObserverForName(NSNotificationNameFilter name, const Value& object,
                                                                   std::shared_ptr<NSOperationQueue> queue,
                                                                   NSNotificationHandler block) {
    auto registration = std::make_shared<Registration>(std::move(name.name), object);
    registration->handler = std::move(block);
    registration->queue = std::move(queue);
    registration->token = std::make_shared<NotificationObserverToken>();
    registration->identity = registration->token.get();
    std::lock_guard<std::mutex> lock(mutex_);
    registrations_.push_back(registration);
    return registration->token;
}

void NSNotificationCenter::addObserver(const std::shared_ptr<NSObject>& observer, NSNotificationHandler handler,
                                       NSNotificationNameFilter name, const Value& object) {
    if (!observer || !handler) return;
    auto registration = std::make_shared<Registration>(std::move(name.name), object);
    registration->handler = std::move(handler);
    registration->target = observer;
    registration->identity = observer.get();
    std::lock_guard<std::mutex> lock(mutex_);
    registrations_.push_back(registration);
}

void NSNotificationCenter::removeObserver(const std::shared_ptr<NSObject>& observer) {
    removeObserver(observer, nullptr, Value());
}

void NSNotificationCenter::removeObserver(const std::shared_ptr<NSObject>& observer, NSNotificationNameFilter name,
                                          const Value& object) {
    if (!observer) return;
    SenderFilter filter(object);
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(registrations_, [&](const std::shared_ptr<Registration>& r) {
        bool match = r->identity == observer.get() && (!name.name || r->name == name.name) && r->sender.sameAs(filter);
        if (match) r->removed = true;
        return match;
    });
}

void NSNotificationCenter::postNotification(const std::shared_ptr<NSNotification>& notification) {
    if (!notification) return;
    std::vector<std::shared_ptr<Registration>> snapshot;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(registrations_, [](const std::shared_ptr<Registration>& r) {
            if (r->expired()) r->removed = true;
            return r->removed.load();
        });
        for (const auto& r : registrations_)
            if (r->matches(*notification)) snapshot.push_back(r);
    }
    for (const auto& r : snapshot) {
        if (r->removed) continue;
        if (r->token) {
            if (r->queue) {
                deliverOnQueue(r->queue, [r, notification] {
                    if (!r->removed) r->handler(*notification);
                });
            } else {
                r->handler(*notification);
            }
            continue;
        }
        // Keep the target alive while its handler runs; a dead one is skipped.
        if (auto target = r->target.lock()) r->handler(*notification);
    }
}

void NSNotificationCenter::postNotificationName(const std::string& name, const Value& object, const Value& userInfo) {
    postNotification(NSNotification::notificationWithName(name, object, userInfo));
}
