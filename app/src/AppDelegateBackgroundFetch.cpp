// The background check: fetch the favourite device's version 3 document, count its signed
// builds, and when the count differs from the stored one, store it and raise the local
// notification. Every path reports to the platform exactly once.

#include <app/AppDelegate.h>

#include <app/AppConfiguration.h>
#include <app/api/ConnectionManager.h>
#include <app/background/SignedFirmwareCheck.h>
#include <app/store/ECUserDefaultsUtil.h>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_system/UNNotificationRequest.h>

namespace {

std::string localized(const std::string& key) { return NSBundle::mainBundle()->localizedStringForKey(key, ""); }

}  // namespace

void AppDelegate::applicationPerformFetch(UIApplication&, FetchCompletion completion) {
    if (!ECUserDefaultsUtil::lastValidCount()) return completion(UIBackgroundFetchResultNoData);
    if (!ECUserDefaultsUtil::favModelStr()) return completion(UIBackgroundFetchResultNoData);
    if (ECUserDefaultsUtil::lastValidCount()->empty()) return completion(UIBackgroundFetchResultNoData);
    requestLastetData(std::move(completion));
}

void AppDelegate::requestLastetData(FetchCompletion completion) {
    auto model = ECUserDefaultsUtil::favModelStr();
    if (!model || model->empty()) return completion(UIBackgroundFetchResultNoData);
    requestStatusWithiPhoneModel(*model, std::move(completion));
}

void AppDelegate::requestStatusWithiPhoneModel(const std::string& model, FetchCompletion completion) {
    auto self = std::dynamic_pointer_cast<AppDelegate>(shared_from_this());
    auto task = ConnectionManager::globalTimelinePostsWithBlock(
        AppConfiguration::catalogueURL("/api/ios/v3/device/" + model),
        [self, model, completion](Value document, NSErrorPtr error) {
            if (error) return completion(UIBackgroundFetchResultNoData);
            auto device = SignedFirmwareCheck::deviceInDocument(std::move(document), model);
            if (!device) return completion(UIBackgroundFetchResultNoData);
            self->setFavDeviceName(NSStringWithFormat(" %@", device->name()));
            self->dealWithDate(device->firmwares(), completion);
        });
    task->resume();
}

void AppDelegate::dealWithDate(const std::vector<std::shared_ptr<FirmwaresItem>>& firmwares, FetchCompletion completion) {
    const std::string count = NSStringWithFormat("%lu", SignedFirmwareCheck::signedCount(firmwares));
    if (ECUserDefaultsUtil::lastValidCount() == count) return completion(UIBackgroundFetchResultNoData);
    ECUserDefaultsUtil::setValidCount(count);
    createLocalNotification(
        NSStringWithFormat("%@ %@ %@", localized("favfirmwareChanged1"), favDeviceName(), localized("favfirmwareChanged2")));
    completion(UIBackgroundFetchResultNewData);
}

void AppDelegate::createLocalNotification(const std::string& text) {
    if (systemVersionAtLeast("10.0") && NSClassFromString("UNUserNotificationCenter")) {
        auto content = std::make_shared<UNMutableNotificationContent>();
        content->body = text;
        content->sound = UNNotificationSound::defaultSound();
        auto trigger = UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(1.0, false);
        auto request = UNNotificationRequest::requestWithIdentifier(kNotificationIdentifier, content, trigger);
        UNUserNotificationCenter::currentNotificationCenter()->addNotificationRequest(request, [](NSErrorPtr) {});
    } else {
        auto notification = std::make_shared<UILocalNotification>();
        notification->alertBody = text;
        UIApplication::sharedApplication()->presentLocalNotificationNow(notification);
    }
}
