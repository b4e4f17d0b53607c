#include <analytics_common/ZVComReportPolicy.h>

#include <analytics_common/ZVComReportPolicyManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVTimerManager.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

constexpr char kIntervalChangeKey[] = "report_interval_change";
constexpr double kIntegrationMaxElapsed = 15;
constexpr double kSmartMaxElapsed = 93600;

}  // namespace

std::shared_ptr<ZVComReportPolicy> ZVComReportPolicy::make(uint64_t code) {
    switch (code) {
        case 0: return std::make_shared<ZVComReportPolicyForRealTimeForIntegration>(code);
        case 6: return std::make_shared<ZVComReportPolicyForInterval>(code);
        case 8: return std::make_shared<ZVComReportPolicyForSmart>(code);
        case 10: return std::make_shared<ZVComReportPolicyForDefcon>(code);
        case 11: return std::make_shared<ZVComReportPolicyForRealTime>(code);
        default: return std::make_shared<ZVComReportPolicyForBatch>(code);
    }
}

bool ZVComReportPolicy::isBackgroundFlush(const Value& context) {
    if (!context.isNumber() || context.integerValue() != 0) return false;
    const auto tracker = performClassSelector("ZuzOzevoSession", "sharedInstance");
    if (!tracker || !tracker->isObject()) return false;
    const auto inBackground = performSelector(tracker->asObject().get(), "appInBackGround");
    return inBackground && inBackground->boolValue();
}

bool ZVComReportPolicy::debugKeySet() {
    const auto key = ZVConfigureCache::sharedInstance()->debugkey();
    return key && !key->empty();
}

bool ZVComReportPolicy::takeIntervalChange() {
    const Value flag = ZVConfigureCache::objectWithKey(kIntervalChangeKey);
    if (!flag.isNumber() || !flag.boolValue()) return false;
    ZVConfigureCache::setObject(Value(false), kIntervalChangeKey);
    return true;
}

std::optional<Value> ZVComReportPolicy::ask(const char* selector, const Value& context) {
    const auto d = delegate();
    if (!d) return std::nullopt;
    return performSelector(d.get(), selector, {Value(static_cast<int64_t>(reportPolicyType_)), context});
}

void ZVComReportPolicy::willShouldCommitJobForDelegateWithContext(const Value& context) {
    (void)ask("willShouldCommitJobWithReportPolicyType:withContext:", context);
}

void ZVComReportPolicy::didShouldCommitJobForDelegateWithContext(const Value& context) {
    (void)ask("didShouldCommitJobWithReportPolicyType:withContext:", context);
}

bool ZVComReportPolicy::addtionalConditionFromDelegateWithContext(const Value& context) {
    const auto answer = ask("additionalConditionFromDelegateWithReportPolicyType:withContext:", context);
    return !answer || answer->boolValue();
}

bool ZVComReportPolicy::orConditionFromDelegateWithContext(const Value& context) {
    const auto answer = ask("orConditionFromDelegateWithReportPolicyType:withContext:", context);
    return answer && answer->boolValue();
}

bool ZVComReportPolicy::finalConditionWithReportPolicy(bool condition, const Value& context) {
    if (condition && addtionalConditionFromDelegateWithContext(context)) return true;
    return orConditionFromDelegateWithContext(context);
}

void ZVComReportPolicy::shouldCommitJobWithHandle(const ZVComReportPolicyHandler& handler, const Value& context) {
    if (!handler) return;
    willShouldCommitJobForDelegateWithContext(context);
    const bool condition = doShouldCommitJobwithContext(context);
    handler(condition, reportPolicyType_, context, Value());
    didShouldCommitJobForDelegateWithContext(context);
}

bool ZVComReportPolicy::doShouldCommitJobwithContext(const Value&) { return true; }

bool ZVComReportPolicyForRealTimeForIntegration::doShouldCommitJobwithContext(const Value& context) {
    const double elapsed = ZVHelper::elapsedTimeFromPost();
    return finalConditionWithReportPolicy(debugKeySet() || elapsed < 0 || elapsed > kIntegrationMaxElapsed, context);
}

bool ZVComReportPolicyForBatch::doShouldCommitJobwithContext(const Value& context) {
    return finalConditionWithReportPolicy(true, context);
}

