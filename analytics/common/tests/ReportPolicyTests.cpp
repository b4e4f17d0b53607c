// Report policies: the code chosen from imprint and experiment, the send intervals, each
// strategy's condition combined with the delegate's veto and or-condition, the RealTime
// timer's immediate answers, and imprint changes.

#include <chrono>
#include <map>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "AnalyticsTestSupport.h"
#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVComReportPolicyManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVImprintObserverManager.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVTimerManager.h>
#include <platform_runtime/ObjCClass.h>

namespace {

// The session tracker's double.
class ZuzOzevoSession : public NSObject {
    NS_CLASS(ZuzOzevoSession, NSObject)
public:
    static std::shared_ptr<ZuzOzevoSession> shared() {
        // Never destroyed: work still queued at exit may ask for it.
        static const auto* s = new std::shared_ptr<ZuzOzevoSession>(std::make_shared<ZuzOzevoSession>());
        return *s;
    }
    std::atomic<bool> inBackground{false};
};

// The engine's part as policy delegate: scripted conditions, recorded calls.
class PolicyDelegate : public NSObject {
    NS_CLASS(PolicyDelegate, NSObject)
public:
    std::optional<bool> additional, orCondition;
    std::vector<std::string> calls;
    std::vector<int64_t> changes;
};

// A delegate implementing none of the protocol.
class SilentDelegate : public NSObject {
    NS_CLASS(SilentDelegate, NSObject)
};

using zvtest::storeImprint;

void setExperiment(std::optional<int64_t> code) {
    if (code)
        ZVConfigureCache::setObject(Value(*code), "zvExperimentRPT");
    else
        ZVConfigureCache::removeObjectForKey("zvExperimentRPT");
}

double now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Elapsed seconds since the last post, or never posted.
void setElapsed(std::optional<double> seconds) {
    if (seconds)
        ZVConfigureCache::setObject(Value(now() - *seconds), "lastPostInterval");
    else
        ZVConfigureCache::removeObjectForKey("lastPostInterval");
}

struct Answer {
    bool called = false, shouldCommit = false;
    uint64_t type = 0;
    Value context;
};

Answer ask(ZVComReportPolicyManager& m, const Value& context) {
    auto answer = std::make_shared<Answer>();
    m.startCommitJobWithHandler(
        [answer](bool ok, uint64_t type, const Value& ctx, const Value& error) {
            EXPECT_TRUE(error.isNull());
            *answer = {true, ok, type, ctx};
        },
        context);
    return *answer;
}

class ReportPolicies : public ::testing::Test {
protected:
    std::shared_ptr<ZVComReportPolicyManager> m = ZVComReportPolicyManager::sharedInstance();
    std::shared_ptr<PolicyDelegate> delegate = std::make_shared<PolicyDelegate>();
    void SetUp() override {
        ZVConfigureCache::removeObjectForKey("zvImprint");
        ZVConfigureCache::removeObjectForKey("zvExperimentRPT");
        ZVConfigureCache::removeObjectForKey("report_interval_change");
        ZVConfigureCache::sharedInstance()->setDebugkey(std::nullopt);
        ZVEnvelopeBuild::sharedInstance()->setDefcon(0);
        ZuzOzevoSession::shared()->inBackground = false;
        setElapsed(std::nullopt);
        m->setDelegate(delegate);
        m->forceChangeReportPolicy(1);
    }
    void TearDown() override {
        m->forceChangeReportPolicy(1);
        m->setDelegate(nullptr);
    }
};

}  // namespace

NS_CLASS_LOAD(ZuzOzevoSession) {
    cls.addClassOperation("sharedInstance", [](ObjCClass&, const Value::Array&) { return Value(ZuzOzevoSession::shared()); });
    cls.addInstanceOperation("appInBackGround", [](NSObject& self, const Value::Array&) {
        return Value(static_cast<ZuzOzevoSession&>(self).inBackground.load());
    });
}

