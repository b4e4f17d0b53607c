#pragma once
// The report filter protocol: a filter takes an array of reports, transforms, selects or
// regroups them and hands the resulting array to its completion.
//
// Contract: filterReports calls the completion (when one is given) exactly once per call,
// before returning or later from whatever thread its work finished on, with (the filtered
// reports as an array, or Null on failure; whether the filter finished its work; an error or
// nullptr). A caller treats "completed" without an array as a failure. Filters hold no state
// between calls beyond their configuration.

#include <functional>
#include <memory>

#include <platform_runtime/NSError.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

using CRCrashReportFilterCompletion =
    std::function<void(const Value& filteredReports, bool completed, const NSErrorPtr& error)>;

class CRCrashReportFilter {
public:
    virtual ~CRCrashReportFilter() = default;
    virtual void filterReports(const Value& reports, CRCrashReportFilterCompletion onCompletion) = 0;
};

using CRCrashReportFilterPtr = std::shared_ptr<CRCrashReportFilter>;

// The filter held by a value (an object reference adopting the protocol), or nullptr.
CRCrashReportFilterPtr CRCrashReportFilterFromValue(const Value& value);

// Calls the completion when one is given.
inline void CRCallCompletion(const CRCrashReportFilterCompletion& onCompletion, const Value& reports, bool completed,
                             const NSErrorPtr& error) {
    if (onCompletion) onCompletion(reports, completed, error);
}
