#pragma once
// Sends the crash reports that app extensions leave in the app group's "_zpkcrash" folder:
// each file is rendered as platform-style text, gzipped and uploaded as "extcrash"; the file
// is removed after a 2xx answer and stays otherwise.
//
// One shared instance; sendAllAppExtCrash runs on the report-handling queue, upload
// completions (file removal) on the main queue.

#include <memory>

#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>
#include <crash_reporting/ZUDCrashReportSinkUp4.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/ObjCDeclare.h>

class ZUDAppExtCrashReportManager : public NSObject {
    NS_CLASS(ZUDAppExtCrashReportManager, NSObject)
public:
    static std::shared_ptr<ZUDAppExtCrashReportManager> sharedInstance();
    ZUDAppExtCrashReportManager();

    // The app group's container + "_zpkcrash"; nullptr without a group or container.
    NSURLPtr getGroupDirPath() const;
    void sendAllAppExtCrash();

    const std::shared_ptr<ZUDCrashReportFilterAppleFmt>& appleFmt() const { return appleFmt_; }
    const std::shared_ptr<ZUDCrashReportSinkUp4>& uploadSink() const { return uploadSink_; }

private:
    std::shared_ptr<ZUDCrashReportFilterAppleFmt> appleFmt_;
    std::shared_ptr<ZUDCrashReportSinkUp4> uploadSink_;
};
