#include <platform_system/UNNotificationRequest.h>

#include <platform_foundation/NSProcessInfo.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCAvailability.h>

#include <string>

std::shared_ptr<UNNotificationSound> UNNotificationSound::defaultSound() {
    static const auto sound = std::make_shared<UNNotificationSound>();
    return sound;
}

std::shared_ptr<UNTimeIntervalNotificationTrigger> UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(
    NSTimeInterval interval, bool repeats) {
    if (!(interval > 0))
        NSException::raise(NSInvalidArgumentException, "time interval must be greater than 0");
    if (repeats && interval < 60)
        NSException::raise(NSInvalidArgumentException, "time interval must be at least 60 if repeating");
    return std::make_shared<UNTimeIntervalNotificationTrigger>(interval, repeats);
}

UNNotificationRequest::UNNotificationRequest(std::string identifier, std::shared_ptr<UNNotificationContent> content,
                                             std::shared_ptr<UNTimeIntervalNotificationTrigger> trigger)
    : identifier_(std::move(identifier)), content_(std::move(content)), trigger_(std::move(trigger)) {}

std::shared_ptr<UNNotificationRequest> UNNotificationRequest::requestWithIdentifier(
    std::string identifier, std::shared_ptr<UNNotificationContent> content,
    std::shared_ptr<UNTimeIntervalNotificationTrigger> trigger) {
    if (!content) NSException::raise(NSInvalidArgumentException, "a notification request needs content");
    return std::make_shared<UNNotificationRequest>(std::move(identifier), std::move(content), std::move(trigger));
}

namespace {
bool fromTen() { return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({10, 0, 0}); }
}  // namespace

NS_CLASS_LOAD(UNNotificationSound) { objc_setClassAvailability(cls, fromTen); }
NS_CLASS_LOAD(UNMutableNotificationContent) { objc_setClassAvailability(cls, fromTen); }
NS_CLASS_LOAD(UNTimeIntervalNotificationTrigger) { objc_setClassAvailability(cls, fromTen); }
NS_CLASS_LOAD(UNNotificationRequest) { objc_setClassAvailability(cls, fromTen); }
NS_CLASS_LOAD(UNNotification) { objc_setClassAvailability(cls, fromTen); }
