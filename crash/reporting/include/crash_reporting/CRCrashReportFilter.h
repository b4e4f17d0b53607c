#pragma once
// The protocol every crash report filter and sink adopts: one operation that takes an
// array of reports and hands the array it made of them to a completion.
//
// Completion contract: a filter calls the completion (when one is given) exactly once per
// filterReports call, either before returning or later from whatever thread its work
// finished on, with (filtered reports, completed, error). The reports are an array, or
// Null when the filter failed; a caller treats "completed" without an array as a failure.
// Filters derive from NSObject as well, so they travel inside Values (arrays of filters,
// the combine filter's argument lists); a filter object is shared, its configuration is
// set before use, and a call keeps no state in the filter between calls.

#include <functional>
#include <memory>

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

using CRCrashReportFilterCompletion = std::function<void(Value filteredReports, bool completed, NSErrorPtr error)>;

class CRCrashReportFilter {
public:
    virtual ~CRCrashReportFilter() = default;
    virtual void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) = 0;
};

using CRCrashReportFilterPtr = std::shared_ptr<CRCrashReportFilter>;

// The protocol's name as filters declare it (NS_PROTOCOLS) and conformsToProtocol asks it.
inline constexpr char kCRCrashReportFilterProtocol[] = "CRCrashReportFilter";

// Calls the completion when one was given.
inline void crcrash_callCompletion(const CRCrashReportFilterCompletion& onCompletion, Value filteredReports,
                                   bool completed, NSErrorPtr error) {
    if (onCompletion) onCompletion(std::move(filteredReports), completed, std::move(error));
}

// The filter a Value holds (an NSObject adopting the protocol), or nullptr.
CRCrashReportFilterPtr crcrash_filterFromValue(const Value& value);
// A filter as a Value (its NSObject side); Null when the filter is not an NSObject.
Value crcrash_valueFromFilter(const CRCrashReportFilterPtr& filter);
