#pragma once
// Shared tables and helpers of the analytics SDK: module tags and versions, the log switch,
// the two upload semaphores, version strings, the time in milliseconds, the property-file
// paths of usage analytics, the overseas and defcon tests, the time since the last post,
// the app state and small text helpers. Tables are locked; any thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_runtime/ObjCDeclare.h>

class ZVHelper : public NSObject {
    NS_CLASS(ZVHelper, NSObject)
public:
    ZVHelper();
    static std::shared_ptr<ZVHelper> sharedInstance();

    Value moduleTag() const;
    void setModuleTagValue(const std::string& key, const Value& value);
    void removeModuleTag(const std::string& key);
    Value moduleVer() const;
    void setModuleVersion(const std::string& key, const std::string& version);
    bool logEnabled() const { return logEnabled_.load(); }
    void setLogEnabled(bool v) { logEnabled_.store(v); }
    const dispatch_semaphore_t& zvsema() const { return zvsema_; }
    const dispatch_semaphore_t& zvsemasl() const { return zvsemasl_; }

    static std::string sdkVersionString();
    static std::string appVersionString();
    static uint64_t UTCTimeIntervalMS();
    static std::string zplusSuperFilePath();
    static std::string zplusPreFilePath();
    static std::string zplusEventsPath();
    static bool checkIsOverseas();
    static bool isOverSeas();
    static bool defconPass();
    static double elapsedTimeFromPost();
    static double elapsedTimeFromLastPost(const Value& time);
    // 1 active, 2 inactive, 3 background; 0 otherwise (or without an application).
    static int32_t getAppState();
    static std::string arrayToAgStr(const Value& array);
    static bool checkU48Character(const std::string& text);
    // "" for an empty text or a limit below 1.
    static std::string trimUTF8String(const std::string& text, int64_t limit);
    static bool isCheckVersion(const std::string& version);
    static Value preVersions(const std::string& version);

private:
    mutable std::mutex mutex_;
    Value moduleTag_ = Value::mutableDictionary();
    Value moduleVer_ = Value::mutableDictionary();
    std::atomic<bool> logEnabled_{false};
    dispatch_semaphore_t zvsema_, zvsemasl_;
};