NS_CLASS_LOAD(PolicyDelegate) {
    auto record = [](const char* name) {
        return [name](NSObject& self, const Value::Array& args) {
            auto& d = static_cast<PolicyDelegate&>(self);
            d.calls.push_back(std::string(name) + ":" + std::to_string(args.at(0).integerValue()));
            return Value();
        };
    };
    cls.addInstanceOperation("willShouldCommitJobWithReportPolicyType:withContext:", record("will"));
    cls.addInstanceOperation("didShouldCommitJobWithReportPolicyType:withContext:", record("did"));
    cls.addInstanceOperation("additionalConditionFromDelegateWithReportPolicyType:withContext:",
                             [](NSObject& self, const Value::Array&) {
                                 auto& d = static_cast<PolicyDelegate&>(self);
                                 d.calls.push_back("additional");
                                 return Value(d.additional.value_or(true));
                             });
    cls.addInstanceOperation("orConditionFromDelegateWithReportPolicyType:withContext:",
                             [](NSObject& self, const Value::Array&) {
                                 auto& d = static_cast<PolicyDelegate&>(self);
                                 d.calls.push_back("or");
                                 return Value(d.orCondition.value_or(false));
                             });
    cls.addInstanceOperation("reportPolicyDidChange:", [](NSObject& self, const Value::Array& args) {
        static_cast<PolicyDelegate&>(self).changes.push_back(args.at(0).integerValue());
        return Value();
    });
}

TEST_F(ReportPolicies, CodeChosenFromImprintAndExperiment) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> imprint;
        std::optional<int64_t> experiment;
        uint64_t code;
    } cases[] = {
        {"nothing", {}, std::nullopt, 1},
        {"report_policy 7", {{"report_policy", "7"}}, std::nullopt, 1},
        {"report_policy 0 outside integration", {{"report_policy", "0"}}, std::nullopt, 1},
        {"report_policy 6", {{"report_policy", "6"}}, std::nullopt, 6},
        {"report_policy 11", {{"report_policy", "11"}}, std::nullopt, 11},
        {"report_policy 12", {{"report_policy", "12"}}, std::nullopt, 1},
        {"report_policy -3", {{"report_policy", "-3"}}, std::nullopt, 1},
        {"experiment wins over imprint", {{"report_policy", "6"}}, 8, 8},
        {"experiment 0 outside integration", {}, 0, 1},
        {"integration", {{"integrated_test", "1"}, {"report_policy", "6"}}, 8, 0},
        {"defcon 2 overrides everything", {{"defcon", "2"}, {"integrated_test", "1"}, {"report_policy", "6"}}, 8, 10},
        {"defcon 4 is no defcon", {{"defcon", "4"}, {"report_policy", "6"}}, std::nullopt, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storeImprint(c.imprint);
        setExperiment(c.experiment);
        EXPECT_EQ(m->curReportPolicyType(), c.code);
        m->changeCurReportPolicy(c.code);
        EXPECT_EQ(m->curReportPolicy()->reportPolicyType(), c.code);
    }
}

