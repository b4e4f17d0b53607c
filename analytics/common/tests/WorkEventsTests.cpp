// The common layer's own work events: reports from one component (1) or from every willing
// component when the network is idle (2), the internal-data (3) and zero (4) envelopes at
// most once per launch, and the engine's start once the zero key is granted (6).

#include <cstdio>

#include <gtest/gtest.h>

#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVUcDB.h>
#include <platform_foundation/NSPathUtilities.h>

#include "EngineDoubles.h"
#include "ZVCommonLogManagerRecorder.h"

namespace {

// A component with a scripted answer that records what it was asked.
class Component : public ZVLogDataProtocol {
public:
    Component(Value answer, std::optional<bool> willing = std::nullopt) : answer_(std::move(answer)), willing_(willing) {}
    void workEvent(const std::shared_ptr<ZVDispatchEvent>&) override {}
    Value setupReportData(int64_t budget) override {
        budgets.push_back(budget);
        return answer_;
    }
    void removeCacheData(const Value& result) override { removed.push_back(result); }
    bool respondsToShoudleSetupReportData() const override { return willing_.has_value(); }
    bool shoudleSetupReportDataWithContext(const Value& context) override {
        contexts.push_back(context);
        return *willing_;
    }
    std::vector<int64_t> budgets;
    std::vector<Value> removed, contexts;

private:
    Value answer_;
    std::optional<bool> willing_;
};

Value report(const char* headerKey, const char* contentKey) {
    return Value::dict({{"header", Value::dict({{headerKey, "h"}})}, {"content", Value::dict({{contentKey, "c"}})}});
}

std::vector<std::string> waitingNames() {
    std::vector<std::string> out;
    const Value files = ZVFileUtility::envelopeFiles();
    for (const Value& f : files.asArray()) out.push_back(lastPathComponent(f.asStdString()));
    return out;
}

class WorkEvents : public ::testing::Test {
protected:
    std::shared_ptr<ZVEnvelopeBuild> builder = ZVEnvelopeBuild::sharedInstance();
    void SetUp() override {
        clearFiles();
        ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
        ZVConfigureCache::setObject(Value("work-events-key"), "appkey");
        auto settings = ZVConfigureCache::sharedInstance();
        settings->setAppkey(std::string("work-events-key"));
        settings->setENetStatus(1);
        settings->setAEnabled(false);
        (void)ZVUcDB::sharedInstance().clearDataInTable(ZVUcDB::kTable, "");
        builder->setJobRunning(false);
    }
    void TearDown() override {
        zvtest::drainWorkQueue();
        clearFiles();
    }
    static void clearFiles() {
        const Value files = ZVFileUtility::envelopeFiles();
        for (const Value& f : files.asArray()) std::remove(f.asStdString().c_str());
    }
    static void send(int32_t type, const std::shared_ptr<ZVLogDataProtocol>& component = nullptr,
                     const Value& object = Value()) {
        ZVWorkDispatch::sendEvent(object, type, component);
        zvtest::drainWorkQueue();
    }
};

}  // namespace

