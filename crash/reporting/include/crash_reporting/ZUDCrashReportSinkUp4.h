#pragma once
// The last filter of the upload chain: decides per report whether to upload it (module
// filter), names it, optionally encrypts it and posts it to the collection host's "/upload".
// A stored report is deleted after a 2xx answer, or unsent when the module filter rejects it;
// an app-extension file is removed after a 2xx answer.
//
// Threads: runs on the caller's queue (the report-handling queue); uploads run on the shared
// URL session and finish on the main queue. A report (or extension file) whose upload is in
// flight is not posted again by another pass until that upload finished.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <crash_reporting/CRCrashReportFilter.h>
#include <crash_reporting/ZPKCRCrashReportFilterPipeline.h>
#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSNotification.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/ObjCDeclare.h>

// Posted by the set-up interface when the international switch changes.
inline constexpr char ZUDChangeIntlSetupNotification[] = "__zud_mobi_change_intl_setup";

class ZUDCrashReportSinkUp4 : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZUDCrashReportSinkUp4, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    using Bytes = std::vector<uint8_t>;

    // A new sink, subscribed to the international-host switch.
    static std::shared_ptr<ZUDCrashReportSinkUp4> sink();
    ZUDCrashReportSinkUp4();
    ~ZUDCrashReportSinkUp4() override;

    // Apple-style text (style 0), gzip (default level), this sink.
    std::shared_ptr<ZPKCRCrashReportFilterPipeline> defaultCrashReportFilterSet();

    // Items are {"report": decoded report with "report_id", "reportData": gzip bytes}.
    // Completes at once with the items as received; the uploads finish later.
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

    // Whether a crashed thread (of the embedded report, for a recrash report) has a frame of
    // one of the configuration's filter modules.
    bool decideUpload(const Value& item) const;
    // "<app>_<version>_<build date>_<UUID>_<yyyyMMddHHmmss>_0_0.<type>.gz".
    std::string getCrashFileName(const Value& report, bool isAppExt) const;
    // Uploads one report; `filePath`, when given, names the file to remove after success
    // instead of a stored report.
    void uploadToUp4(const Value& report, const std::optional<Bytes>& data, const NSURLPtr& filePath, bool isAppExt);

    NSURLPtr uploadURL() const;
    void changeIntlDomainNotify(const NSNotification& notification);

private:
    mutable std::mutex mutex_;
    NSURLPtr uploadURL_;
    NSDateFormatter dateFormatter_;
};
