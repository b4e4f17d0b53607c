#pragma once
// Report-policy strategies: each decides whether collected analytics data is sent now, and
// the engine, as delegate, may veto or force the answer. The delegate is any object found by
// name whose optional operations are called by selector:
//   "additionalConditionFromDelegateWithReportPolicyType:withContext:" -> bool
//   "orConditionFromDelegateWithReportPolicyType:withContext:"         -> bool
//   "willShouldCommitJobWithReportPolicyType:withContext:"
//   "didShouldCommitJobWithReportPolicyType:withContext:"
//   "reportPolicyDidChange:"
// Strategies hold the delegate weakly and run on the work queue only (handlers are called
// there, the RealTime one possibly later from its timer). Owned by the policy manager.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

// (shouldCommit, policy code, context, error); strategies always pass a null error.
using ZVComReportPolicyHandler = std::function<void(bool, uint64_t, const Value&, const Value&)>;

class ZVComReportPolicy : public std::enable_shared_from_this<ZVComReportPolicy> {
public:
    explicit ZVComReportPolicy(uint64_t type) : reportPolicyType_(type) {}
    virtual ~ZVComReportPolicy() = default;
    // Code 0, 6, 8, 10, 11 give the class of that code, any other code Batch; the type is the
    // code as given.
    static std::shared_ptr<ZVComReportPolicy> make(uint64_t code);

    virtual void shouldCommitJobWithHandle(const ZVComReportPolicyHandler& handler, const Value& context);
    virtual bool doShouldCommitJobwithContext(const Value& context);

    void willShouldCommitJobForDelegateWithContext(const Value& context);
    void didShouldCommitJobForDelegateWithContext(const Value& context);
    bool addtionalConditionFromDelegateWithContext(const Value& context);
    bool orConditionFromDelegateWithContext(const Value& context);
    // YES when `condition` and the delegate's additional condition hold, else the or-condition.
    bool finalConditionWithReportPolicy(bool condition, const Value& context);

    uint64_t reportPolicyType() const { return reportPolicyType_; }
    void setDelegate(const std::shared_ptr<NSObject>& delegate) { delegate_ = delegate; }
    std::shared_ptr<NSObject> delegate() const { return delegate_.lock(); }

    // The number 0 while the session tracker says the app is in the background.
    static bool isBackgroundFlush(const Value& context);
    static bool debugKeySet();
    // Consumes the "report_interval_change" flag: true when it was a number YES.
    static bool takeIntervalChange();

private:
    std::optional<Value> ask(const char* selector, const Value& context);
    uint64_t reportPolicyType_;
    std::weak_ptr<NSObject> delegate_;
};

class ZVComReportPolicyForRealTimeForIntegration : public ZVComReportPolicy {
public:
    using ZVComReportPolicy::ZVComReportPolicy;
    bool doShouldCommitJobwithContext(const Value& context) override;
};

class ZVComReportPolicyForBatch : public ZVComReportPolicy {
public:
    using ZVComReportPolicy::ZVComReportPolicy;
    bool doShouldCommitJobwithContext(const Value& context) override;
};

class ZVComReportPolicyForInterval : public ZVComReportPolicy {
public:
    using ZVComReportPolicy::ZVComReportPolicy;
    bool doShouldCommitJobwithContext(const Value& context) override;
};

class ZVComReportPolicyForSmart : public ZVComReportPolicy {
public:
    using ZVComReportPolicy::ZVComReportPolicy;
    bool doShouldCommitJobwithContext(const Value& context) override;
};

class ZVComReportPolicyForDefcon : public ZVComReportPolicy {
public:
    using ZVComReportPolicy::ZVComReportPolicy;
    bool doShouldCommitJobwithContext(const Value& context) override;
};

// Sends on a background flush; otherwise starts the one-shot timer "KZVRealTimerForRedidid"
// and answers when it fires. Destroying the strategy cancels the timer (its handler is then
// never called).
class ZVComReportPolicyForRealTime : public ZVComReportPolicy {
public:
    static constexpr const char* kTimerName = "KZVRealTimerForRedidid";
    using ZVComReportPolicy::ZVComReportPolicy;
    ~ZVComReportPolicyForRealTime() override;
    void shouldCommitJobWithHandle(const ZVComReportPolicyHandler& handler, const Value& context) override;
    bool doShouldCommitJobwithContext(const Value& context) override;
    // 3 to 90 s kept, anything else 15.
    static double verifyTimeInterval(double seconds);

private:
    double currentInterval();
    bool startedTimer_ = false;
};
