#pragma once
// Broadcasts notifications to the observers registered for their name and/or sender,
// synchronously on the posting thread (or on an observer's operation queue).

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <platform_foundation/NSNotification.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

class NSOperationQueue;

inline constexpr char NSUserDefaultsDidChangeNotification[] = "NSUserDefaultsDidChangeNotification";

// A notification name to observe; nullptr stands for every name.
struct NSNotificationNameFilter {
    std::optional<std::string> name;
    NSNotificationNameFilter(std::nullptr_t) {}
    NSNotificationNameFilter(const char* n) {
        if (n) name = n;
    }
    NSNotificationNameFilter(std::string n) : name(std::move(n)) {}
    NSNotificationNameFilter(std::string_view n) : name(std::string(n)) {}
};

using NSNotificationHandler = std::function<void(const NSNotification&)>;

class NSNotificationCenter : public NSObject {
public:
    NSNotificationCenter();
    ~NSNotificationCenter() override;
    static std::shared_ptr<NSNotificationCenter> defaultCenter();

    std::string className() const override { return "NSNotificationCenter"; }

    // Block observer: the centre keeps it until it is removed with the returned token. An
    // object filter of Null accepts any sender; an object reference matches by identity (the
    // centre does not keep the sender alive), any other value by equality. With a queue the
    // block runs there and the post waits for it to finish (unless the posting thread already
    // runs that queue, or it is the main queue and the poster is the main thread: then it runs
    // in place); without a queue it runs on the posting thread.
    std::shared_ptr<NSObject> addObserverForName(NSNotificationNameFilter name, const Value& object,
                                                 std::shared_ptr<NSOperationQueue> queue, NSNotificationHandler block);

    // Target observer: the centre holds the observer weakly; once it is gone its handler is
    // never called again. The observer is kept alive while its handler runs.
    void addObserver(const std::shared_ptr<NSObject>& observer, NSNotificationHandler handler,
                     NSNotificationNameFilter name, const Value& object);
    // The selector form: calls observer->method(notification).
    template <class T>
    void addObserver(const std::shared_ptr<T>& observer, void (T::*method)(const NSNotification&),
                     NSNotificationNameFilter name, const Value& object) {
        std::weak_ptr<T> weak = observer;
        addObserver(std::static_pointer_cast<NSObject>(observer),
                    [weak, method](const NSNotification& n) {
                        if (auto strong = weak.lock()) ((*strong).*method)(n);
                    },
                    std::move(name), object);
    }

    // Removes every registration of the observer (a target, or a token from
    // addObserverForName), or only those matching a name and sender (nullptr / Null: any).
    // Registrations removed during a post are not called by the rest of that post.
    void removeObserver(const std::shared_ptr<NSObject>& observer);
    void removeObserver(const std::shared_ptr<NSObject>& observer, NSNotificationNameFilter name, const Value& object);

    // Calls every matching observer, in registration order, before returning. Observers
    // added during the post see the next one.
    void postNotification(const std::shared_ptr<NSNotification>& notification);
    void postNotificationName(const std::string& name, const Value& object = {}, const Value& userInfo = {});

private:
    struct Registration;
    std::mutex mutex_;
    std::vector<std::shared_ptr<Registration>> registrations_;
};
