#include <crash_reporting/ZUDCrashReportSinkUp4.h>

#include <mutex>
#include <set>

#include <crash_core/CRCrashC.h>
#include <crash_reporting/ZPKCRHTTPMultipartPostBody.h>
#include <crash_reporting/ZPKCRHTTPRequestSender.h>
#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>
#include <crash_reporting/ZUDCrashReportFilterGZipCompress.h>
#include <crash_reporting/ZUDCrashUploadSettings.h>
#include <crash_reporting/ZUDDeepKeyPath.h>
#include <crash_reporting/ZUDEncrypt.h>
#include <crash_reporting/ZUDMobiConfig.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_foundation/NSUUID.h>
#include <platform_net/NSURLRequest.h>

namespace {

// Uploads in flight, process-wide (every pass makes its own sink): stored report ids and
// extension file paths.
struct InFlight {
    std::mutex mutex;
    std::set<int64_t> reportIDs;
    std::set<std::string> files;
};

InFlight& inFlight() {
    static InFlight* shared = new InFlight;
    return *shared;
}

// Claims the upload of a report id or a file; false when it is already in flight.
bool claim(const std::optional<int64_t>& reportID, const NSURLPtr& file) {
    auto& flight = inFlight();
    std::lock_guard lock(flight.mutex);
    if (file) return flight.files.insert(file->path()).second;
    if (reportID) return flight.reportIDs.insert(*reportID).second;
    return true;
}

void release(const std::optional<int64_t>& reportID, const NSURLPtr& file) {
    auto& flight = inFlight();
    std::lock_guard lock(flight.mutex);
    if (file)
        flight.files.erase(file->path());
    else if (reportID)
        flight.reportIDs.erase(*reportID);
}

std::optional<int64_t> reportIDOf(const Value& report) {
    const Value& id = report.objectForKey(Value("report_id"));
    if (id.isNumber()) return id.integerValue();
    return std::nullopt;
}

void deleteStoredReport(const std::optional<int64_t>& reportID) {
    if (reportID) crcrash_deleteReportWithID(*reportID);
}

std::string describe(const Value& value) { return NSStringWithFormat("%@", value); }

Value appNameOf(const Value& report) {
    Value name = zud_objectForKeyPath(report, "user/ZUDConfig/appName");
    if (!name.isNull()) return name;
    if (auto configured = ZUDMobiConfig::sharedInstance()->appName()) return Value(*configured);
    return Value();
}

Value appVersionOf(const Value& report) {
    const Value& mainVersion = report.objectForKey(Value("main_app_version"));
    if (!mainVersion.isNull()) return mainVersion;
    Value version = zud_objectForKeyPath(report, "user/ZUDConfig/appVersion");
    if (version.isString() && !version.asString().empty()) return version;
    version = zud_objectForKeyPath(report, "system/CFBundleShortVersionString");
    if (!version.isNull()) return version;
    return Value("");
}

Value buildDateOf(const Value& report) {
    const Value& extBuildDate = report.objectForKey(Value("_zud_build_date"));
    if (!extBuildDate.isNull()) return extBuildDate;
    Value buildDate = zud_objectForKeyPath(report, "user/ZUDConfig/buildDate");
    return buildDate.isNull() ? Value("") : buildDate;
}

}  // namespace

std::shared_ptr<ZUDCrashReportSinkUp4> ZUDCrashReportSinkUp4::sink() {
    auto sink = std::make_shared<ZUDCrashReportSinkUp4>();
    NSNotificationCenter::defaultCenter()->addObserver(sink, &ZUDCrashReportSinkUp4::changeIntlDomainNotify,
                                                       ZUDChangeIntlSetupNotification, Value());
    return sink;
}

ZUDCrashReportSinkUp4::ZUDCrashReportSinkUp4()
    : uploadURL_(ZUDCrashUploadSettings::uploadURL(ZUDMobiConfig::sharedInstance()->intlDomain())) {
    dateFormatter_.setDateFormat("yyyyMMddHHmmss");
    dateFormatter_.setLocale(NSLocale::currentLocale());
    dateFormatter_.setTimeZone(NSTimeZone::localTimeZone());
}

ZUDCrashReportSinkUp4::~ZUDCrashReportSinkUp4() = default;

NSURLPtr ZUDCrashReportSinkUp4::uploadURL() const {
    std::lock_guard lock(mutex_);
    return uploadURL_;
}

void ZUDCrashReportSinkUp4::changeIntlDomainNotify(const NSNotification&) {
    auto url = ZUDCrashUploadSettings::uploadURL(ZUDMobiConfig::sharedInstance()->intlDomain());
    std::lock_guard lock(mutex_);
    uploadURL_ = std::move(url);
}

std::shared_ptr<ZPKCRCrashReportFilterPipeline> ZUDCrashReportSinkUp4::defaultCrashReportFilterSet() {
    return ZPKCRCrashReportFilterPipeline::filterWithFilters({
        Value(ZUDCrashReportFilterAppleFmt::filterWithReportStyle(0)),
        Value(ZUDCrashReportFilterGZipCompress::filterWithCompressionLevel(-1)),
        Value(std::static_pointer_cast<ZUDCrashReportSinkUp4>(shared_from_this())),
    });
}