TEST_F(ReportPolicies, FactoryAndSameTypeKeepsTheStrategy) {
    struct Case {
        uint64_t code;
        bool (*isClass)(ZVComReportPolicy*);
    } cases[] = {
        {0, [](ZVComReportPolicy* p) { return dynamic_cast<ZVComReportPolicyForRealTimeForIntegration*>(p) != nullptr; }},
        {6, [](ZVComReportPolicy* p) { return dynamic_cast<ZVComReportPolicyForInterval*>(p) != nullptr; }},
        {8, [](ZVComReportPolicy* p) { return dynamic_cast<ZVComReportPolicyForSmart*>(p) != nullptr; }},
        {10, [](ZVComReportPolicy* p) { return dynamic_cast<ZVComReportPolicyForDefcon*>(p) != nullptr; }},
        {11, [](ZVComReportPolicy* p) { return dynamic_cast<ZVComReportPolicyForRealTime*>(p) != nullptr; }},
        {5, [](ZVComReportPolicy* p) { return dynamic_cast<ZVComReportPolicyForBatch*>(p) != nullptr; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_TRUE(m->forceChangeReportPolicy(c.code));
        const auto first = m->curReportPolicy();
        EXPECT_TRUE(c.isClass(first.get()));
        EXPECT_EQ(first->delegate(), delegate);
        m->changeCurReportPolicy(c.code);
        EXPECT_EQ(m->curReportPolicy(), first);
    }
}

TEST_F(ReportPolicies, ForcedCodeFiveIsBatchAndPassesItsType) {
    m->forceChangeReportPolicy(5);
    const Answer a = ask(*m, Value(int64_t{3}));
    ASSERT_TRUE(a.called);
    EXPECT_TRUE(a.shouldCommit);
    EXPECT_EQ(a.type, 5u);
    EXPECT_EQ(a.context.integerValue(), 3);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"will:5", "additional", "did:5"}));
}

TEST_F(ReportPolicies, Intervals) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> imprint;
        std::optional<int64_t> experiment;
        double log, realTime;
    } cases[] = {
        {"30", {{"report_interval", "30"}}, std::nullopt, 90, 30},
        {"100000", {{"report_interval", "100000"}}, std::nullopt, 90, 15},
        {"empty", {{"report_interval", ""}}, std::nullopt, 90, 15},
        {"absent", {}, std::nullopt, 90, 15},
        {"3600", {{"report_interval", "3600"}}, std::nullopt, 3600, 15},
        {"2", {{"report_interval", "2"}}, std::nullopt, 90, 15},
        {"test interval under experiment 6", {{"report_interval", "3600"}, {"test_report_interval", "60"}}, 6, 90, 60},
        {"test interval ignored without experiment", {{"report_interval", "3600"}, {"test_report_interval", "60"}},
         std::nullopt, 3600, 15},
        {"empty test interval", {{"report_interval", "120"}, {"test_report_interval", ""}}, 6, 120, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storeImprint(c.imprint);
        setExperiment(c.experiment);
        EXPECT_EQ(m->calculateLogSendInterval(), c.log);
        EXPECT_EQ(m->logSendInterval(), c.log);
        EXPECT_EQ(m->calculateRealTimeSendInterval(), c.realTime);
        EXPECT_EQ(m->realTimeSendInterval(), c.realTime);
    }
    storeImprint({});
    m->calculateLogSendInterval();
    m->calculateRealTimeSendInterval();
}

