#pragma once
// The process's local-notification store and scheduler: authorization from
// the device's notification setting, pending requests delivered at their
// trigger's time on the main queue (the manual clock in tests), the delivered
// list, and one record per delivery in System/notifications.jsonl. The
// legacy UIKit interface shares this store.
//
// Any thread for the calls; completions of authorization, settings and add
// run on a platform queue (never the main queue); delivery, the delegate and
// the presenter run on the main queue. One per process, never destroyed.

#include <platform_system/UNNotificationRequest.h>

#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using UNAuthorizationOptions = uint64_t;
inline constexpr UNAuthorizationOptions UNAuthorizationOptionBadge = 1;
inline constexpr UNAuthorizationOptions UNAuthorizationOptionSound = 2;
inline constexpr UNAuthorizationOptions UNAuthorizationOptionAlert = 4;

using UNNotificationPresentationOptions = uint64_t;
inline constexpr UNNotificationPresentationOptions UNNotificationPresentationOptionBadge = 1;
inline constexpr UNNotificationPresentationOptions UNNotificationPresentationOptionSound = 2;
inline constexpr UNNotificationPresentationOptions UNNotificationPresentationOptionAlert = 4;

enum UNAuthorizationStatus : int64_t {
    UNAuthorizationStatusNotDetermined = 0,
    UNAuthorizationStatusDenied = 1,
    UNAuthorizationStatusAuthorized = 2,
};

class UNNotificationSettings : public NSObject {
    NS_CLASS(UNNotificationSettings, NSObject)
public:
    explicit UNNotificationSettings(UNAuthorizationStatus status = UNAuthorizationStatusNotDetermined)
        : status_(status) {}
    UNAuthorizationStatus authorizationStatus() const { return status_; }

private:
    UNAuthorizationStatus status_;
};

class UNUserNotificationCenter;

// The app's delegate; the method is optional (the base body marks it missing).
class UNUserNotificationCenterDelegate {
public:
    virtual ~UNUserNotificationCenterDelegate() = default;
    // Main queue, only while the app is in front. Without it, a notification
    // that arrives while the app is in front is not presented.
    virtual void userNotificationCenterWillPresentNotification(
        UNUserNotificationCenter& center, const std::shared_ptr<UNNotification>& notification,
        std::function<void(UNNotificationPresentationOptions)> completionHandler);
};

// What the centre asks about the app's screen; the application object installs it.
struct UNNotificationPresenter {
    std::function<bool()> isAppInFront;                                     // none: not in front
    std::function<void(const std::shared_ptr<UNNotification>&)> present;   // none: the record is all
};

class UNUserNotificationCenter : public NSObject {
    NS_CLASS(UNUserNotificationCenter, NSObject)
public:
    static std::shared_ptr<UNUserNotificationCenter> currentNotificationCenter();

    // The device's setting: APP_NOTIFICATIONS=allow|deny (allow when unset);
    // the host changes it with setNotificationsAllowed, the app only reads it.
    static constexpr const char* kSettingEnvironmentVariable = "APP_NOTIFICATIONS";
    static constexpr const char* kRecordsFile = "notifications.jsonl";
    void setNotificationsAllowed(bool allowed);

    std::shared_ptr<UNUserNotificationCenterDelegate> delegate() const;
    void setDelegate(const std::shared_ptr<UNUserNotificationCenterDelegate>& delegate);  // held weakly

    // Answers (granted, error) from the device's setting; afterwards the
    // status is authorized or denied.
    void requestAuthorizationWithOptions(UNAuthorizationOptions options,
                                         std::function<void(bool granted, NSErrorPtr error)> completionHandler);
    void getNotificationSettingsWithCompletionHandler(
        std::function<void(std::shared_ptr<UNNotificationSettings>)> completionHandler);
    UNAuthorizationStatus authorizationStatus() const;

    // Schedules the request; one with the same identifier replaces the pending one.
    void addNotificationRequest(const std::shared_ptr<UNNotificationRequest>& request,
                                std::function<void(NSErrorPtr)> completionHandler = nullptr);
    std::vector<std::shared_ptr<UNNotificationRequest>> pendingNotificationRequests() const;
    std::vector<std::shared_ptr<UNNotification>> deliveredNotifications() const;
    void removePendingNotificationRequestsWithIdentifiers(const std::vector<std::string>& identifiers);
    void removeAllPendingNotificationRequests();
    void removeDeliveredNotificationsWithIdentifiers(const std::vector<std::string>& identifiers);
    void removeAllDeliveredNotifications();

    void setPresenter(UNNotificationPresenter presenter);

    // Tests: nothing pending or delivered, no delegate, no presenter, status
    // not determined, setting from the environment.
    void resetForTesting();

    UNUserNotificationCenter();

private:
    struct Pending {
        std::shared_ptr<UNNotificationRequest> request;
        uint64_t token;
        double requestedAt;  // seconds since 1970
    };
    void schedule(const Pending& pending, double delay);
    void fire(const std::string& identifier, uint64_t token);
    void deliver(const Pending& pending);
    void finish(const Pending& pending, const std::shared_ptr<UNNotification>& notification, const char* outcome,
                bool present);

    mutable std::mutex m_;
    bool allowed_;
    UNAuthorizationStatus status_ = UNAuthorizationStatusNotDetermined;
    std::weak_ptr<UNUserNotificationCenterDelegate> delegate_;
    std::map<std::string, Pending> pending_;
    std::vector<std::shared_ptr<UNNotification>> delivered_;
    uint64_t nextToken_ = 0;
    UNNotificationPresenter presenter_;
};
