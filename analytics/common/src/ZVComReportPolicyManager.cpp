#include <analytics_common/ZVComReportPolicyManager.h>

#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVImprintObserverManager.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

constexpr char kExperimentKey[] = "zvExperimentRPT";
constexpr double kLogIntervalMin = 90, kLogIntervalMax = 86400, kLogIntervalDefault = 90;
constexpr double kRealTimeMin = 3, kRealTimeMax = 90, kRealTimeDefault = 15;

// Forwards imprint changes to the manager without keeping it alive.
class ImprintForwarder : public ZVImprintObserverProtocol {
public:
    explicit ImprintForwarder(std::weak_ptr<ZVComReportPolicyManager> m) : manager_(std::move(m)) {}
    void imprintObserveValueForImprintKey(const std::string& key, const Value& newValue,
                                          const Value& oldValue) override {
        if (auto m = manager_.lock()) m->imprintObserveValueForImprintKey(key, newValue, oldValue);
    }

private:
    std::weak_ptr<ZVComReportPolicyManager> manager_;
};

std::optional<int64_t> experimentCode() {
    const Value v = ZVConfigureCache::objectWithKey(kExperimentKey);
    if (!v.isNumber()) return std::nullopt;
    return v.integerValue();
}

// The imprint value the intervals come from ("" when empty).
std::string intervalSource() {
    if (!ZVComReportPolicyManager::checkLocalIntegration() && experimentCode() == 6) {
        const auto test = ZVEnvelopeBuild::imprintProperty("test_report_interval");
        if (test && !test->empty()) return *test;
    }
    return ZVEnvelopeBuild::imprintProperty("report_interval").value_or("");
}

}  // namespace

std::shared_ptr<ZVComReportPolicyManager> ZVComReportPolicyManager::sharedInstance() {
    static const auto instance = [] {
        auto m = std::make_shared<ZVComReportPolicyManager>();
        const auto forwarder = std::make_shared<ImprintForwarder>(m);
        for (const std::string key : {"defcon", "integrated_test", "client_test", "report_policy"})
            ZVImprintObserverManager::sharedInstance()->registerImprintKey(&key, forwarder);
        return m;
    }();
    return instance;
}

ZVComReportPolicyManager::ZVComReportPolicyManager() {
    changeCurReportPolicy(curReportPolicyType());
    calculateLogSendInterval();
    calculateRealTimeSendInterval();
}

std::shared_ptr<ZVComReportPolicy> ZVComReportPolicyManager::policy() const {
    std::lock_guard lock(mutex_);
    return curReportPolicy_;
}

std::shared_ptr<ZVComReportPolicy> ZVComReportPolicyManager::curReportPolicy() const { return policy(); }

void ZVComReportPolicyManager::setDelegate(const std::shared_ptr<NSObject>& delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
    if (curReportPolicy_) curReportPolicy_->setDelegate(delegate);
}

std::shared_ptr<NSObject> ZVComReportPolicyManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void ZVComReportPolicyManager::startCommitJobWithHandler(const ZVComReportPolicyHandler& handler,
                                                         const Value& context) {
    if (!handler) return;
    if (ZVWorkDispatch::isInWorkQueue()) {
        if (auto p = policy()) p->shouldCommitJobWithHandle(handler, context);
        return;
    }
    // Kept alive by the synchronous wait; the shared instance lives for the process anyway.
    dispatch_sync(ZVWorkDispatch::getWorkQueue(), [this, &handler, &context] {
        if (auto p = policy()) p->shouldCommitJobWithHandle(handler, context);
    });
}

bool ZVComReportPolicyManager::shoudleSetupReportDataWithContext(const Value& context) {
    const auto p = policy();
    return p && p->doShouldCommitJobwithContext(context);
}

bool ZVComReportPolicyManager::checkLocalDefcon() {
    const auto defcon = ZVEnvelopeBuild::imprintProperty("defcon");
    if (!defcon) return false;
    const int64_t level = Value(*defcon).integerValue();
    return level >= 1 && level <= 3;
}

bool ZVComReportPolicyManager::checkLocalIntegration() { return ZVEnvelopeBuild::isIntegratedTestModel(); }

uint64_t ZVComReportPolicyManager::normalise(int64_t code) {
    switch (code) {
        case 1: case 6: case 8: case 10: case 11: return static_cast<uint64_t>(code);
        case 0: return checkLocalIntegration() ? 0 : 1;
        default: return 1;
    }
}

uint64_t ZVComReportPolicyManager::curReportPolicyType() {
    int64_t code;
    if (checkLocalDefcon())
        code = 10;
    else if (checkLocalIntegration())
        code = 0;
    else if (const auto experiment = experimentCode())
        code = *experiment;
    else if (const auto imprint = ZVEnvelopeBuild::imprintProperty("report_policy"))
        code = Value(*imprint).integerValue();
    else
        code = -1;
    const uint64_t type = normalise(code);
    curReportPolicyType_.store(type);
    return type;
}

void ZVComReportPolicyManager::setCurReportPolicyType(int64_t code) { changeCurReportPolicy(normalise(code)); }

bool ZVComReportPolicyManager::forceChangeReportPolicy(uint64_t code) {
    changeCurReportPolicy(code);
    return true;
}

void ZVComReportPolicyManager::changeCurReportPolicy(uint64_t code) {
    curReportPolicyType_.store(code);
    std::shared_ptr<ZVComReportPolicy> old;  // destroyed outside the lock (it may cancel a timer)
    std::lock_guard lock(mutex_);
    if (curReportPolicy_ && curReportPolicy_->reportPolicyType() == code) return;
    auto next = ZVComReportPolicy::make(code);
    next->setDelegate(delegate_);
    old = std::exchange(curReportPolicy_, std::move(next));
}

double ZVComReportPolicyManager::calculateLogSendInterval() {
    const std::string source = intervalSource();
    double interval = source.empty() ? kLogIntervalDefault : Value(source).doubleValue();
    if (interval > kLogIntervalMax || interval < kLogIntervalMin) interval = kLogIntervalDefault;
    logSendInterval_.store(interval);
    return interval;
}

double ZVComReportPolicyManager::calculateRealTimeSendInterval() {
    const std::string source = intervalSource();
    double interval = source.empty() ? kRealTimeDefault : Value(source).doubleValue();
    if (interval > kRealTimeMax || interval < kRealTimeMin) interval = kRealTimeDefault;
    realTimeSendInterval_.store(interval);
    return interval;
}

void ZVComReportPolicyManager::imprintObserveValueForImprintKey(const std::string&, const Value&, const Value&) {
    std::weak_ptr<ZVComReportPolicyManager> weak = sharedInstance();
    dispatch_async(ZVWorkDispatch::getWorkQueue(), [weak] {
        const auto self = weak.lock();
        if (!self) return;
        const uint64_t code = self->curReportPolicyType();
        self->changeCurReportPolicy(code);
        if (const auto d = self->delegate())
            (void)performSelector(d.get(), "reportPolicyDidChange:", {Value(static_cast<int64_t>(code))});
    });
}
