#pragma once
// One run of filters one after another (the pipeline and the combine filter): each stage's
// completion leads to the next stage or to the final completion. The run keeps itself alive
// until the final completion and lets go of itself through a task on the main queue, so a
// stage that completes later, on another thread, still finds it; stages hold it weakly.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <crash_reporting/CRCrashReportFilter.h>

class CRFilterStageRun : public std::enable_shared_from_this<CRFilterStageRun> {
public:
    // Given the stage just finished and its output, answers the input of the next stage.
    using NextInput = std::function<Value(std::size_t finishedStage, const Value& output)>;
    // Builds the final completion's reports from the last stage's output.
    using Finish = std::function<Value(const Value& lastOutput)>;

    CRFilterStageRun(std::string domain, std::vector<CRCrashReportFilterPtr> filters,
                     CRCrashReportFilterCompletion onCompletion, NextInput nextInput, Finish finish);

    // Runs stage 0 with `input`; filters must not be empty.
    static void start(std::shared_ptr<CRFilterStageRun> run, const Value& input);

private:
    void runStage(const Value& input);
    void stageDone(const Value& reports, bool completed, const NSErrorPtr& error);
    void complete(const Value& reports, bool completed, const NSErrorPtr& error);

    std::string domain_;
    std::vector<CRCrashReportFilterPtr> filters_;
    CRCrashReportFilterCompletion onCompletion_;
    NextInput nextInput_;
    Finish finish_;
    std::size_t index_ = 0;
    std::shared_ptr<CRFilterStageRun> keepAlive_;
};
