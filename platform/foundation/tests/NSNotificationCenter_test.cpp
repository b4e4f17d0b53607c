#include <platform_foundation/NSNotificationCenter.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <platform_dispatch/NSOperationQueue.h>

namespace {

class Listener : public NSObject {
public:
    std::vector<std::string> heard;
    void onNote(const NSNotification& n) { heard.push_back(n.name()); }
};

struct NotificationCenter : ::testing::Test {
    NSNotificationCenter center;
    std::shared_ptr<NSObject> senderA = std::make_shared<NSObject>();
    std::shared_ptr<NSObject> senderB = std::make_shared<NSObject>();
};

TEST_F(NotificationCenter, FiltersByNameAndSender) {
    struct Case {
        const char* label;
        NSNotificationNameFilter name;
        Value object;
        int expected;  // of the six posts below
    };
    const std::vector<Case> cases = {
        {"any name, any sender", nullptr, Value(), 6},
        {"name A, any sender", "A", Value(), 3},
        {"name B, any sender", "B", Value(), 3},
        {"any name, sender A", nullptr, Value(senderA), 2},
        {"name A, sender A", "A", Value(senderA), 1},
        {"name B, sender B", "B", Value(senderB), 1},
        {"value sender", nullptr, Value("config"), 1},
        {"unknown name", "C", Value(), 0},
    };
    for (const Case& c : cases) {
        int calls = 0;
        auto token = center.addObserverForName(c.name, c.object, nullptr, [&](const NSNotification&) { ++calls; });
        center.postNotificationName("A", Value(senderA));
        center.postNotificationName("A", Value(senderB));
        center.postNotificationName("A");
        center.postNotificationName("B", Value(senderA));
        center.postNotificationName("B", Value("config"));
        center.postNotificationName("B", Value(senderB));
        EXPECT_EQ(calls, c.expected) << c.label;
        center.removeObserver(token);
    }
}

TEST_F(NotificationCenter, DeliversNameObjectAndUserInfoOnThePostingThread) {
    std::thread::id seenOn;
    std::string name;
    Value object, info;
    auto token = center.addObserverForName("note", Value(), nullptr, [&](const NSNotification& n) {
        seenOn = std::this_thread::get_id();
        name = n.name();
        object = n.object();
        info = n.userInfo();
    });
    std::thread poster([&] { center.postNotificationName("note", Value(senderA), Value::dict({{"k", 1}})); });
    std::thread::id posterId = poster.get_id();
    poster.join();
    EXPECT_EQ(seenOn, posterId);
    EXPECT_EQ(name, "note");
    EXPECT_EQ(object.asObject(), senderA);
    EXPECT_EQ(info.objectForKey("k"), Value(1));
}

TEST_F(NotificationCenter, TargetObserversAreWeakAndRemovable) {
    auto listener = std::make_shared<Listener>();
    center.addObserver(listener, &Listener::onNote, "A", Value());
    center.addObserver(listener, &Listener::onNote, "B", Value());
    center.postNotificationName("A");
    center.postNotificationName("B");
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"A", "B"}));

    center.removeObserver(listener, "A", Value());
    center.postNotificationName("A");
    center.postNotificationName("B");
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"A", "B", "B"}));

    center.removeObserver(listener);
    center.postNotificationName("B");
    EXPECT_EQ(listener->heard.size(), 3u);

    // A dead target is skipped, never called.
    int calls = 0;
    auto shortLived = std::make_shared<NSObject>();
    center.addObserver(shortLived, [&](const NSNotification&) { ++calls; }, nullptr, Value());
    center.postNotificationName("X");
    shortLived.reset();
    center.postNotificationName("X");
    EXPECT_EQ(calls, 1);
}

TEST_F(NotificationCenter, RemoveBySenderKeepsOtherRegistrations) {
    auto listener = std::make_shared<Listener>();
    center.addObserver(listener, &Listener::onNote, "A", Value(senderA));
    center.addObserver(listener, &Listener::onNote, "A", Value());
    center.removeObserver(listener, nullptr, Value(senderA));
    center.postNotificationName("A", Value(senderA));
    EXPECT_EQ(listener->heard.size(), 1u);  // only the any-sender registration is left
}

TEST_F(NotificationCenter, ObserversChangedDuringAPostDoNotCorruptIt) {
    std::vector<std::string> log;
    std::shared_ptr<NSObject> second;
    auto first = center.addObserverForName("N", Value(), nullptr, [&](const NSNotification&) {
        log.push_back("first");
        center.removeObserver(second);  // not yet called: must not be
        center.addObserverForName("N", Value(), nullptr, [&](const NSNotification&) { log.push_back("added"); });
    });
    second = center.addObserverForName("N", Value(), nullptr, [&](const NSNotification&) { log.push_back("second"); });
    auto third = center.addObserverForName("N", Value(), nullptr, [&](const NSNotification&) {
        log.push_back("third");
        center.removeObserver(first);
    });
    center.postNotificationName("N");
    EXPECT_EQ(log, (std::vector<std::string>{"first", "third"}));
    log.clear();
    center.postNotificationName("N");
    EXPECT_EQ(log, (std::vector<std::string>{"third", "added"}));
}

TEST_F(NotificationCenter, SenderFilterDoesNotKeepTheSenderAlive) {
    int calls = 0;
    std::weak_ptr<NSObject> weak = senderA;
    center.addObserverForName(nullptr, Value(senderA), nullptr, [&](const NSNotification&) { ++calls; });
    senderA.reset();
    EXPECT_TRUE(weak.expired());
    center.postNotificationName("A", Value(std::make_shared<NSObject>()));
    EXPECT_EQ(calls, 0);
}

TEST_F(NotificationCenter, QueueObserversRunOnTheirQueueBeforeThePostReturns) {
    auto queue = NSOperationQueue::create();
    std::atomic<bool> ran{false};
    std::shared_ptr<NSOperationQueue> current;
    center.addObserverForName("Q", Value(), queue, [&](const NSNotification&) {
        current = NSOperationQueue::currentQueue();
        ran = true;
    });
    center.postNotificationName("Q");
    EXPECT_TRUE(ran);
    EXPECT_EQ(current, queue);
}

TEST_F(NotificationCenter, ConcurrentPostsAndRegistrationsAreSafe) {
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto token = center.addObserverForName("C", Value(), nullptr, [&](const NSNotification&) { ++calls; });
                center.postNotificationName("C");
                center.removeObserver(token);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_GE(calls.load(), 800);
}

TEST(NSNotificationCenterDefault, IsOneSharedCentre) {
    EXPECT_EQ(NSNotificationCenter::defaultCenter(), NSNotificationCenter::defaultCenter());
}

}  // namespace
