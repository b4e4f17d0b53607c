#pragma once
// A filter that runs its filters one after another, each on the previous one's output.
// Filters run on the caller's thread and continue on the thread of each stage's completion;
// the run stays alive until its final completion (see CRCrashReportFilter.h).

#include <memory>
#include <vector>

#include <crash_reporting/CRCrashReportFilter.h>
#include <platform_runtime/ObjCDeclare.h>

class ZPKCRCrashReportFilterPipeline : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterPipeline, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    // From a list of filters; an array entry contributes its elements (one level deep).
    // Entries that are not filters are left out.
    static std::shared_ptr<ZPKCRCrashReportFilterPipeline> filterWithFilters(const std::vector<Value>& filters);
    explicit ZPKCRCrashReportFilterPipeline(const std::vector<Value>& filtersArray = {});

    const std::vector<CRCrashReportFilterPtr>& filters() const { return filters_; }
    void setFilters(std::vector<CRCrashReportFilterPtr> filters) { filters_ = std::move(filters); }
    // Inserts at the front: the filter added last runs first.
    void addFilter(CRCrashReportFilterPtr filter);

    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

private:
    std::vector<CRCrashReportFilterPtr> filters_;
};

// The filters of a list, arrays flattened one level; entries that are not filters are left out.
std::vector<CRCrashReportFilterPtr> CRFlattenFilters(const std::vector<Value>& list);
