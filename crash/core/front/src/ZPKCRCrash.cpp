#include <crash_core_front/ZPKCRCrash.h>

#include <crash_core/CRAppState.h>
#include <crash_core/CRCrashC.h>
#include <crash_core/CRMonitorNSException.h>
#include <crash_core/CRMonitorSystem.h>
#include <crash_reporting/ZPKCRCrashDoctor.h>
#include <crash_reporting/ZPKCRJSONCodec.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/Sandbox.h>
#include <platform_uikit/UIApplication.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

std::string mainBundleName() {
    Value name = NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleName");
    return name.isString() ? name.asStdString() : "Unknown";
}

const char* cString(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

void subscribeToNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    struct Entry {
        const char* name;
        void (*handler)();
    } entries[] = {
        {UIApplicationDidBecomeActiveNotification, ZPKCRCrash::applicationDidBecomeActive},
        {UIApplicationWillResignActiveNotification, ZPKCRCrash::applicationWillResignActive},
        {UIApplicationDidEnterBackgroundNotification, ZPKCRCrash::applicationDidEnterBackground},
        {UIApplicationWillEnterForegroundNotification, ZPKCRCrash::applicationWillEnterForeground},
        {UIApplicationWillTerminateNotification, ZPKCRCrash::applicationWillTerminate},
    };
    for (const auto& e : entries)
        center->addObserverForName(e.name, Value(), nullptr, [handler = e.handler](const NSNotification&) { handler(); });
}

// Adds the text under the key when there is one.
void putString(Value& info, const char* key, const char* value) {
    if (value) info.setObject(Value(value), key);
}

}  // namespace

// At class load: the tracker learns the class was loaded, and the class observes the
// application's life cycle.
NS_CLASS_LOAD(ZPKCRCrash) {
    crcrash_notifyObjCLoad();
    subscribeToNotifications();
}

void ZPKCRCrash::applicationDidBecomeActive() { crcrash_notifyAppActive(true); }
void ZPKCRCrash::applicationWillResignActive() { crcrash_notifyAppActive(false); }
void ZPKCRCrash::applicationDidEnterBackground() { crcrash_notifyAppInForeground(false); }
void ZPKCRCrash::applicationWillEnterForeground() { crcrash_notifyAppInForeground(true); }
void ZPKCRCrash::applicationWillTerminate() { crcrash_notifyAppTerminate(); }

std::shared_ptr<ZPKCRCrash> ZPKCRCrash::sharedInstance() {
    static const std::shared_ptr<ZPKCRCrash> instance = makeDefault();
    return instance;
}

std::shared_ptr<ZPKCRCrash> ZPKCRCrash::makeDefault() {
    auto caches = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    if (caches.empty() || caches.front().empty()) return nullptr;
    return initWithBasePath(caches.front() + "/ZUDMobi/" + mainBundleName());
}

std::shared_ptr<ZPKCRCrash> ZPKCRCrash::initWithBasePath(const std::optional<std::string>& basePath) {
    if (!basePath) return nullptr;
    return std::make_shared<ZPKCRCrash>(*basePath);
}

ZPKCRCrash::ZPKCRCrash(std::string basePath) : bundleName_(mainBundleName()), basePath_(std::move(basePath)) {
    setDeleteBehaviorAfterSendAll(ZPKCRCDeleteAlways);
    setIntrospectMemory(true);
    setCatchZombies(false);
    setMaxReportCount(5);
    setSearchQueueNames(false);
    setMonitoring(0xEF);
}

// ---- settings -----------------------------------------------------------------------------

void ZPKCRCrash::setSearchQueueNames(bool value) {
    searchQueueNames_ = value;
    crcrash_setSearchQueueNames(value);
}

void ZPKCRCrash::setIntrospectMemory(bool value) {
    introspectMemory_ = value;
    crcrash_setIntrospectMemory(value);
}

void ZPKCRCrash::setAddConsoleLogToReport(bool value) {
    addConsoleLogToReport_ = value;
    crcrash_setAddConsoleLogToReport(value);
}

void ZPKCRCrash::setPrintPreviousLog(bool value) {
    printPreviousLog_ = value;
    crcrash_setPrintPreviousLog(value);
}

void ZPKCRCrash::setMonitoring(uint32_t mask) { monitoring_ = crcrash_setMonitoring(mask); }

bool ZPKCRCrash::catchZombies() const { return (monitoring_ & 0x100) != 0; }

void ZPKCRCrash::setCatchZombies(bool value) {
    setMonitoring(value ? (monitoring_ | 0x100) : (monitoring_ & ~uint32_t(0x100)));
}

void ZPKCRCrash::setMaxReportCount(int value) {
    maxReportCount_ = value;
    crcrash_setMaxReportCount(value);
}

Value ZPKCRCrash::userInfo() const {
    std::lock_guard<std::mutex> lock(userInfoLock_);
    return userInfo_;
}

