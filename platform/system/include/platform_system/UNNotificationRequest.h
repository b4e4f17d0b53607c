#pragma once
// What a local notification is made of: its content, its time trigger, the
// request that names it, and the notification it becomes when delivered.
// These classes exist from system 10 on; below, NSClassFromString finds none.
//
// Values: build on any thread, then hand over; nothing here changes after add.

#include <platform_runtime/NSDate.h>
#include <platform_runtime/ObjCDeclare.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class UNNotificationSound : public NSObject {
    NS_CLASS(UNNotificationSound, NSObject)
public:
    static std::shared_ptr<UNNotificationSound> defaultSound();
};

class UNMutableNotificationContent : public NSObject {
    NS_CLASS(UNMutableNotificationContent, NSObject)
public:
    std::string title;
    std::string body;
    std::shared_ptr<UNNotificationSound> sound;  // none: silent
    std::optional<int64_t> badge;
};
using UNNotificationContent = UNMutableNotificationContent;

class UNTimeIntervalNotificationTrigger : public NSObject {
    NS_CLASS(UNTimeIntervalNotificationTrigger, NSObject)
public:
    // Raises NSInvalidArgumentException for an interval of 0 or less, and
    // for a repeating one under 60 s.
    static std::shared_ptr<UNTimeIntervalNotificationTrigger> triggerWithTimeInterval(NSTimeInterval interval,
                                                                                      bool repeats);
    NSTimeInterval timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }

    UNTimeIntervalNotificationTrigger(NSTimeInterval interval, bool repeats) : interval_(interval), repeats_(repeats) {}

private:
    NSTimeInterval interval_;
    bool repeats_;
};

class UNNotificationRequest : public NSObject {
    NS_CLASS(UNNotificationRequest, NSObject)
public:
    // A null trigger delivers at once.
    static std::shared_ptr<UNNotificationRequest> requestWithIdentifier(
        std::string identifier, std::shared_ptr<UNNotificationContent> content,
        std::shared_ptr<UNTimeIntervalNotificationTrigger> trigger);
    const std::string& identifier() const { return identifier_; }
    const std::shared_ptr<UNNotificationContent>& content() const { return content_; }
    const std::shared_ptr<UNTimeIntervalNotificationTrigger>& trigger() const { return trigger_; }

    UNNotificationRequest(std::string identifier, std::shared_ptr<UNNotificationContent> content,
                          std::shared_ptr<UNTimeIntervalNotificationTrigger> trigger);

private:
    std::string identifier_;
    std::shared_ptr<UNNotificationContent> content_;
    std::shared_ptr<UNTimeIntervalNotificationTrigger> trigger_;
};

class UNNotification : public NSObject {
    NS_CLASS(UNNotification, NSObject)
public:
    UNNotification(std::shared_ptr<UNNotificationRequest> request, NSDate date)
        : request_(std::move(request)), date_(date) {}
    const std::shared_ptr<UNNotificationRequest>& request() const { return request_; }
    NSDate date() const { return date_; }

private:
    std::shared_ptr<UNNotificationRequest> request_;
    NSDate date_;
};
