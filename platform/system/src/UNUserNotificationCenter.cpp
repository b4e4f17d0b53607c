#include <platform_system/UNUserNotificationCenter.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchTime.h>
#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/SystemRecords.h>
#include <platform_runtime/ObjCAvailability.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string_view>

namespace {

// The delegate's optional method: its base body marks it missing (main queue only).
thread_local bool willPresentMissing = false;

bool allowedFromEnvironment() {
    const char* env = std::getenv(UNUserNotificationCenter::kSettingEnvironmentVariable);
    const std::string_view value = env ? env : "";
    if (value == "deny") return false;
    if (!value.empty() && value != "allow")
        NSLog("%s=%s is not allow or deny; notifications stay allowed",
              UNUserNotificationCenter::kSettingEnvironmentVariable, env);
    return true;
}

double now1970() { return NSDate::date().timeIntervalSince1970(); }

dispatch_queue_t platformQueue() { return dispatch_get_global_queue(0, 0); }

void logDroppedAtExit();

}  // namespace

void UNUserNotificationCenterDelegate::userNotificationCenterWillPresentNotification(
    UNUserNotificationCenter&, const std::shared_ptr<UNNotification>&,
    std::function<void(UNNotificationPresentationOptions)>) {
    willPresentMissing = true;
}

UNUserNotificationCenter::UNUserNotificationCenter() : allowed_(allowedFromEnvironment()) {}

std::shared_ptr<UNUserNotificationCenter> UNUserNotificationCenter::currentNotificationCenter() {
    static auto* center = [] {
        auto* c = new std::shared_ptr<UNUserNotificationCenter>(std::make_shared<UNUserNotificationCenter>());
        std::atexit(logDroppedAtExit);
        return c;
    }();
    return *center;
}

namespace {
void logDroppedAtExit() {
    for (const auto& request : UNUserNotificationCenter::currentNotificationCenter()->pendingNotificationRequests())
        NSLog("Notification \"%s\" was still pending when the process ended; dropped", request->identifier().c_str());
}
}  // namespace

void UNUserNotificationCenter::setNotificationsAllowed(bool allowed) {
    std::lock_guard lock(m_);
    allowed_ = allowed;
    // A decision already made follows the device's setting.
    if (status_ != UNAuthorizationStatusNotDetermined)
        status_ = allowed ? UNAuthorizationStatusAuthorized : UNAuthorizationStatusDenied;
}

std::shared_ptr<UNUserNotificationCenterDelegate> UNUserNotificationCenter::delegate() const {
    std::lock_guard lock(m_);
    return delegate_.lock();
}

void UNUserNotificationCenter::setDelegate(const std::shared_ptr<UNUserNotificationCenterDelegate>& delegate) {
    std::lock_guard lock(m_);
    delegate_ = delegate;
}

void UNUserNotificationCenter::requestAuthorizationWithOptions(
    UNAuthorizationOptions, std::function<void(bool, NSErrorPtr)> completionHandler) {
    bool granted;
    {
        std::lock_guard lock(m_);
        granted = allowed_;
        status_ = granted ? UNAuthorizationStatusAuthorized : UNAuthorizationStatusDenied;
    }
    if (completionHandler)
        dispatch_async(platformQueue(), [completionHandler, granted] { completionHandler(granted, nullptr); });
}

UNAuthorizationStatus UNUserNotificationCenter::authorizationStatus() const {
    std::lock_guard lock(m_);
    return status_;
}

void UNUserNotificationCenter::getNotificationSettingsWithCompletionHandler(
    std::function<void(std::shared_ptr<UNNotificationSettings>)> completionHandler) {
    if (!completionHandler) return;
    auto settings = std::make_shared<UNNotificationSettings>(authorizationStatus());
    dispatch_async(platformQueue(), [completionHandler, settings] { completionHandler(settings); });
}

void UNUserNotificationCenter::addNotificationRequest(const std::shared_ptr<UNNotificationRequest>& request,
                                                      std::function<void(NSErrorPtr)> completionHandler) {
    if (request) {
        Pending pending;
        {
            std::lock_guard lock(m_);
            pending = Pending{request, ++nextToken_, now1970()};
            pending_[request->identifier()] = pending;  // replaces one with the same identifier
        }
        schedule(pending, request->trigger() ? request->trigger()->timeInterval() : 0);
    }
    if (completionHandler) dispatch_async(platformQueue(), [completionHandler] { completionHandler(nullptr); });
}

void UNUserNotificationCenter::schedule(const Pending& pending, double delay) {
    std::weak_ptr<UNUserNotificationCenter> weak =
        std::static_pointer_cast<UNUserNotificationCenter>(shared_from_this());
    auto fireBlock = [weak, identifier = pending.request->identifier(), token = pending.token] {
        if (auto center = weak.lock()) center->fire(identifier, token);
    };
    if (delay <= 0)
        dispatch_async(dispatch_get_main_queue(), fireBlock);
    else
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)),
                       dispatch_get_main_queue(), fireBlock);
}

void UNUserNotificationCenter::fire(const std::string& identifier, uint64_t token) {
    Pending pending;
    {
        std::lock_guard lock(m_);
        auto it = pending_.find(identifier);
        // Replaced or removed since it was scheduled.
        if (it == pending_.end() || it->second.token != token) return;
        pending = it->second;
        const auto& trigger = pending.request->trigger();
        if (!trigger || !trigger->repeats()) pending_.erase(it);
    }
    if (const auto& trigger = pending.request->trigger(); trigger && trigger->repeats())
        schedule(pending, trigger->timeInterval());
    deliver(pending);
}

