#include <crash_reporting/ZPKCRCrashReportFilterPipeline.h>

#include "CRFilterStageRun.h"

std::vector<CRCrashReportFilterPtr> CRFlattenFilters(const std::vector<Value>& list) {
    std::vector<CRCrashReportFilterPtr> filters;
    auto add = [&](const Value& entry) {
        if (auto filter = crcrash_filterFromValue(entry)) filters.push_back(std::move(filter));
    };
    for (const auto& entry : list) {
        if (entry.isArray()) {
            for (const auto& element : entry.asArray()) add(element);
        } else {
            add(entry);
        }
    }
    return filters;
}

ZPKCRCrashReportFilterPipeline::ZPKCRCrashReportFilterPipeline(const std::vector<Value>& filtersArray)
    : filters_(CRFlattenFilters(filtersArray)) {}

std::shared_ptr<ZPKCRCrashReportFilterPipeline> ZPKCRCrashReportFilterPipeline::filterWithFilters(
    const std::vector<Value>& filters) {
    return std::make_shared<ZPKCRCrashReportFilterPipeline>(filters);
}

void ZPKCRCrashReportFilterPipeline::addFilter(CRCrashReportFilterPtr filter) {
    if (filter) filters_.insert(filters_.begin(), std::move(filter));
}

void ZPKCRCrashReportFilterPipeline::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    if (filters_.empty()) return crcrash_callCompletion(onCompletion, reports, true, nullptr);
    auto run = std::make_shared<CRFilterStageRun>(className(), filters_, std::move(onCompletion), nullptr, nullptr);
    CRFilterStageRun::start(std::move(run), reports);
}
