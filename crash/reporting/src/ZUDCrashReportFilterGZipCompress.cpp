#include <crash_reporting/ZUDCrashReportFilterGZipCompress.h>

#include <crash_reporting/ZUDData.h>

std::shared_ptr<ZUDCrashReportFilterGZipCompress> ZUDCrashReportFilterGZipCompress::filterWithCompressionLevel(
    int32_t level) {
    return std::make_shared<ZUDCrashReportFilterGZipCompress>(level);
}

void ZUDCrashReportFilterGZipCompress::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    Value output = Value::mutableArray();
    for (const auto& item : reports.asArray()) {
        const Value& text = item.objectForKey(Value("appleReport"));
        if (!text.isString()) continue;
        NSErrorPtr error;
        auto compressed = zud_gzippedWithCompressionLevel(text.asString(), compressionLevel_, &error);
        if (!compressed) continue;
        Value entry = Value::mutableDictionary();
        entry.setObject(item.objectForKey(Value("report")), Value("report"));
        entry.setObject(Value(std::move(*compressed)), Value("reportData"));
        output.addObject(entry);
    }
    crcrash_callCompletion(onCompletion, output, true, nullptr);
}