void ZPKCRCrash::setUserInfo(const Value& userInfo) {
    std::lock_guard<std::mutex> lock(userInfoLock_);
    if (userInfo.isNull()) {
        userInfo_ = Value();
        crcrash_setUserInfoJSON(nullptr);
        return;
    }
    NSErrorPtr error;
    auto json = ZPKCRJSONCodec::encode(userInfo, ZPKCRJSONEncodeOptionSorted, &error);
    if (!json) return;
    userInfo_ = userInfo;
    json->push_back('\0');
    crcrash_setUserInfoJSON(reinterpret_cast<const char*>(json->data()));
}

void ZPKCRCrash::setDeadlockWatchdogInterval(double seconds) {
    deadlockWatchdogInterval_ = seconds;
    crcrash_setDeadlockWatchdogInterval(seconds);
}

void ZPKCRCrash::setOnCrash(CRReportWriteCallback callback) {
    onCrash_ = callback;
    crcrash_setUserSectionWriteCallback(callback);
}

void ZPKCRCrash::setDoNotIntrospectClasses(std::vector<std::string> classNames) {
    doNotIntrospectClasses_ = std::move(classNames);
    std::vector<const char*> names;
    for (const auto& n : doNotIntrospectClasses_) names.push_back(n.c_str());
    crcrash_setDoNotIntrospectClasses(names.data(), int(names.size()));
}

// ---- read-only values ---------------------------------------------------------------------

double ZPKCRCrash::activeDurationSinceLastCrash() const {
    return crcrashstate_currentState()->activeDurationSinceLastCrash;
}
double ZPKCRCrash::backgroundDurationSinceLastCrash() const {
    return crcrashstate_currentState()->backgroundDurationSinceLastCrash;
}
int ZPKCRCrash::launchesSinceLastCrash() const { return crcrashstate_currentState()->launchesSinceLastCrash; }
int ZPKCRCrash::sessionsSinceLastCrash() const { return crcrashstate_currentState()->sessionsSinceLastCrash; }
double ZPKCRCrash::activeDurationSinceLaunch() const { return crcrashstate_currentState()->activeDurationSinceLaunch; }
double ZPKCRCrash::backgroundDurationSinceLaunch() const {
    return crcrashstate_currentState()->backgroundDurationSinceLaunch;
}
int ZPKCRCrash::sessionsSinceLaunch() const { return crcrashstate_currentState()->sessionsSinceLaunch; }
bool ZPKCRCrash::crashedLastLaunch() const { return crcrashstate_currentState()->crashedLastLaunch; }
int ZPKCRCrash::reportCount() const { return crcrash_getReportCount(); }

Value ZPKCRCrash::systemInfo() const {
    CRCrashEventContext context;
    std::memset(&context, 0, sizeof context);
    crcm_system_getAPI()->addContextualInfoToEvent(&context);
    const auto& s = context.System;
    Value info = Value::mutableDictionary();
    putString(info, "systemName", s.systemName);
    putString(info, "systemVersion", s.systemVersion);
    putString(info, "machine", s.machine);
    putString(info, "model", s.model);
    putString(info, "kernelVersion", s.kernelVersion);
    putString(info, "osVersion", s.osVersion);
    putString(info, "bootTime", s.bootTime);
    putString(info, "appStartTime", s.appStartTime);
    putString(info, "executablePath", s.executablePath);
    putString(info, "executableName", s.executableName);
    putString(info, "bundleID", s.bundleID);
    putString(info, "bundleName", s.bundleName);
    putString(info, "bundleVersion", s.bundleVersion);
    putString(info, "bundleShortVersion", s.bundleShortVersion);
    putString(info, "appID", s.appID);
    putString(info, "cpuArchitecture", s.cpuArchitecture);
    info.setObject(Value(s.cpuType), "cpuType");
    info.setObject(Value(s.cpuSubType), "cpuSubType");
    info.setObject(Value(s.binaryCPUType), "binaryCPUType");
    info.setObject(Value(s.binaryCPUSubType), "binaryCPUSubType");
    putString(info, "timezone", s.timezone);
    putString(info, "processName", s.processName);
    info.setObject(Value(s.processID), "processID");
    info.setObject(Value(s.parentProcessID), "parentProcessID");
    putString(info, "deviceAppHash", s.deviceAppHash);
    putString(info, "buildType", s.buildType);
    info.setObject(Value(s.storageSize), "storageSize");
    info.setObject(Value(s.memorySize), "memorySize");
    info.setObject(Value(s.freeMemory), "freeMemory");
    info.setObject(Value(s.usableMemory), "usableMemory");
    return info;
}

// ---- operations ---------------------------------------------------------------------------

bool ZPKCRCrash::install() {
    monitoring_ = crcrash_install(bundleName_.c_str(), basePath_.c_str());
    if (monitoring_ & 0x08) {
        uncaughtExceptionHandler_ = crcm_nsexception_uncaughtHandler();
        snapshotHandler_ = crcm_nsexception_snapshotHandler();
    }
    return monitoring_ != 0;
}

