#pragma once
// Chooses the report policy (imprint "defcon", integration-test mode, the "zvExperimentRPT"
// experiment, imprint "report_policy"), keeps its strategy and the send intervals, and answers
// the engine's questions whether to send now. One instance for the process; every decision
// runs on the work queue (a request from another thread waits for a synchronous hop, imprint
// changes hop asynchronously). The delegate is held strongly and handed to each strategy.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include <analytics_common/ZVComReportPolicy.h>

class ZVComReportPolicyManager {
public:
    static std::shared_ptr<ZVComReportPolicyManager> sharedInstance();
    ZVComReportPolicyManager();

    // Nothing for a null handler.
    void startCommitJobWithHandler(const ZVComReportPolicyHandler& handler, const Value& context);
    // The strategy's own condition with the delegate's combination (no hooks, no handler).
    bool shoudleSetupReportDataWithContext(const Value& context);

    void setDelegate(const std::shared_ptr<NSObject>& delegate);
    std::shared_ptr<NSObject> delegate() const;
    std::shared_ptr<ZVComReportPolicy> curReportPolicy() const;
    double logSendInterval() const { return logSendInterval_.load(); }
    double realTimeSendInterval() const { return realTimeSendInterval_.load(); }

    // Recomputes, stores and answers the code.
    uint64_t curReportPolicyType();
    void setCurReportPolicyType(int64_t code);
    bool forceChangeReportPolicy(uint64_t code);
    void changeCurReportPolicy(uint64_t code);
    double calculateLogSendInterval();
    double calculateRealTimeSendInterval();
    static bool checkLocalDefcon();
    static bool checkLocalIntegration();

    void imprintObserveValueForImprintKey(const std::string& key, const Value& newValue, const Value& oldValue);

private:
    static uint64_t normalise(int64_t code);
    std::shared_ptr<ZVComReportPolicy> policy() const;
    mutable std::mutex mutex_;  // delegate and strategy pointers
    std::shared_ptr<NSObject> delegate_;
    std::shared_ptr<ZVComReportPolicy> curReportPolicy_;
    std::atomic<uint64_t> curReportPolicyType_{1};
    std::atomic<double> logSendInterval_{90}, realTimeSendInterval_{15};
};