TEST_F(WorkEvents, NetworkIdleJoinsEveryWillingComponent) {
    const Value first = report("h1", "c1"), second = report("h2", "c2");
    auto a = std::make_shared<Component>(first);
    auto b = std::make_shared<Component>(second, true);
    auto unwilling = std::make_shared<Component>(report("h3", "c3"), false);
    auto empty = std::make_shared<Component>(Value::dict({}));
    // Components become known with their first event (types outside 1...7 go to them).
    for (const auto& c : std::initializer_list<std::shared_ptr<ZVLogDataProtocol>>{a, b, unwilling, empty})
        send(300, c);

    const Value context = Value::dict({{"zvIdleFrom", "zvNetwork"}});
    send(E_ZV_C_NET_IDLE, nullptr, context);
    ASSERT_EQ(waitingNames().size(), 1u);
    EXPECT_TRUE(waitingNames()[0].starts_with("a==7.3.5&=")) << waitingNames()[0];
    ASSERT_EQ(a->budgets.size(), 1u);
    EXPECT_EQ(a->budgets[0], ZVEnvelopeBuild::sharedInstance()->maxDataSpace());
    ASSERT_EQ(b->budgets.size(), 1u);
    EXPECT_EQ(b->budgets[0], a->budgets[0] - int64_t(ZVConfigureCache::JSONFragment(first)->size()));
    EXPECT_EQ(b->contexts, std::vector<Value>{context});
    EXPECT_TRUE(unwilling->budgets.empty());
    EXPECT_EQ(unwilling->contexts, std::vector<Value>{context});
    // One envelope with the union; every contributor gets the same result, the others none.
    ASSERT_EQ(a->removed.size(), 1u);
    ASSERT_EQ(b->removed.size(), 1u);
    EXPECT_EQ(a->removed[0], b->removed[0]);
    const Value& body = a->removed[0];
    EXPECT_TRUE(body.objectForKey(Value("exception")).isNull());
    EXPECT_EQ(body.objectForKey(Value("c1")), Value("c"));
    EXPECT_EQ(body.objectForKey(Value("c2")), Value("c"));
    EXPECT_TRUE(body.objectForKey(Value("c3")).isNull());
    EXPECT_EQ(body.objectForKey(Value("header")).objectForKey(Value("h1")), Value("h"));
    EXPECT_EQ(body.objectForKey(Value("header")).objectForKey(Value("h2")), Value("h"));
    EXPECT_TRUE(empty->removed.empty());

    // A waiting file means not ready: nothing is asked, the send step is started instead.
    send(E_ZV_C_NET_IDLE, nullptr, context);
    EXPECT_EQ(a->budgets.size(), 1u);
    EXPECT_EQ(ZVCommonLogManager::count("E_ZV_C_NET_IDLE and no ready status."), 1u);
    clearFiles();

    // Without the zero key nothing is built and nothing removed: the data stays.
    ZVConfigureCache::removeObjectForKey("zvZeroKey");
    send(E_ZV_C_NET_IDLE, nullptr, context);
    EXPECT_EQ(a->budgets.size(), 2u);
    EXPECT_EQ(a->removed.size(), 1u);
    EXPECT_TRUE(waitingNames().empty());
}

TEST_F(WorkEvents, ABuildRequestAsksOnlyItsComponent) {
    auto c = std::make_shared<Component>(report("h", "c"));
    auto other = std::make_shared<Component>(report("x", "y"));
    send(300, other);
    send(E_ZV_C_BUILD_REPORT, c);
    EXPECT_EQ(c->budgets, std::vector<int64_t>{2092140});
    ASSERT_EQ(c->removed.size(), 1u);
    EXPECT_TRUE(c->removed[0].objectForKey(Value("exception")).isNull());
    EXPECT_TRUE(other->budgets.empty());
    EXPECT_EQ(waitingNames().size(), 1u);
    // Not ready while a file waits.
    send(E_ZV_C_BUILD_REPORT, c);
    EXPECT_EQ(c->budgets.size(), 1u);
}

TEST_F(WorkEvents, DISABLED_InternalDataNotWithoutNetwork) {
    ZVConfigureCache::setObject(Value("w"), "ZVWValue");
    ZVConfigureCache::sharedInstance()->setENetStatus(0);
    send(E_ZV_C_INNER_DATA);
    EXPECT_TRUE(waitingNames().empty());
    // The first event with the zero key used the launch's one attempt.
    ZVConfigureCache::sharedInstance()->setENetStatus(1);
    send(E_ZV_C_INNER_DATA);
    EXPECT_TRUE(waitingNames().empty());
    EXPECT_EQ(ZVConfigureCache::objectWithKey("ZVWValue"), Value("w"));
}

// Each launch attempts the zero and the internal-data envelope once: these cases run as
// launches of their own.
TEST_F(WorkEvents, DISABLED_ZeroEnvelopeOnceFoundTheZeroKey) {
    // The first event finds the zero key and builds nothing; the second does nothing either.
    send(E_ZV_C_ZERO_ENVELOPE);
    ZVConfigureCache::removeObjectForKey("zvZeroKey");
    send(E_ZV_C_ZERO_ENVELOPE);
    EXPECT_TRUE(waitingNames().empty());
}