void ZPKCRCrash::sendAllReportsWithCompletion(CRCrashReportFilterCompletion onCompletion) {
    Value reports = allReports();
    auto self = std::static_pointer_cast<ZPKCRCrash>(shared_from_this());
    sendReports(reports, [self, onCompletion](Value filtered, bool completed, NSErrorPtr error) {
        int behaviour = self->deleteBehaviorAfterSendAll_;
        if (behaviour == ZPKCRCDeleteAlways || (behaviour == ZPKCRCDeleteOnSuccess && completed))
            self->deleteAllReports();
        crcrash_callCompletion(onCompletion, std::move(filtered), completed, std::move(error));
    });
}

void ZPKCRCrash::sendReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    if (reports.count() == 0) {
        crcrash_callCompletion(onCompletion, std::move(reports), true, nullptr);
        return;
    }
    if (!sink_) {
        crcrash_callCompletion(onCompletion, std::move(reports), false,
                               NSError::errorWithDomain(
                                   className(), 0,
                                   Value::Dictionary{{NSLocalizedDescriptionKey, "No sink set. Crash reports not sent."}}));
        return;
    }
    sink_->filterReports(std::move(reports), [onCompletion](Value filtered, bool completed, NSErrorPtr error) {
        crcrash_callCompletion(onCompletion, std::move(filtered), completed, std::move(error));
    });
}

void ZPKCRCrash::deleteAllReports() { crcrash_deleteAllReports(); }

void ZPKCRCrash::deleteReportWithID(const Value& reportID) { crcrash_deleteReportWithID(reportID.integerValue()); }

void ZPKCRCrash::reportUserException(const std::optional<std::string>& name, const std::optional<std::string>& reason,
                                     const std::optional<std::string>& language,
                                     const std::optional<std::string>& lineOfCode, const Value& stackTrace,
                                     bool logAllThreads, bool terminateProgram) {
    std::string trace;
    bool haveTrace = false;
    if (!stackTrace.isNull()) {
        if (auto json = ZPKCRJSONCodec::encode(stackTrace, ZPKCRJSONEncodeOptionNone)) {
            trace.assign(json->begin(), json->end());
            haveTrace = true;
        }
    }
    crcrash_reportUserException(cString(name), cString(reason), cString(language), cString(lineOfCode),
                                haveTrace ? trace.c_str() : nullptr, logAllThreads, terminateProgram);
}

void ZPKCRCrash::enableSwapOfCxaThrow() { crcrash_enableSwapOfCxaThrow(); }

Value ZPKCRCrash::reportIDs() const {
    int count = crcrash_getReportCount();
    std::vector<int64_t> ids(size_t(std::max(count, 0)));
    count = ids.empty() ? 0 : crcrash_getReportIDs(ids.data(), count);
    ids.resize(size_t(std::max(count, 0)));
    std::sort(ids.begin(), ids.end());
    Value out = Value::mutableArray();
    for (int64_t id : ids) out.addObject(Value(id));
    return out;
}

std::optional<Value::Data> ZPKCRCrash::loadCrashReportJSONWithID(int64_t reportID) const {
    char* text = crcrash_readReport(reportID);
    if (!text) return std::nullopt;
    Value::Data data(text, text + std::strlen(text));
    std::free(text);
    return data;
}

Value ZPKCRCrash::reportWithIntID(int64_t reportID) const {
    // The fix-up hands its elements to the codec directly: the same values as decoding the
    // fixed-up text, without writing and reading that text.
    int fixup = CRJSON_OK;
    Value report = ZPKCRJSONCodec::decodeElements(
        [&](const CRJSONDecodeCallbacks* callbacks, void* codec) {
            return fixup = crcrash_readReportTo(reportID, callbacks, codec);
        },
        ZPKCRJSONDecodeOptionIgnoreAllNulls | ZPKCRJSONDecodeOptionKeepPartialObject);
    if (fixup != CRJSON_OK || !report.isDictionary()) return Value();
    report.setObject(Value(reportID), "report_id");
    return doctorReport(std::move(report));
}

Value ZPKCRCrash::reportWithID(const Value& reportID) const { return reportWithIntID(reportID.integerValue()); }

Value ZPKCRCrash::allReports() const {
    Value reports = Value::mutableArray();
    Value ids = reportIDs();
    for (const Value& id : ids.asArray()) {
        Value report = reportWithIntID(id.integerValue());
        if (!report.isNull()) reports.addObject(report);
    }
    return reports;
}

Value ZPKCRCrash::doctorReport(Value report) const {
    auto doctor = ZPKCRCrashDoctor::doctor();
    auto setDiagnosis = [](Value& crash, const std::optional<std::string>& diagnosis) {
        if (diagnosis) crash.setObject(Value(*diagnosis), "diagnosis");
        else crash.removeObjectForKey("diagnosis");
    };
    Value crash = report.objectForKey("crash");
    if (crash.isDictionary()) {
        setDiagnosis(crash, doctor->diagnoseCrash(report));
        report.setObject(crash, "crash");
    }
    Value recrash = report.objectForKey("recrash_report");
    Value recrashCrash = recrash.objectForKey("crash");
    if (recrashCrash.isDictionary()) {
        setDiagnosis(recrashCrash, doctor->diagnoseCrash(report));
        recrash.setObject(recrashCrash, "crash");
        report.setObject(recrash, "recrash_report");
    }
    return report;
}
