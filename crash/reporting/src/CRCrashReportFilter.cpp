#include <crash_reporting/CRCrashReportFilter.h>

CRCrashReportFilterPtr CRCrashReportFilterFromValue(const Value& value) {
    if (!value.isObject()) return nullptr;
    return std::dynamic_pointer_cast<CRCrashReportFilter>(value.asObject());
}
