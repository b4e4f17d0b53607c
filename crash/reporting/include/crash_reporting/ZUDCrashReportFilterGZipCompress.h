#pragma once
// The gzip step of the upload chain: {"report", "appleReport": text} items become
// {"report", "reportData": gzip of the text's UTF-8 bytes}. Items without a text, or whose
// compression fails, are dropped. Completes before returning, on the caller's thread.

#include <cstdint>
#include <memory>

#include <crash_reporting/CRCrashReportFilter.h>
#include <platform_runtime/ObjCDeclare.h>

class ZUDCrashReportFilterGZipCompress : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZUDCrashReportFilterGZipCompress, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    // -1 is the compressor's default level.
    static std::shared_ptr<ZUDCrashReportFilterGZipCompress> filterWithCompressionLevel(int32_t level);
    explicit ZUDCrashReportFilterGZipCompress(int32_t level = -1) : compressionLevel_(level) {}
    int32_t compressionLevel() const { return compressionLevel_; }
    void setCompressionLevel(int32_t level) { compressionLevel_ = level; }
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

private:
    int32_t compressionLevel_ = -1;
};