bool ZVComReportPolicyForInterval::doShouldCommitJobwithContext(const Value& context) {
    const auto manager = ZVComReportPolicyManager::sharedInstance();
    if (takeIntervalChange()) manager->calculateLogSendInterval();
    const double elapsed = ZVHelper::elapsedTimeFromPost();
    return finalConditionWithReportPolicy(
        elapsed < 0 || elapsed > manager->logSendInterval() || isBackgroundFlush(context), context);
}

bool ZVComReportPolicyForSmart::doShouldCommitJobwithContext(const Value& context) {
    bool inBackground = false;
    if (const auto tracker = performClassSelector("ZuzOzevoSession", "sharedInstance"); tracker && tracker->isObject())
        if (const auto b = performSelector(tracker->asObject().get(), "appInBackGround")) inBackground = b->boolValue();
    const double elapsed = ZVHelper::elapsedTimeFromPost();
    return finalConditionWithReportPolicy(inBackground || elapsed < 0 || elapsed > kSmartMaxElapsed, context);
}

bool ZVComReportPolicyForDefcon::doShouldCommitJobwithContext(const Value& context) {
    double elapsed;
    if (context.isDictionary() && context.asDictionary().count(Value("ZVComSBDefconLastPost")))
        elapsed = ZVHelper::elapsedTimeFromLastPost(context.asDictionary().at(Value("ZVComSBDefconLastPost")));
    else
        elapsed = ZVHelper::elapsedTimeFromPost();
    bool condition = true;
    if (elapsed > 0) {
        switch (ZVEnvelopeBuild::sharedInstance()->defcon()) {
            case 1: condition = elapsed >= 14400; break;
            case 2: condition = elapsed >= 28800; break;
            case 3: condition = elapsed >= 86400; break;
            default: break;
        }
    }
    return finalConditionWithReportPolicy(condition, context);
}

ZVComReportPolicyForRealTime::~ZVComReportPolicyForRealTime() {
    if (startedTimer_) ZVTimerManager::sharedInstance()->cancelTimerWithName(kTimerName);
}

double ZVComReportPolicyForRealTime::verifyTimeInterval(double seconds) {
    return seconds >= 3 && seconds <= 90 ? seconds : 15;
}

double ZVComReportPolicyForRealTime::currentInterval() {
    const auto manager = ZVComReportPolicyManager::sharedInstance();
    if (takeIntervalChange()) manager->calculateRealTimeSendInterval();
    return verifyTimeInterval(manager->realTimeSendInterval());
}

void ZVComReportPolicyForRealTime::shouldCommitJobWithHandle(const ZVComReportPolicyHandler& handler,
                                                             const Value& context) {
    if (!handler) return;
    willShouldCommitJobForDelegateWithContext(context);
    const auto timers = ZVTimerManager::sharedInstance();
    if (isBackgroundFlush(context)) {
        handler(true, reportPolicyType(), context, Value());
        didShouldCommitJobForDelegateWithContext(context);
        return;
    }
    if (timers->existTimer(kTimerName)) {
        handler(false, reportPolicyType(), context, Value());
        didShouldCommitJobForDelegateWithContext(context);
        return;
    }
    std::weak_ptr<ZVComReportPolicy> weak = weak_from_this();
    startedTimer_ = true;
    timers->scheduledDispatchTimerWithName(kTimerName, currentInterval(), ZVWorkDispatch::getWorkQueue(), false,
                                           [weak, handler, context] {
                                               const auto self = weak.lock();
                                               if (!self) return;
                                               const bool ok = self->finalConditionWithReportPolicy(true, context);
                                               handler(ok, self->reportPolicyType(), context, Value());
                                               self->didShouldCommitJobForDelegateWithContext(context);
                                           });
}

bool ZVComReportPolicyForRealTime::doShouldCommitJobwithContext(const Value& context) {
    if (isBackgroundFlush(context)) return finalConditionWithReportPolicy(true, context);
    if (ZVTimerManager::sharedInstance()->existTimer(kTimerName)) return false;
    const double interval = currentInterval();
    return finalConditionWithReportPolicy(ZVHelper::elapsedTimeFromPost() >= interval, context);
}
