// The RealTime report policy's timer at its shortest interval (3 s): the waiting request is
// answered when it fires, with the delegate's condition, on the work queue.

#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "../AnalyticsTestSupport.h"
#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVComReportPolicyManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVTimerManager.h>
#include <analytics_common/ZVWorkDispatch.h>

namespace {

class VetoingDelegate : public NSObject {
    NS_CLASS(VetoingDelegate, NSObject)
};

}  // namespace

NS_CLASS_LOAD(VetoingDelegate) {
    cls.addInstanceOperation("additionalConditionFromDelegateWithReportPolicyType:withContext:",
                             [](NSObject&, const Value::Array& args) { return Value(args.at(1).integerValue() != 7); });
}

TEST(RealTimePolicy, TimerAnswersTheWaitingRequest) {
    zvtest::storeImprint({{"report_interval", "3"}});

    const auto m = ZVComReportPolicyManager::sharedInstance();
    ASSERT_EQ(m->calculateRealTimeSendInterval(), 3);
    m->setDelegate(std::make_shared<VetoingDelegate>());
    m->forceChangeReportPolicy(11);

    struct Case {
        int64_t context;
        bool expected;
    } cases[] = {{1, true}, {7, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.context);
        std::mutex mutex;
        std::condition_variable cv;
        bool called = false, answer = !c.expected, onWorkQueue = false;
        m->startCommitJobWithHandler(
            [&](bool ok, uint64_t type, const Value&, const Value&) {
                std::lock_guard lock(mutex);
                EXPECT_EQ(type, 11u);
                called = true;
                answer = ok;
                onWorkQueue = ZVWorkDispatch::isInWorkQueue();
                cv.notify_all();
            },
            Value(c.context));
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return called; }));
        EXPECT_EQ(answer, c.expected);
        EXPECT_TRUE(onWorkQueue);
        lock.unlock();
        zvtest::drainWorkQueue();
        EXPECT_FALSE(ZVTimerManager::sharedInstance()->existTimer(ZVComReportPolicyForRealTime::kTimerName));
    }
    m->forceChangeReportPolicy(1);
    m->setDelegate(nullptr);
}
