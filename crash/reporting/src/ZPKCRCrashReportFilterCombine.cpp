#include <crash_reporting/ZPKCRCrashReportFilterCombine.h>

#include <crash_reporting/ZPKCRCrashReportFilterPipeline.h>
#include <crash_reporting/ZUDErrors.h>

#include "CRFilterStageRun.h"

ZPKCRCrashReportFilterCombine::ZPKCRCrashReportFilterCombine(std::vector<CRCrashReportFilterPtr> filters,
                                                             std::vector<Value> keys)
    : filters_(std::move(filters)), keys_(std::move(keys)) {}

void ZPKCRCrashReportFilterCombine::argBlockWithFilters(const std::vector<Value>& list,
                                                        std::vector<CRCrashReportFilterPtr>& filters,
                                                        std::vector<Value>& keys) {
    bool expectingFilter = true;
    for (const auto& entry : list) {
        if (expectingFilter) {
            CRCrashReportFilterPtr filter;
            if (entry.isArray())
                filter = ZPKCRCrashReportFilterPipeline::filterWithFilters(entry.asArray());
            else
                filter = crcrash_filterFromValue(entry);
            if (!filter) continue;
            filters.push_back(std::move(filter));
        } else if (!entry.isNull()) {
            keys.push_back(entry);
        }
        expectingFilter = !expectingFilter;
    }
}

std::shared_ptr<ZPKCRCrashReportFilterCombine> ZPKCRCrashReportFilterCombine::filterWithFiltersAndKeys(
    const std::vector<Value>& list) {
    std::vector<CRCrashReportFilterPtr> filters;
    std::vector<Value> keys;
    argBlockWithFilters(list, filters, keys);
    return std::make_shared<ZPKCRCrashReportFilterCombine>(std::move(filters), std::move(keys));
}

void ZPKCRCrashReportFilterCombine::filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) {
    if (filters_.empty()) return crcrash_callCompletion(onCompletion, reports, true, nullptr);
    if (keys_.size() != filters_.size())
        return crcrash_callCompletion(onCompletion, reports, false,
                                zud_errorWithDomain(className(), 0, "Key/filter mismatch (%d keys, %d filters",
                                                    static_cast<int>(keys_.size()),
                                                    static_cast<int>(filters_.size())));
    auto outputs = std::make_shared<std::vector<Value>>();
    auto keys = keys_;
    Value input = reports;
    auto nextInput = [outputs, input](std::size_t, const Value& output) {
        outputs->push_back(output);
        return input;
    };
    auto finish = [outputs, keys](const Value&) {
        Value combined = Value::mutableArray();
        std::size_t count = (*outputs)[0].count();
        for (std::size_t i = 0; i < count; ++i) {
            Value entry = Value::mutableDictionary();
            for (std::size_t j = 0; j < outputs->size(); ++j)
                if ((*outputs)[j].count() > i) entry.setObject((*outputs)[j][i], keys[j]);
            combined.addObject(entry);
        }
        return combined;
    };
    auto run = std::make_shared<CRFilterStageRun>(className(), filters_, std::move(onCompletion), nextInput, finish);
    CRFilterStageRun::start(std::move(run), reports);
}
