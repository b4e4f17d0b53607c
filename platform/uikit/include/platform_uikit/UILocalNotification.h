#pragma once
// The legacy notification interface: the settings an app registers and the
// local notification it presents. Both go through the process's notification
// centre (UNUserNotificationCenter), so either interface's cancel empties both.
//
// Values: build on any thread; UIApplication's calls take them from the main thread.

#include <platform_runtime/NSDate.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

using UIUserNotificationType = uint64_t;
inline constexpr UIUserNotificationType UIUserNotificationTypeNone = 0;
inline constexpr UIUserNotificationType UIUserNotificationTypeBadge = 1;
inline constexpr UIUserNotificationType UIUserNotificationTypeSound = 2;
inline constexpr UIUserNotificationType UIUserNotificationTypeAlert = 4;

class UIUserNotificationSettings : public NSObject {
    NS_CLASS(UIUserNotificationSettings, NSObject)
public:
    static std::shared_ptr<UIUserNotificationSettings> settingsForTypes(UIUserNotificationType types,
                                                                        Value categories = Value());
    UIUserNotificationType types() const { return types_; }
    const Value& categories() const { return categories_; }

    UIUserNotificationSettings(UIUserNotificationType types = UIUserNotificationTypeNone, Value categories = Value())
        : types_(types), categories_(std::move(categories)) {}

private:
    UIUserNotificationType types_;
    Value categories_;
};

class UILocalNotification : public NSObject {
    NS_CLASS(UILocalNotification, NSObject)
public:
    std::string alertBody;
    std::optional<NSDate> fireDate;
};