void ZUDCrashReportSinkUp4::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    bool filtering = !ZUDMobiConfig::sharedInstance()->filterModules().empty();
    for (const auto& item : reports.asArray()) {
        const Value& report = item.objectForKey(Value("report"));
        if (filtering && !decideUpload(item)) {
            deleteStoredReport(reportIDOf(report));
            continue;
        }
        const Value& data = item.objectForKey(Value("reportData"));
        uploadToUp4(report, data.isData() ? std::optional<Bytes>(data.asData()) : std::nullopt, nullptr, false);
    }
    crcrash_callCompletion(onCompletion, reports, true, nullptr);
}

bool ZUDCrashReportSinkUp4::decideUpload(const Value& item) const {
    const auto& modules = ZUDMobiConfig::sharedInstance()->filterModules();
    // A recrash report carries no thread list of its own; the report it embeds (whose name
    // the upload takes) is judged by its crashed thread.
    Value threads = zud_objectForKeyPath(item, "report/recrash_report/crash/threads");
    if (threads.isNull()) threads = zud_objectForKeyPath(item, "report/crash/threads");
    for (const auto& thread : threads.asArray()) {
        const Value& crashed = thread.objectForKey(Value("crashed"));
        if (!crashed.isNumber() || crashed != Value(1)) continue;
        for (const auto& frame : zud_objectForKeyPath(thread, "backtrace/contents").asArray()) {
            const Value& objectName = frame.objectForKey(Value("object_name"));
            if (!objectName.isString()) continue;
            for (const auto& module : modules)
                if (objectName.asString() == module) return true;
        }
    }
    return false;
}

std::string ZUDCrashReportSinkUp4::getCrashFileName(const Value& report, bool isAppExt) const {
    std::optional<NSDate> when;
    Value timestamp = zud_objectForKeyPath(report, "report/timestamp");
    if (timestamp.isString() && !timestamp.asString().empty()) {
        NSDateFormatter parser;
        parser.setDateFormat("yyyy'-'MM'-'dd'T'HH':'mm':'ss'.'SSSSSS'Z'");
        parser.setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"));
        parser.setTimeZone(NSTimeZone::timeZoneWithName("GMT"));
        when = parser.dateFromString(timestamp.asStdString());
    }
    // A missing timestamp, or one that is not text in the pattern, names the current time.
    if (!when) when = NSDate::date();

    std::string type = "crash";
    if (isAppExt) {
        type = "extcrash";
    } else if (zud_objectForKeyPath(report, "crash/error/type") == Value("user")) {
        type = zud_objectForKeyPath(report, "crash/error/user_reported/name") == Value("block") ? "block" : "exception";
    }
    return describe(appNameOf(report)) + "_" + describe(appVersionOf(report)) + "_" + describe(buildDateOf(report)) +
           "_" + NSUUID::UUID()->UUIDString() + "_" + dateFormatter_.stringFromDate(*when) + "_0_0." + type + ".gz";
}

void ZUDCrashReportSinkUp4::uploadToUp4(const Value& givenReport, const std::optional<Bytes>& data,
                                        const NSURLPtr& filePath, bool isAppExt) {
    std::optional<int64_t> reportID = reportIDOf(givenReport);
    Value report = givenReport;
    const Value& embedded = givenReport.objectForKey(Value("recrash_report"));
    if (!embedded.isNull()) report = embedded;

    auto request = std::make_shared<NSMutableURLRequest>(uploadURL(), NSURLRequestReloadIgnoringLocalCacheData, 60.0);
    auto body = ZPKCRHTTPMultipartPostBody::body();
    if (!data || (givenReport.isNull() && !filePath)) {
        deleteStoredReport(reportID);
        return;
    }
    if (!claim(reportID, filePath)) return;

    std::string fileName = getCrashFileName(report, isAppExt);
    std::string appName = describe(appNameOf(report));
    std::string appVersion = describe(appVersionOf(report));
    Bytes payload = *data;
    auto config = ZUDMobiConfig::sharedInstance();
    if (config->encryptLog()) {
        std::string key = ZUDCrashUploadSettings::cipherKey(appName, appVersion);
        payload = ZUDEncrypt::aesCBCEncryptData(payload, Bytes(key.begin(), key.end())).value_or(Bytes{});
        fileName += ".ec";
    }
    ZUDReporterLog("[Reporter] upload file " + fileName);
    body->appendData(std::move(payload), "file", std::string("application/file"), fileName);

    request->setHTTPMethod("POST");
    request->setHTTPBody(body->data());
    request->setValue(body->contentType(), "Content-Type");
    // No "Content-Encoding": the body itself is a plain multipart body; only the file part
    // holds gzip bytes, which its ".gz" name states.

    ZPKCRHTTPRequestSender::sender()->sendRequest(
        request,
        [reportID, filePath](const NSHTTPURLResponsePtr&, const Bytes& answer) {
            if (filePath)
                NSFileManager::defaultManager()->removeItemAtPath(filePath->path());
            else
                deleteStoredReport(reportID);
            release(reportID, filePath);
            ZUDReporterLog("[Reporter] upload success: " + std::string(answer.begin(), answer.end()));
        },
        [reportID, filePath](const NSHTTPURLResponsePtr&, const Bytes& answer) {
            release(reportID, filePath);
            ZUDReporterLog("[Reporter] on failure " + std::string(answer.begin(), answer.end()));
        },
        [reportID, filePath](const NSErrorPtr& error) {
            release(reportID, filePath);
            ZUDReporterLog("[Reporter] onError " + NSStringWithFormat("%@", error));
        });
}
