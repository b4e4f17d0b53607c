#include <platform_net/NSProgress.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Observer : NSObject {
    std::vector<std::pair<std::string, Value>> seen;
    void observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value& change, void*) override {
        seen.emplace_back(keyPath, change.isDictionary() ? change.asDictionary().at(Value("new")) : Value());
    }
};

TEST(NSProgress, FractionFollowsTheCounts) {
    struct Row {
        int64_t total, completed;
        double fraction;
        bool indeterminate;
    };
    for (const Row& r : {Row{100, 0, 0.0, false}, Row{100, 25, 0.25, false}, Row{4, 4, 1.0, false},
                         Row{4, 6, 1.5, false}, Row{0, 0, 0.0, true}, Row{0, 5, 0.0, false},
                         Row{-1, 5, 0.0, true}, Row{10, -1, 0.0, true}}) {
        auto p = NSProgress::progressWithTotalUnitCount(r.total);
        p->setCompletedUnitCount(r.completed);
        EXPECT_DOUBLE_EQ(p->fractionCompleted(), r.fraction) << r.total << "/" << r.completed;
        EXPECT_EQ(p->isIndeterminate(), r.indeterminate) << r.total << "/" << r.completed;
    }
    auto p = NSProgress::progressWithTotalUnitCount(200);
    p->setCompletedUnitCount(50);
    EXPECT_EQ(p->localizedDescription(), "25% completed");
    p->setLocalizedDescription("Uploading");
    EXPECT_EQ(p->localizedDescription(), "Uploading");
}

TEST(NSProgress, ObserversOfFractionCompletedHearEveryCountChange) {
    auto p = NSProgress::progressWithTotalUnitCount(10);
    auto observer = std::make_shared<Observer>();
    p->addObserver(*observer, "fractionCompleted", NSKeyValueObservingOptionNew);
    p->setCompletedUnitCount(5);
    p->setTotalUnitCount(20);
    p->setCompletedUnitCount(20);
    ASSERT_EQ(observer->seen.size(), 3u);
    EXPECT_DOUBLE_EQ(observer->seen[0].second.asDouble(), 0.5);
    EXPECT_DOUBLE_EQ(observer->seen[1].second.asDouble(), 0.25);
    EXPECT_DOUBLE_EQ(observer->seen[2].second.asDouble(), 1.0);
    EXPECT_DOUBLE_EQ(p->valueForKey("fractionCompleted").asDouble(), 1.0);

    p->removeObserver(*observer, "fractionCompleted");
    p->setCompletedUnitCount(1);
    EXPECT_EQ(observer->seen.size(), 3u);
}

TEST(NSProgress, CancelPauseAndResumeCallTheirHandlersOnce) {
    auto p = NSProgress::progressWithTotalUnitCount(1);
    int cancels = 0, pauses = 0, resumes = 0;
    p->setCancellationHandler([&] { ++cancels; });
    p->setPausingHandler([&] { ++pauses; });
    p->setResumingHandler([&] { ++resumes; });
    EXPECT_TRUE(p->isCancellable());
    EXPECT_FALSE(p->isPausable());

    p->resume();
    EXPECT_EQ(resumes, 0) << "not paused";
    p->pause();
    p->pause();
    EXPECT_TRUE(p->isPaused());
    p->resume();
    EXPECT_FALSE(p->isPaused());
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(resumes, 1);

    auto observer = std::make_shared<Observer>();
    p->addObserver(*observer, "cancelled", NSKeyValueObservingOptionNew);
    p->cancel();
    p->cancel();
    EXPECT_TRUE(p->isCancelled());
    EXPECT_EQ(cancels, 1);
    ASSERT_EQ(observer->seen.size(), 1u);
    EXPECT_TRUE(observer->seen[0].second.asBool());
    p->removeObserver(*observer, "cancelled");
}

TEST(NSProgress, CancellationHandlerSetAfterCancelRunsAtOnce) {
    auto p = NSProgress::progressWithTotalUnitCount(1);
    p->cancel();
    bool ran = false;
    p->setCancellationHandler([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(NSProgress, HandlerMayUseTheProgress) {
    // Handlers run outside the progress's lock.
    auto p = NSProgress::progressWithTotalUnitCount(4);
    std::weak_ptr<NSProgress> weak = p;
    p->setCancellationHandler([weak] {
        if (auto s = weak.lock()) s->setCompletedUnitCount(s->totalUnitCount());
    });
    p->cancel();
    EXPECT_DOUBLE_EQ(p->fractionCompleted(), 1.0);
}

}  // namespace
