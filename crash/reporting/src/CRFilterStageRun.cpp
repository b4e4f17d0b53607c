#include "CRFilterStageRun.h"

#include <crash_reporting/ZUDErrors.h>
#include <platform_dispatch/DispatchQueue.h>

CRFilterStageRun::CRFilterStageRun(std::string domain, std::vector<CRCrashReportFilterPtr> filters,
                                   CRCrashReportFilterCompletion onCompletion, NextInput nextInput, Finish finish)
    : domain_(std::move(domain)),
      filters_(std::move(filters)),
      onCompletion_(std::move(onCompletion)),
      nextInput_(std::move(nextInput)),
      finish_(std::move(finish)) {}

void CRFilterStageRun::start(std::shared_ptr<CRFilterStageRun> run, const Value& input) {
    run->keepAlive_ = run;
    run->runStage(input);
}

void CRFilterStageRun::runStage(const Value& input) {
    std::weak_ptr<CRFilterStageRun> weak = weak_from_this();
    filters_[index_]->filterReports(input, [weak](Value reports, bool completed, NSErrorPtr error) {
        if (auto run = weak.lock()) run->stageDone(reports, completed, error);
    });
}

void CRFilterStageRun::stageDone(const Value& reports, bool completed, const NSErrorPtr& error) {
    if (!completed) return complete(reports, false, error);
    if (reports.isNull())
        return complete(Value(), false, zud_errorWithDomain(domain_, 0, "filteredReports was nil"));
    std::size_t finished = index_++;
    if (index_ < filters_.size()) return runStage(nextInput_ ? nextInput_(finished, reports) : reports);
    if (nextInput_) nextInput_(finished, reports);
    complete(finish_ ? finish_(reports) : reports, completed, error);
}

void CRFilterStageRun::complete(const Value& reports, bool completed, const NSErrorPtr& error) {
    auto self = std::move(keepAlive_);
    crcrash_callCompletion(onCompletion_, reports, completed, error);
    // Stages still holding a weak reference see the run gone once the main queue has run.
    if (self) dispatch_async(dispatch_get_main_queue(), [self] {});
}
