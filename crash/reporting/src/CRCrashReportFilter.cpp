#include <crash_reporting/CRCrashReportFilter.h>

#include <platform_runtime/NSObject.h>

CRCrashReportFilterPtr crcrash_filterFromValue(const Value& value) {
    if (!value.isObject()) return nullptr;
    return std::dynamic_pointer_cast<CRCrashReportFilter>(value.asObject());
}

Value crcrash_valueFromFilter(const CRCrashReportFilterPtr& filter) {
    return Value(std::dynamic_pointer_cast<NSObject>(filter));
}