TEST_F(ReportPolicies, StrategyConditionsWithTheDelegate) {
    constexpr double kHour = 3600;
    const Value number0(int64_t{0});
    struct Case {
        const char* name;
        uint64_t code;
        std::optional<double> elapsed;
        Value context;
        bool background = false, debugKey = false;
        int32_t defcon = 0;
        std::optional<bool> additional, orCondition;
        bool expected;
        std::vector<std::string> asked;  // the delegate's conditions asked, in order
    } cases[] = {
        {"batch", 1, 10, Value(), false, false, 0, {}, {}, true, {"additional"}},
        {"batch vetoed", 1, 10, Value(), false, false, 0, false, {}, false, {"additional", "or"}},
        {"batch vetoed, or-condition", 1, 10, Value(), false, false, 0, false, true, true, {"additional", "or"}},
        {"interval never posted", 6, std::nullopt, Value(), false, false, 0, {}, {}, true, {"additional"}},
        {"interval too early", 6, 10, Value(), false, false, 0, {}, {}, false, {"or"}},
        {"interval too early, or-condition", 6, 10, Value(), false, false, 0, {}, true, true, {"or"}},
        {"interval passed", 6, 91, Value(), false, false, 0, {}, {}, true, {"additional"}},
        {"interval background flush", 6, 10, number0, true, false, 0, {}, {}, true, {"additional"}},
        {"interval 0 in foreground", 6, 10, number0, false, false, 0, {}, {}, false, {"or"}},
        {"interval 1 in background", 6, 10, Value(int64_t{1}), true, false, 0, {}, {}, false, {"or"}},
        {"smart early", 8, 10, Value(), false, false, 0, {}, {}, false, {"or"}},
        {"smart in background", 8, 10, Value(), true, false, 0, {}, {}, true, {"additional"}},
        {"smart a day later", 8, 93601, Value(), false, false, 0, {}, {}, true, {"additional"}},
        {"integration early", 0, 10, Value(), false, false, 0, {}, {}, false, {"or"}},
        {"integration 16 s", 0, 16, Value(), false, false, 0, {}, {}, true, {"additional"}},
        {"integration debug key", 0, 10, Value(), false, true, 0, {}, {}, true, {"additional"}},
        {"defcon 2, 8 h", 10, 8 * kHour + 1, Value(), false, false, 2, {}, {}, true, {"additional"}},
        {"defcon 2, 7 h", 10, 7 * kHour, Value(), false, false, 2, {}, {}, false, {"or"}},
        {"defcon 2, 7 h, or-condition", 10, 7 * kHour, Value(), false, false, 2, {}, true, true, {"or"}},
        {"defcon 1, 4 h", 10, 4 * kHour + 1, Value(), false, false, 1, {}, {}, true, {"additional"}},
        {"defcon 3, 23 h", 10, 23 * kHour, Value(), false, false, 3, {}, {}, false, {"or"}},
        {"defcon level 0", 10, 10, Value(), false, false, 0, {}, {}, true, {"additional"}},
        {"defcon never posted", 10, std::nullopt, Value(), false, false, 2, {}, {}, true, {"additional"}},
        {"defcon context says 8 h", 10, 10, Value::dict({{"ZVComSBDefconLastPost", Value(now() - 8 * kHour - 1)}}),
         false, false, 2, {}, {}, true, {"additional"}},
        {"defcon context says 1 h", 10, std::nullopt,
         Value::dict({{"ZVComSBDefconLastPost", Value(now() - kHour)}}), false, false, 2, {}, {}, false, {"or"}},
        {"defcon context not a number", 10, 10, Value::dict({{"ZVComSBDefconLastPost", Value("x")}}), false, false, 2,
         {}, {}, true, {"additional"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m->forceChangeReportPolicy(c.code);
        setElapsed(c.elapsed);
        ZuzOzevoSession::shared()->inBackground = c.background;
        ZVConfigureCache::sharedInstance()->setDebugkey(c.debugKey ? std::optional<std::string>("dk") : std::nullopt);
        ZVEnvelopeBuild::sharedInstance()->setDefcon(c.defcon);
        delegate->additional = c.additional;
        delegate->orCondition = c.orCondition;
        delegate->calls.clear();

        const Answer a = ask(*m, c.context);
        ASSERT_TRUE(a.called);
        EXPECT_EQ(a.shouldCommit, c.expected);
        EXPECT_EQ(a.type, c.code);
        const std::string code = std::to_string(c.code);
        std::vector<std::string> expectedCalls{"will:" + code};
        expectedCalls.insert(expectedCalls.end(), c.asked.begin(), c.asked.end());
        expectedCalls.push_back("did:" + code);
        EXPECT_EQ(delegate->calls, expectedCalls);

        // The same condition without hooks.
        delegate->calls.clear();
        EXPECT_EQ(m->shoudleSetupReportDataWithContext(c.context), c.expected);
        EXPECT_EQ(delegate->calls, c.asked);

        // A delegate implementing nothing leaves the policy's own condition.
        m->setDelegate(std::make_shared<SilentDelegate>());
        const Answer own = ask(*m, c.context);
        const bool policyOnly = c.asked.front() == "additional";
        EXPECT_EQ(own.shouldCommit, policyOnly);
        m->setDelegate(delegate);
    }
}

TEST_F(ReportPolicies, ChangedIntervalIsRecomputedOnceWhenFlagged) {
    m->forceChangeReportPolicy(6);
    storeImprint({{"report_interval", "600"}});
    setElapsed(300);
    EXPECT_EQ(m->logSendInterval(), 90);
    EXPECT_TRUE(ask(*m, Value()).shouldCommit);  // not flagged: 300 > 90
    ZVConfigureCache::setObject(Value(true), "report_interval_change");
    EXPECT_FALSE(ask(*m, Value()).shouldCommit);  // 300 < 600
    EXPECT_EQ(m->logSendInterval(), 600);
    EXPECT_FALSE(ZVConfigureCache::objectWithKey("report_interval_change").boolValue());
    storeImprint({});
    m->calculateLogSendInterval();
}

TEST_F(ReportPolicies, RealTimeAnswersWhileItsTimerRuns) {
    m->forceChangeReportPolicy(11);
    const auto timers = ZVTimerManager::sharedInstance();
    auto first = std::make_shared<Answer>();
    m->startCommitJobWithHandler([first](bool ok, uint64_t type, const Value& ctx,
                                         const Value&) { *first = {true, ok, type, ctx}; },
                                 Value(int64_t{1}));
    EXPECT_FALSE(first->called);
    EXPECT_TRUE(timers->existTimer(ZVComReportPolicyForRealTime::kTimerName));
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"will:11"}));

    // A second request gets NO at once, without the delegate's conditions.
    delegate->calls.clear();
    const Answer second = ask(*m, Value(int64_t{1}));
    ASSERT_TRUE(second.called);
    EXPECT_FALSE(second.shouldCommit);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"will:11", "did:11"}));
    delegate->calls.clear();
    EXPECT_FALSE(m->shoudleSetupReportDataWithContext(Value(int64_t{1})));
    EXPECT_TRUE(delegate->calls.empty());

    // A background flush answers YES at once, conditions unasked.
    ZuzOzevoSession::shared()->inBackground = true;
    const Answer flush = ask(*m, Value(int64_t{0}));
    ASSERT_TRUE(flush.called);
    EXPECT_TRUE(flush.shouldCommit);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"will:11", "did:11"}));

    // A policy change cancels the timer; the waiting handler is never called.
    m->forceChangeReportPolicy(1);
    EXPECT_FALSE(timers->existTimer(ZVComReportPolicyForRealTime::kTimerName));
    zvtest::drainWorkQueue();
    EXPECT_FALSE(first->called);
}

