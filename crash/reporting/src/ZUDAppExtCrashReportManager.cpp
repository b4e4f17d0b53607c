#include <crash_reporting/ZUDAppExtCrashReportManager.h>

#include <mutex>

#include <crash_reporting/ZUDData.h>
#include <crash_reporting/ZUDMobiConfig.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSJSONSerialization.h>

std::shared_ptr<ZUDAppExtCrashReportManager> ZUDAppExtCrashReportManager::sharedInstance() {
    static std::once_flag once;
    static std::shared_ptr<ZUDAppExtCrashReportManager> instance;
    std::call_once(once, [] { instance = std::make_shared<ZUDAppExtCrashReportManager>(); });
    return instance;
}

ZUDAppExtCrashReportManager::ZUDAppExtCrashReportManager()
    : appleFmt_(std::make_shared<ZUDCrashReportFilterAppleFmt>(0)), uploadSink_(ZUDCrashReportSinkUp4::sink()) {}

NSURLPtr ZUDAppExtCrashReportManager::getGroupDirPath() const {
    auto group = ZUDMobiConfig::sharedInstance()->appGroupIdentifier();
    if (!group) return nullptr;
    auto container = NSFileManager::defaultManager()->containerPathForSecurityApplicationGroupIdentifier(*group);
    if (!container) return nullptr;
    return NSURL::fileURLWithPath(*container + "/_zpkcrash", true);
}

void ZUDAppExtCrashReportManager::sendAllAppExtCrash() {
    if (!ZUDMobiConfig::sharedInstance()->appGroupIdentifier()) return;
    NSURLPtr directory = getGroupDirPath();
    if (!directory) return;
    auto files = NSFileManager::defaultManager();
    bool isDirectory = false;
    if (!files->fileExistsAtPath(directory->path(), &isDirectory) || !isDirectory) return;
    for (const auto& name : files->contentsOfDirectoryAtPath(directory->path())) {
        NSURLPtr file = directory->URLByAppendingPathComponent(name);
        auto bytes = NSDataFile::dataWithContentsOfFile(file->path());
        if (!bytes) continue;
        Value report = NSJSONSerialization::JSONObjectWithData(*bytes, 0, nullptr);
        // Anything but a JSON object is rendered as an absent report.
        if (!report.isDictionary()) report = Value();
        std::string text = appleFmt_->toAppleFormat(report);
        NSErrorPtr error;
        auto compressed = zud_gzippedWithCompressionLevel(text, -1, &error);
        if (!compressed || compressed->empty()) continue;
        uploadSink_->uploadToUp4(report, compressed, file, true);
    }
}
