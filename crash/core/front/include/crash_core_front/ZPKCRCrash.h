#pragma once
// The object-level front of the crash core: one process-wide instance that holds the
// core's settings, installs the C core, carries the user information every report embeds,
// lists, loads, sends and deletes stored reports, records user-reported exceptions, and
// relays the application's life-cycle notifications (subscribed at class load) to the
// application-state tracker.
//
// Settings and notifications come on the main thread; setUserInfo is serialised by the
// object's own lock. Loading and sending run on the caller's queue; the send completion
// comes on whatever thread the sink completes on.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <crash_core/CRReportWriter.h>
#include <crash_reporting/CRCrashReportFilter.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

enum ZPKCRCDeleteBehavior { ZPKCRCDeleteNever = 0, ZPKCRCDeleteOnSuccess = 1, ZPKCRCDeleteAlways = 2 };

class ZPKCRCrash : public NSObject {
    NS_CLASS(ZPKCRCrash, NSObject)
public:
    // The process-wide instance (made once with the default base path); nullptr when there
    // is no caches directory.
    static std::shared_ptr<ZPKCRCrash> sharedInstance();
    // An instance on the caches directory joined with "ZUDMobi" and the bundle name, or
    // nullptr without a caches directory.
    static std::shared_ptr<ZPKCRCrash> makeDefault();
    // nullptr for no path.
    static std::shared_ptr<ZPKCRCrash> initWithBasePath(const std::optional<std::string>& basePath);
    explicit ZPKCRCrash(std::string basePath);

    // The life-cycle notifications' class operations.
    static void applicationDidBecomeActive();
    static void applicationWillResignActive();
    static void applicationDidEnterBackground();
    static void applicationWillEnterForeground();
    static void applicationWillTerminate();

    // --- settings (each forwarded to the C core at once) ---
    bool searchQueueNames() const { return searchQueueNames_; }
    void setSearchQueueNames(bool value);
    bool introspectMemory() const { return introspectMemory_; }
    void setIntrospectMemory(bool value);
    bool addConsoleLogToReport() const { return addConsoleLogToReport_; }
    void setAddConsoleLogToReport(bool value);
    bool printPreviousLog() const { return printPreviousLog_; }
    void setPrintPreviousLog(bool value);
    int deleteBehaviorAfterSendAll() const { return deleteBehaviorAfterSendAll_; }
    void setDeleteBehaviorAfterSendAll(int value) { deleteBehaviorAfterSendAll_ = value; }
    // The requested monitors; after each change, the mask the core reports as active.
    uint32_t monitoring() const { return monitoring_; }
    void setMonitoring(uint32_t mask);
    // Bit 0x100 of the monitoring mask.
    bool catchZombies() const;
    void setCatchZombies(bool value);
    int demangleLanguages() const { return demangleLanguages_; }
    void setDemangleLanguages(int value) { demangleLanguages_ = value; }
    int maxReportCount() const { return maxReportCount_; }
    void setMaxReportCount(int value);
    const CRCrashReportFilterPtr& sink() const { return sink_; }
    void setSink(CRCrashReportFilterPtr sink) { sink_ = std::move(sink); }
    // Null when none.
    Value userInfo() const;
    // Encoded with sorted keys for every report; a dictionary that cannot be encoded is
    // ignored (the previous one stays); Null clears it.
    void setUserInfo(const Value& userInfo);
    double deadlockWatchdogInterval() const { return deadlockWatchdogInterval_; }
    void setDeadlockWatchdogInterval(double seconds);
    CRReportWriteCallback onCrash() const { return onCrash_; }
    void setOnCrash(CRReportWriteCallback callback);
    const std::string& bundleName() const { return bundleName_; }
    const std::string& basePath() const { return basePath_; }
    const std::vector<std::string>& doNotIntrospectClasses() const { return doNotIntrospectClasses_; }
    void setDoNotIntrospectClasses(std::vector<std::string> classNames);
    NSUncaughtExceptionHandler uncaughtExceptionHandler() const { return uncaughtExceptionHandler_; }
    void setUncaughtExceptionHandler(NSUncaughtExceptionHandler handler) { uncaughtExceptionHandler_ = handler; }
    NSUncaughtExceptionHandler currentSnapshotUserReportedExceptionHandler() const { return snapshotHandler_; }
    void setCurrentSnapshotUserReportedExceptionHandler(NSUncaughtExceptionHandler handler) {
        snapshotHandler_ = handler;
    }

    // --- read-only values ---
    double activeDurationSinceLastCrash() const;
    double backgroundDurationSinceLastCrash() const;
    int launchesSinceLastCrash() const;
    int sessionsSinceLastCrash() const;
    double activeDurationSinceLaunch() const;
    double backgroundDurationSinceLaunch() const;
    int sessionsSinceLaunch() const;
    bool crashedLastLaunch() const;
    int reportCount() const;
    // The system monitor's facts as a dictionary (strings present only when known).
    Value systemInfo() const;

    // --- operations ---
    // Installs the C core once for the process; true when some monitor is active.
    bool install();
    // Sends every stored report through the sink, then deletes them all under behaviour 2,
    // or under 1 when sending completed; the completion gets what the sink returned.
    void sendAllReportsWithCompletion(CRCrashReportFilterCompletion onCompletion);
    void sendReports(Value reports, CRCrashReportFilterCompletion onCompletion);
    void deleteAllReports();
    void deleteReportWithID(const Value& reportID);
    // The stack trace (an array) goes into the report as JSON text.
    void reportUserException(const std::optional<std::string>& name, const std::optional<std::string>& reason,
                             const std::optional<std::string>& language, const std::optional<std::string>& lineOfCode,
                             const Value& stackTrace, bool logAllThreads, bool terminateProgram);
    void enableSwapOfCxaThrow();
    // The stored report ids, ascending (an array of numbers).
    Value reportIDs() const;
    // The fixed-up report text, or nullopt.
    std::optional<Value::Data> loadCrashReportJSONWithID(int64_t reportID) const;
    // The decoded report with "report_id" set and the diagnosis added, or Null.
    Value reportWithIntID(int64_t reportID) const;
    Value reportWithID(const Value& reportID) const;
    // Every readable stored report, ascending by id.
    Value allReports() const;
    // The report with "diagnosis" set in its crash object (and its recrash report's).
    Value doctorReport(Value report) const;

private:
    std::string bundleName_;
    std::string basePath_;
    bool searchQueueNames_ = false;
    bool introspectMemory_ = true;
    bool addConsoleLogToReport_ = false;
    bool printPreviousLog_ = false;
    int deleteBehaviorAfterSendAll_ = ZPKCRCDeleteAlways;
    uint32_t monitoring_ = 0;
    int demangleLanguages_ = 0;
    int maxReportCount_ = 5;
    CRCrashReportFilterPtr sink_;
    mutable std::mutex userInfoLock_;
    Value userInfo_;
    double deadlockWatchdogInterval_ = 0;
    CRReportWriteCallback onCrash_ = nullptr;
    std::vector<std::string> doNotIntrospectClasses_;
    NSUncaughtExceptionHandler uncaughtExceptionHandler_ = nullptr;
    NSUncaughtExceptionHandler snapshotHandler_ = nullptr;
};
