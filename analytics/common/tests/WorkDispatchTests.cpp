// The work queue: per-sender order under concurrent senders, component routing, the
// work-queue test and named timers.

#include <analytics_common/ZVTimerManager.h>
#include <analytics_common/ZVWorkDispatch.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include <gtest/gtest.h>

#include "AnalyticsTestSupport.h"
#include "ZVCommonLogManagerRecorder.h"

namespace {

class RecordingComponent : public NSObject, public ZVLogDataProtocol {
public:
    void workEvent(const std::shared_ptr<ZVDispatchEvent>& event) override {
        onQueue = onQueue && ZVWorkDispatch::isInWorkQueue();
        events.push_back({event->eEventType, event->object});
    }
    Value setupReportData(int64_t) override { return Value(); }
    void removeCacheData(const Value&) override {}
    std::vector<std::pair<int32_t, Value>> events;  // work queue only
    bool onQueue = true;
};

}  // namespace

TEST(WorkDispatch, EventsFromEightThreadsKeepPerSenderOrder) {
    auto component = std::make_shared<RecordingComponent>();
    constexpr int kThreads = 8, kPerThread = 1250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, component] {
            for (int i = 0; i < kPerThread; ++i)
                ZVWorkDispatch::sendEvent(Value::array({t, i}), 300, component);
        });
    for (auto& th : threads) th.join();
    zvtest::drainWorkQueue();
    ASSERT_EQ(component->events.size(), size_t(kThreads * kPerThread));
    std::vector<int> next(kThreads, 0);
    for (const auto& [type, object] : component->events) {
        EXPECT_EQ(type, 300);
        const int t = object[0].intValue();
        ASSERT_EQ(object[1].intValue(), next[t]) << "thread " << t;
        ++next[t];
    }
    EXPECT_TRUE(component->onQueue);
    auto components = ZVWorkDispatch::sharedInstance()->components();
    EXPECT_EQ(std::count(components.begin(), components.end(), component), 1);
}

TEST(WorkDispatch, TypesOutsideTheCommonRangeGoToTheComponentOrAreDropped) {
    auto component = std::make_shared<RecordingComponent>();
    ZVCommonLogManager::take();
    ZVWorkDispatch::sendEvent(Value("ctx"), 0, component);
    ZVWorkDispatch::sendEvent(Value(), -3, component);
    ZVWorkDispatch::sendEvent(Value(), 0, nullptr);
    ZVWorkDispatch::sendEvent(Value(), 7, component);  // accepted and ignored
    ZVWorkDispatch::sendEvent(Value(), 1, component);  // a common job: not the component's
    zvtest::drainWorkQueue();
    ASSERT_EQ(component->events.size(), 2u);
    EXPECT_EQ(component->events[0].first, 0);
    EXPECT_EQ(component->events[0].second, Value("ctx"));
    EXPECT_EQ(component->events[1].first, -3);
    EXPECT_EQ(ZVCommonLogManager::count("ERROR, no match event type:%d"), 1u);
}

TEST(WorkDispatch, CommonEventsReachTheInstalledHandler) {
    std::vector<int32_t> seen;
    ZVWorkDispatch::setCommonEventHandler([&seen](ZVWorkDispatch&, const ZVDispatchEvent& e, const auto&) {
        seen.push_back(e.eEventType);
    });
    for (int32_t type : {1, 2, 3, 4, 5, 6, 7}) ZVWorkDispatch::sendEvent(Value(), type, nullptr);
    zvtest::drainWorkQueue();
    ZVWorkDispatch::setCommonEventHandler(nullptr);
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(WorkDispatch, IsInWorkQueueOnlyThere) {
    EXPECT_FALSE(ZVWorkDispatch::isInWorkQueue());
    bool inside = false;
    dispatch_sync(ZVWorkDispatch::getWorkQueue(), [&] { inside = ZVWorkDispatch::isInWorkQueue(); });
    EXPECT_TRUE(inside);
    bool other = true;
    auto q = dispatch_queue_create("other", DISPATCH_QUEUE_SERIAL);
    dispatch_sync(q, [&] { other = ZVWorkDispatch::isInWorkQueue(); });
    EXPECT_FALSE(other);
}

TEST(TimerManager, OneShotRepeatingRearmedAndCancelled) {
    auto timers = ZVTimerManager::sharedInstance();
    auto queue = dispatch_queue_create("timers", DISPATCH_QUEUE_SERIAL);
    std::mutex m;
    std::condition_variable cv;
    int once = 0, repeating = 0, replaced = 0;
    auto bump = [&](int& n) {
        return [&m, &cv, &n] {
            std::lock_guard lock(m);
            ++n;
            cv.notify_all();
        };
    };
    timers->scheduledDispatchTimerWithName("once", 0.001, queue, false, bump(once));
    timers->scheduledDispatchTimerWithName("tick", 0.001, queue, true, bump(repeating));
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return once == 1 && repeating >= 3; }));
    }
    dispatch_sync(queue, [] {});
    EXPECT_FALSE(timers->existTimer("once"));
    EXPECT_TRUE(timers->existTimer("tick"));
    // Re-arming the name installs the new action.
    timers->scheduledDispatchTimerWithName("tick", 0.001, queue, true, bump(replaced));
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return replaced >= 2; }));
    }
    timers->cancelTimerWithName("tick");
    dispatch_sync(queue, [] {});
    int after;
    {
        std::lock_guard lock(m);
        after = repeating + replaced;
    }
    dispatch_sync(queue, [] {});
    EXPECT_FALSE(timers->existTimer("tick"));
    timers->cancelTimerWithName("never");
    timers->scheduledDispatchTimerWithName("", 1, queue, true, [] {});
    timers->scheduledDispatchTimerWithName("noop", 1, queue, true, nullptr);
    EXPECT_FALSE(timers->existTimer("noop"));
    std::lock_guard lock(m);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(repeating + replaced, after);
}

TEST(ModuleManager, AbsentModulesAreNotLoaded) {
    EXPECT_FALSE(ZVModuleManager::loadModuleClass(""));
    EXPECT_FALSE(ZVModuleManager::loadModuleClass("DevFingerPrint"));
    EXPECT_FALSE(ZVModuleManager::loadModuleClass("NoSuchModule"));
}