void UNUserNotificationCenter::deliver(const Pending& pending) {
    auto notification = std::make_shared<UNNotification>(pending.request, NSDate::date());
    UNNotificationPresenter presenter;
    std::shared_ptr<UNUserNotificationCenterDelegate> delegate;
    bool authorized;
    {
        std::lock_guard lock(m_);
        presenter = presenter_;
        delegate = delegate_.lock();
        authorized = status_ == UNAuthorizationStatusAuthorized;
    }
    if (!authorized) return finish(pending, notification, "not shown", false);
    const bool inFront = presenter.isAppInFront && presenter.isAppInFront();
    if (!inFront) return finish(pending, notification, "presented", true);

    bool implemented = false;
    if (delegate) {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        std::weak_ptr<UNUserNotificationCenter> weak =
            std::static_pointer_cast<UNUserNotificationCenter>(shared_from_this());
        auto completion = [weak, pending, notification, answered](UNNotificationPresentationOptions options) {
            if (answered->exchange(true)) {
                NSLog("Notification \"%s\": the presentation answer came twice; the second is ignored",
                      pending.request->identifier().c_str());
                return;
            }
            auto record = [weak, pending, notification, options] {
                if (auto center = weak.lock()) {
                    if (options & (UNNotificationPresentationOptionAlert | UNNotificationPresentationOptionSound |
                                   UNNotificationPresentationOptionBadge))
                        center->finish(pending, notification, "presented", true);
                    else
                        center->finish(pending, notification, "not presented (app in front)", false);
                }
            };
            dispatch_async(dispatch_get_main_queue(), record);
        };
        const bool outer = willPresentMissing;
        willPresentMissing = false;
        delegate->userNotificationCenterWillPresentNotification(*this, notification, completion);
        implemented = !willPresentMissing;
        willPresentMissing = outer;
    }
    if (!implemented) finish(pending, notification, "not presented (app in front)", false);
}

void UNUserNotificationCenter::finish(const Pending& pending, const std::shared_ptr<UNNotification>& notification,
                                      const char* outcome, bool present) {
    UNNotificationPresenter presenter;
    if (present) {
        std::lock_guard lock(m_);
        delivered_.push_back(notification);
        presenter = presenter_;
    }
    if (present && presenter.present) presenter.present(notification);
    const auto& content = *pending.request->content();
    Value line = Value::mutableDictionary();
    line.setObject(pending.request->identifier(), "identifier");
    line.setObject(content.title, "title");
    line.setObject(content.body, "body");
    line.setObject(content.sound ? Value("default") : Value(), "sound");
    if (content.badge) line.setObject(*content.badge, "badge");
    line.setObject(pending.requestedAt, "requested");
    line.setObject(notification->date().timeIntervalSince1970(), "delivered");
    line.setObject(outcome, "outcome");
    (void)SystemRecords::append(kRecordsFile, line);
}

std::vector<std::shared_ptr<UNNotificationRequest>> UNUserNotificationCenter::pendingNotificationRequests() const {
    std::lock_guard lock(m_);
    std::vector<std::shared_ptr<UNNotificationRequest>> out;
    for (const auto& [identifier, pending] : pending_) out.push_back(pending.request);
    return out;
}

std::vector<std::shared_ptr<UNNotification>> UNUserNotificationCenter::deliveredNotifications() const {
    std::lock_guard lock(m_);
    return delivered_;
}

void UNUserNotificationCenter::removePendingNotificationRequestsWithIdentifiers(
    const std::vector<std::string>& identifiers) {
    std::lock_guard lock(m_);
    for (const auto& identifier : identifiers) pending_.erase(identifier);
}

void UNUserNotificationCenter::removeAllPendingNotificationRequests() {
    std::lock_guard lock(m_);
    pending_.clear();
}

void UNUserNotificationCenter::removeDeliveredNotificationsWithIdentifiers(
    const std::vector<std::string>& identifiers) {
    std::lock_guard lock(m_);
    std::erase_if(delivered_, [&](const std::shared_ptr<UNNotification>& n) {
        return std::find(identifiers.begin(), identifiers.end(), n->request()->identifier()) != identifiers.end();
    });
}

void UNUserNotificationCenter::removeAllDeliveredNotifications() {
    std::lock_guard lock(m_);
    delivered_.clear();
}

void UNUserNotificationCenter::setPresenter(UNNotificationPresenter presenter) {
    std::lock_guard lock(m_);
    presenter_ = std::move(presenter);
}

void UNUserNotificationCenter::resetForTesting() {
    std::lock_guard lock(m_);
    allowed_ = allowedFromEnvironment();
    status_ = UNAuthorizationStatusNotDetermined;
    delegate_.reset();
    pending_.clear();
    delivered_.clear();
    presenter_ = {};
}

namespace {
bool fromTen() { return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({10, 0, 0}); }
}  // namespace

NS_CLASS_LOAD(UNUserNotificationCenter) { objc_setClassAvailability(cls, fromTen); }
NS_CLASS_LOAD(UNNotificationSettings) { objc_setClassAvailability(cls, fromTen); }