TEST(ReportPolicyRealTime, VerifiedInterval) {
    for (auto [in, out] : {std::pair{3.0, 3.0}, {90.0, 90.0}, {2.9, 15.0}, {90.5, 15.0}, {-1.0, 15.0}, {30.0, 30.0}}) {
        SCOPED_TRACE(in);
        EXPECT_EQ(ZVComReportPolicyForRealTime::verifyTimeInterval(in), out);
    }
}

TEST_F(ReportPolicies, ImprintChangeReplacesTheStrategyAndTellsTheDelegate) {
    storeImprint({{"report_policy", "6"}});
    delegate->changes.clear();
    ZVImprintObserverManager::sharedInstance()->processImprintKey("report_policy", Value("6"), Value("1"));
    zvtest::drainWorkQueue();
    EXPECT_EQ(m->curReportPolicy()->reportPolicyType(), 6u);
    // Told even when the code stays.
    ZVImprintObserverManager::sharedInstance()->processImprintKey("client_test", Value("1"), Value());
    zvtest::drainWorkQueue();
    EXPECT_EQ(delegate->changes, (std::vector<int64_t>{6, 6}));
    // Other keys are not observed.
    ZVImprintObserverManager::sharedInstance()->processImprintKey("report_interval", Value("5"), Value());
    zvtest::drainWorkQueue();
    EXPECT_EQ(delegate->changes.size(), 2u);
    storeImprint({});
}