TEST_F(WorkEvents, DISABLED_ZeroEnvelopeAndInternalDataOfAFreshLaunch) {
    ZVConfigureCache::removeObjectForKey("zvZeroKey");
    send(E_ZV_C_ZERO_ENVELOPE);
    ASSERT_EQ(waitingNames().size(), 1u);
    EXPECT_TRUE(waitingNames()[0].starts_with("z==7.3.5&&")) << waitingNames()[0];
    clearFiles();
    send(E_ZV_C_ZERO_ENVELOPE);
    EXPECT_TRUE(waitingNames().empty()) << "once per launch";
    ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    ZVConfigureCache::setObject(Value("w"), "ZVWValue");
    send(E_ZV_C_INNER_DATA);
    ASSERT_EQ(waitingNames().size(), 1u);
    EXPECT_TRUE(waitingNames()[0].starts_with("i==7.3.5&=")) << waitingNames()[0];
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("ZVWValue").isNull());
    clearFiles();
    send(E_ZV_C_INNER_DATA);
    EXPECT_TRUE(waitingNames().empty()) << "once per launch";
}

TEST(WorkEventLaunches, ZeroAndInternalDataEnvelopesOncePerLaunch) {
    for (const char* child : {"WorkEvents.DISABLED_InternalDataNotWithoutNetwork",
                              "WorkEvents.DISABLED_ZeroEnvelopeOnceFoundTheZeroKey",
                              "WorkEvents.DISABLED_ZeroEnvelopeAndInternalDataOfAFreshLaunch"}) {
        SCOPED_TRACE(child);
        EXPECT_TRUE(zvtest::runAsNewLaunch(child)) << zvtest::childLog();
    }
}

TEST_F(WorkEvents, TheEngineStartsOnceTheZeroKeyIsGranted) {
    auto engine = ZuzOzevoInternal::shared();
    auto settings = ZVConfigureCache::sharedInstance();
    struct Case {
        const char* name;
        std::function<void()> setup;
        bool asked;
    };
    const Case quiet[] = {
        {"analytics disabled", [&] { settings->setAEnabled(true); }, false},
        {"no network", [&] { settings->setENetStatus(0); }, false},
        {"no application key", [&] { settings->setAppkey(std::string()); }, false},
    };
    for (const Case& c : quiet) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.setup();
        zvtest::calls().take();
        send(E_ZV_C_ZERO_KEY_GRANTED);
        EXPECT_TRUE(zvtest::calls().take().empty());
    }
    SetUp();
    // Nothing parked: the report stays with the engine (an empty result removes nothing).
    {
        std::lock_guard lock(engine->mutex);
        engine->report = report("eh", "ec");
        engine->removed.clear();
    }
    zvtest::calls().take();
    send(E_ZV_C_ZERO_KEY_GRANTED);
    EXPECT_EQ(zvtest::calls().count("doMakeSessionStartEnvelopeForZero:version:defcon:isProFile:||"), 1u);
    EXPECT_EQ(zvtest::calls().count("setupReportData:2092140"), 1u);
    {
        std::lock_guard lock(engine->mutex);
        ASSERT_EQ(engine->removed.size(), 1u);
        EXPECT_EQ(engine->removed[0].count(), 0u);
    }
    EXPECT_EQ(ZVUcDB::sharedInstance().rowCountInTable(ZVUcDB::kTable), 0);

    // Rows parked: the report parks behind them.
    ASSERT_TRUE(ZVUcDB::sharedInstance().insertToTable(ZVUcDB::kTable, "{}", "{}", "a", "", "7.3.5"));
    {
        std::lock_guard lock(engine->mutex);
        engine->report = report("eh", "ec");
        engine->removed.clear();
    }
    send(E_ZV_C_ZERO_KEY_GRANTED);
    EXPECT_EQ(ZVUcDB::sharedInstance().rowCountInTable(ZVUcDB::kTable), 2);
    std::lock_guard lock(engine->mutex);
    ASSERT_EQ(engine->removed.size(), 1u);
    EXPECT_EQ(engine->removed[0].objectForKey(Value("ec")), Value("c"));
    EXPECT_TRUE(engine->removed[0].objectForKey(Value("exception")).isNull());
}
