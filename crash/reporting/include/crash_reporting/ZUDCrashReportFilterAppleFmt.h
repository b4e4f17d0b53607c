#pragma once
// Renders a decoded crash report (after the load fix-up and the doctor) as a platform-style
// crash log text, with the kit's own header lines and sections. As a filter it turns each
// report of major version 3 into {"report": report, "appleReport": text}; other versions are
// left out without an error.
//
// Threads: any; an instance holds only its style, the shared formatters are made once and
// only read afterwards. Section builders answer "" when their section is absent.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <crash_reporting/CRCrashReportFilter.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/ObjCDeclare.h>

class ZUDCrashReportFilterAppleFmt : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZUDCrashReportFilterAppleFmt, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    // 0 plain (image offsets), 1 partially symbolicated, 2 side by side, 3 symbolicated.
    static std::shared_ptr<ZUDCrashReportFilterAppleFmt> filterWithReportStyle(int32_t style);
    explicit ZUDCrashReportFilterAppleFmt(int32_t style = 0) : reportStyle_(style) {}
    int32_t reportStyle() const { return reportStyle_; }

    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

    // The whole text of one report (Null stands for an absent report), with the side file of
    // its report id appended when there is one.
    std::string toAppleFormat(const Value& report) const;

    // --- sections ---
    std::string crashReportString(const Value& report) const;
    std::string recrashReportString(const Value& report) const;
    std::string headerStringForReport(const Value& report) const;
    std::string headerStringForSystemInfo(const Value& system, const Value& reportID, const std::string& crashTime,
                                          const Value& report, const Value& zudConfig) const;
    std::string customHeaderStringForReport(const Value& report) const;
    std::string errorInfoStringForReport(const Value& report) const;
    std::string threadListStringForReport(const Value& report, const Value& mainExecutableName) const;
    std::string threadStringForThread(const Value& thread, const Value& mainExecutableName) const;
    std::string backtraceString(const Value& backtrace, int32_t reportStyle, const Value& mainExecutableName) const;
    std::string crashedThreadCPUStateStringForReport(const Value& report, const std::string& cpuArch) const;
    std::string binaryImagesStringForReport(const Value& report) const;
    std::string memoryStringForReport(const Value& report) const;
    std::string storageStringForReport(const Value& report) const;
    std::string extraInfoStringForReport(const Value& report, const Value& mainExecutableName) const;
    std::string ucUserActionStringForReport(const Value& report) const;
    std::string customUserInfoStringForReport(const Value& report) const;
    std::string customCrashInfoStringForReport(const Value& report) const;
    std::string userExceptionTrace(const Value& userReported) const;
    static std::string stringWithUncaughtExceptionName(const Value& name, const Value& reason);
    static std::string stringWithUncaughtExceptionName(const Value& name, const Value& reason, bool terminateProgram);

    // --- lookups ---
    static Value recrashReport(const Value& report) { return report.objectForKey(Value("recrash_report")); }
    static Value systemReport(const Value& report) { return report.objectForKey(Value("system")); }
    static Value infoReport(const Value& report) { return report.objectForKey(Value("report")); }
    static Value processReport(const Value& report) { return report.objectForKey(Value("process")); }
    static Value crashReport(const Value& report) { return report.objectForKey(Value("crash")); }
    static Value binaryImagesReport(const Value& report) { return report.objectForKey(Value("binary_images")); }
    // The thread whose "crashed" is true, else crash.crashed_thread, else Null.
    static Value crashedThread(const Value& report);
    static Value mainExecutableNameForReport(const Value& report);
    static std::string cpuArchForReport(const Value& report);
    // report.version (or its "major"), as an integer; 0 without one.
    static int64_t majorVersion(const Value& report);
    static bool isZombieNSException(const Value& report);

    // --- helpers ---
    // "ARM-64", "ARM", "X86", "X86_64", "Unknown"; a missing architecture gives "ARM-64".
    static std::string CPUType(const Value& cpuArch);
    static std::string CPUArchForMajor(int32_t cpuType, int32_t cpuSubtype);
    static std::string toCompactUUID(const Value& uuid);
    // Display form "yyyy-MM-dd HH:mm:ss.SSS ZZZ" in the device's time zone.
    static std::string stringFromDate(const NSDate& date);
    // A report timestamp ("…T…Z" with six fraction digits, UTC); nullopt when it does not parse.
    static std::optional<NSDate> dateFromTimestamp(const Value& timestamp);
    // Pretty-printed JSON with sorted keys, or "Error encoding JSON: …".
    static std::string JSONForObject(const Value& object);

private:
    // The thread list, a thread's and a backtrace's text appended to text.
    void appendThreadList(std::string& text, const Value& report, const Value& mainExecutableName) const;
    void appendThread(std::string& text, const Value& thread, const Value& mainExecutableName) const;
    void appendBacktrace(std::string& text, const Value& backtrace, int32_t reportStyle,
                         const Value& mainExecutableName) const;

    int32_t reportStyle_ = 0;
};
