#pragma once
// A filter that runs several filters, one after another, each on the same input, and merges
// their outputs by index into dictionaries keyed by one key per filter. The first filter's
// output sets the number of results; shorter outputs leave their key out. Threads and
// lifetime as for the pipeline.

#include <memory>
#include <vector>

#include <crash_reporting/CRCrashReportFilter.h>
#include <platform_runtime/ObjCDeclare.h>

class ZPKCRCrashReportFilterCombine : public NSObject, public CRCrashReportFilter {
    NS_CLASS(ZPKCRCrashReportFilterCombine, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    // From an alternating list filter, key, filter, key, ... (see argBlockWithFilters).
    static std::shared_ptr<ZPKCRCrashReportFilterCombine> filterWithFiltersAndKeys(const std::vector<Value>& list);
    ZPKCRCrashReportFilterCombine(std::vector<CRCrashReportFilterPtr> filters = {}, std::vector<Value> keys = {});

    // The list parser: an array entry in filter position becomes a pipeline of its elements;
    // an entry that is no filter is skipped without changing what is expected next (so its
    // key is tested as a filter too, and skipped); a Null key is skipped but still counts.
    static void argBlockWithFilters(const std::vector<Value>& list, std::vector<CRCrashReportFilterPtr>& filters,
                                    std::vector<Value>& keys);

    const std::vector<CRCrashReportFilterPtr>& filters() const { return filters_; }
    void setFilters(std::vector<CRCrashReportFilterPtr> filters) { filters_ = std::move(filters); }
    const std::vector<Value>& keys() const { return keys_; }
    void setKeys(std::vector<Value> keys) { keys_ = std::move(keys); }

    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override;

private:
    std::vector<CRCrashReportFilterPtr> filters_;
    std::vector<Value> keys_;
};
