// The legacy local-notification calls of the application object, and the
// presenter it installs in the notification centre.

#include <platform_uikit/UIApplication.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSUUID.h>
#include <platform_system/UNUserNotificationCenter.h>

std::shared_ptr<UIUserNotificationSettings> UIUserNotificationSettings::settingsForTypes(UIUserNotificationType types,
                                                                                        Value categories) {
    return std::make_shared<UIUserNotificationSettings>(types, std::move(categories));
}

void UIApplication::registerUserNotificationSettings(const std::shared_ptr<UIUserNotificationSettings>& settings) {
    notificationSettings_ = settings;
    UNUserNotificationCenter::currentNotificationCenter()->requestAuthorizationWithOptions(
        settings ? settings->types() : 0, nullptr);
}

std::shared_ptr<UIUserNotificationSettings> UIApplication::currentUserNotificationSettings() const {
    // What the device allows: nothing while notifications are not authorised.
    const bool authorized = UNUserNotificationCenter::currentNotificationCenter()->authorizationStatus() ==
                            UNAuthorizationStatusAuthorized;
    if (!authorized || !notificationSettings_) return UIUserNotificationSettings::settingsForTypes(UIUserNotificationTypeNone);
    return notificationSettings_;
}

void UIApplication::presentLocalNotificationNow(const std::shared_ptr<UILocalNotification>& notification) {
    if (!notification) return;
    auto content = std::make_shared<UNMutableNotificationContent>();
    content->body = notification->alertBody;
    content->sound = UNNotificationSound::defaultSound();
    UNUserNotificationCenter::currentNotificationCenter()->addNotificationRequest(
        UNNotificationRequest::requestWithIdentifier(NSUUID::UUID()->UUIDString(), content, nullptr));
}

void UIApplication::cancelAllLocalNotifications() {
    UNUserNotificationCenter::currentNotificationCenter()->removeAllPendingNotificationRequests();
}

void UIApplication::setNotificationBanner(NotificationBanner banner) { banner_ = std::move(banner); }

void UIApplication::installNotificationPresenter() {
    std::weak_ptr<NSObject> self = weak_from_this();
    if (self.expired()) return;  // an application object no one shares cannot be reached later
    auto weak = [self] { return std::static_pointer_cast<UIApplication>(self.lock()); };
    UNUserNotificationCenter::currentNotificationCenter()->setPresenter(
        {[weak] {
             auto app = weak();
             return app && app->applicationState() == UIApplicationStateActive;
         },
         [weak](const std::shared_ptr<UNNotification>& notification) {
             auto app = weak();
             if (!app || !app->banner_) return;
             const auto& content = *notification->request()->content();
             app->banner_(content.title, content.body);
         }});
}
