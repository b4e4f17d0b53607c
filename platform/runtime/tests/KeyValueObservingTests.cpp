#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <platform_runtime/KeyValueObserving.h>

#include "ObjCFixtureClasses.h"

namespace {

struct Notification {
    std::string keyPath;
    NSObject* object;
    Value change;
    void* context;
};

class Recorder : public NSObject {
public:
    std::vector<Notification> seen;
    std::function<void()> onNotify;
    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change,
                                void* context) override {
        seen.push_back({keyPath, object, change, context});
        if (onNotify) onNotify();
    }
};

const unsigned kNewOld = NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld;

// Its dependent keys are declared by the test that uses it, once observing has started.
class LateDependencies : public NSObject {
    NS_CLASS(LateDependencies, NSObject)
    NS_PROPERTY(int, celsius, setCelsius, "N")
    NS_PROPERTY(int, reading, setReading, "N")
};

// Its dependent keys are changed by the one test that uses it, while a change is open.
class ShiftingDependencies : public NSObject {
    NS_CLASS(ShiftingDependencies, NSObject)
    NS_PROPERTY(int, celsius, setCelsius, "N")
    NS_PROPERTY(int, reading, setReading, "N")
};

Value entry(const Notification& n, const char* key) {
    return n.change.objectForKey(Value(key));
}
bool has(const Notification& n, const char* key) {
    return n.change.asDictionary().count(Value(key)) != 0;
}

}  // namespace

TEST(KeyValueObserving, GeneratedSettersNotifyWithOldAndNew) {
    auto device = std::make_shared<FixtureDevice>();
    auto recorder = std::make_shared<Recorder>();
    int context = 0;
    device->setName("old");
    device->addObserver(*recorder, "name", kNewOld, &context);
    device->setName("new");
    device->setValue(Value("kvc"), "name");  // through key-value coding too
    device->setCode(5);                      // another key: not observed
    ASSERT_EQ(recorder->seen.size(), 2u);
    const auto& first = recorder->seen[0];
    EXPECT_EQ(first.keyPath, "name");
    EXPECT_EQ(first.object, device.get());
    EXPECT_EQ(first.context, &context);
    EXPECT_EQ(entry(first, NSKeyValueChangeKindKey), Value(1));
    EXPECT_EQ(entry(first, NSKeyValueChangeOldKey), Value("old"));
    EXPECT_EQ(entry(first, NSKeyValueChangeNewKey), Value("new"));
    EXPECT_EQ(entry(recorder->seen[1], NSKeyValueChangeNewKey), Value("kvc"));
}

TEST(KeyValueObserving, OptionsDecideTheChangeEntries) {
    struct Case {
        const char* what;
        unsigned options;
        std::vector<std::vector<std::string>> entries;  // keys present per notification, in order
    } cases[] = {
        {"none", 0, {{"kind"}}},
        {"new", NSKeyValueObservingOptionNew, {{"kind", "new"}}},
        {"old", NSKeyValueObservingOptionOld, {{"kind", "old"}}},
        {"initial+new", NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew, {{"kind", "new"}, {"kind", "new"}}},
        {"prior+old", NSKeyValueObservingOptionPrior | NSKeyValueObservingOptionOld,
         {{"kind", "notificationIsPrior", "old"}, {"kind", "old"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto item = std::make_shared<FixtureItem>();
        auto recorder = std::make_shared<Recorder>();
        item->addObserver(*recorder, "identifier", c.options);
        item->setIdentifier("x");
        ASSERT_EQ(recorder->seen.size(), c.entries.size());
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(recorder->seen[i].change.count(), c.entries[i].size());
            for (const auto& key : c.entries[i]) EXPECT_TRUE(has(recorder->seen[i], key.c_str())) << key;
        }
    }
}

TEST(KeyValueObserving, PriorNotificationComesBeforeTheChange) {
    auto item = std::make_shared<FixtureItem>();
    auto recorder = std::make_shared<Recorder>();
    item->setIdentifier("a");
    std::vector<std::string> valuesSeen;
    recorder->onNotify = [&] { valuesSeen.push_back(item->identifier()); };
    item->addObserver(*recorder, "identifier", NSKeyValueObservingOptionPrior);
    item->setIdentifier("b");
    EXPECT_EQ(valuesSeen, (std::vector<std::string>{"a", "b"}));
}

TEST(KeyValueObserving, ManualAnnouncementsAndDependentKeys) {
    auto device = std::make_shared<FixtureDevice>();
    auto recorder = std::make_shared<Recorder>();
    device->addObserver(*recorder, "status", kNewOld);
    device->addObserver(*recorder, "reachable", kNewOld);
    device->setStatus(2);
    ASSERT_EQ(recorder->seen.size(), 2u);
    EXPECT_EQ(recorder->seen[0].keyPath, "status");
    EXPECT_EQ(entry(recorder->seen[0], "new"), Value(2));
    EXPECT_EQ(recorder->seen[1].keyPath, "reachable");
    EXPECT_EQ(entry(recorder->seen[1], "old"), Value(false));
    EXPECT_EQ(entry(recorder->seen[1], "new"), Value(true));
    EXPECT_EQ(device->objcClass().keyPathsForValuesAffectingValueForKey("reachable"), std::set<std::string>{"status"});
    EXPECT_TRUE(FixturePhone::classObject().keyPathsForValuesAffectingValueForKey("reachable").count("status"))
        << "inherited";
}

TEST(KeyValueObserving, NestedKeyPathsFollowTheObjectAtEachStep) {
    auto device = std::make_shared<FixtureDevice>();
    auto first = std::make_shared<FixtureItem>();
    auto second = std::make_shared<FixtureItem>();
    first->setIdentifier("one");
    second->setIdentifier("two");
    device->setLatest(first);
    auto recorder = std::make_shared<Recorder>();
    device->addObserver(*recorder, "latest.identifier", kNewOld);

    first->setIdentifier("uno");
    ASSERT_EQ(recorder->seen.size(), 1u);
    EXPECT_EQ(recorder->seen[0].keyPath, "latest.identifier");
    EXPECT_EQ(recorder->seen[0].object, device.get());
    EXPECT_EQ(entry(recorder->seen[0], "old"), Value("one"));
    EXPECT_EQ(entry(recorder->seen[0], "new"), Value("uno"));

    device->setLatest(second);
    ASSERT_EQ(recorder->seen.size(), 2u);
    EXPECT_EQ(entry(recorder->seen[1], "new"), Value("two"));
    first->setIdentifier("ignored");  // no longer on the path
    second->setIdentifier("dos");
    ASSERT_EQ(recorder->seen.size(), 3u);
    EXPECT_EQ(entry(recorder->seen[2], "new"), Value("dos"));

    device->removeObserver(*recorder, "latest.identifier");
    second->setIdentifier("after");
    EXPECT_EQ(recorder->seen.size(), 3u);
}

TEST(KeyValueObserving, RemovalToleratesAbsentObserversAndMatchesContext) {
    auto item = std::make_shared<FixtureItem>();
    auto recorder = std::make_shared<Recorder>();
    int a = 0, b = 0;
    item->removeObserver(*recorder, "identifier");  // never added: nothing happens
    item->addObserver(*recorder, "identifier", 0, &a);
    item->addObserver(*recorder, "identifier", 0, &b);
    item->removeObserver(*recorder, "identifier", &a);
    item->setIdentifier("x");
    ASSERT_EQ(recorder->seen.size(), 1u);
    EXPECT_EQ(recorder->seen[0].context, &b);
    item->removeObserver(*recorder, "identifier");
    item->removeObserver(*recorder, "identifier");  // already gone
    item->setIdentifier("y");
    EXPECT_EQ(recorder->seen.size(), 1u);
}

TEST(KeyValueObserving, ObserverRemovedDuringTheChangeIsNotCalledAfterwards) {
    auto item = std::make_shared<FixtureItem>();
    auto first = std::make_shared<Recorder>();
    auto second = std::make_shared<Recorder>();
    item->addObserver(*first, "identifier", NSKeyValueObservingOptionPrior);
    item->addObserver(*second, "identifier", 0);
    first->onNotify = [&] { item->removeObserver(*second, "identifier"); };
    item->setIdentifier("x");
    EXPECT_TRUE(second->seen.empty());
}

TEST(KeyValueObserving, LifetimesOfObserverAndObservedDoNotCrash) {
    auto item = std::make_shared<FixtureItem>();
    {
        auto recorder = std::make_shared<Recorder>();
        item->addObserver(*recorder, "identifier", kNewOld);
    }
    item->setIdentifier("observer gone");  // skipped, not called on a dead object

    auto recorder = std::make_shared<Recorder>();
    {
        auto observed = std::make_shared<FixtureItem>();
        observed->addObserver(*recorder, "identifier", kNewOld);
        auto device = std::make_shared<FixtureDevice>();
        device->setLatest(observed);
        device->addObserver(*recorder, "latest.identifier", kNewOld);
    }  // both observed objects die with observers registered
    EXPECT_TRUE(recorder->seen.empty());

    // The object at a nested step dies while the root lives on.
    auto device = std::make_shared<FixtureDevice>();
    device->setLatest(std::make_shared<FixtureItem>());
    device->addObserver(*recorder, "latest.identifier", kNewOld);
    device->setLatest(nullptr);
    device->removeObserver(*recorder, "latest.identifier");
    EXPECT_EQ(recorder->seen.size(), 1u);
}

TEST(KeyValueObserving, WillAndDidPairsNest) {
    auto device = std::make_shared<FixtureDevice>();
    auto recorder = std::make_shared<Recorder>();
    device->addObserver(*recorder, "status", kNewOld);
    device->willChangeValueForKey("status");
    device->setStatus(1);  // an inner pair completes first
    device->didChangeValueForKey("status");
    ASSERT_EQ(recorder->seen.size(), 2u);
    EXPECT_EQ(entry(recorder->seen[0], "old"), Value(0));
    EXPECT_EQ(entry(recorder->seen[1], "old"), Value(0));
    EXPECT_EQ(entry(recorder->seen[1], "new"), Value(1));
    device->didChangeValueForKey("status");  // unmatched: nothing
    EXPECT_EQ(recorder->seen.size(), 2u);
}

// Observations work out once which keys concern them and which getter they read; a dependency
// declared later still counts, for observations made before it as well as after.
TEST(KeyValueObserving, DependentKeysDeclaredAfterObservingStartedCount) {
    auto object = std::make_shared<LateDependencies>();
    auto recorder = std::make_shared<Recorder>();
    object->addObserver(*recorder, "reading", kNewOld);
    object->setCelsius(10);
    object->setReading(1);
    ASSERT_EQ(recorder->seen.size(), 1u);
    EXPECT_EQ(entry(recorder->seen[0], "old"), Value(0));
    EXPECT_EQ(entry(recorder->seen[0], "new"), Value(1));

    LateDependencies::classObject().setKeyPathsForValuesAffectingKey("reading", {"celsius"});
    object->setCelsius(20);
    ASSERT_EQ(recorder->seen.size(), 2u);
    EXPECT_EQ(recorder->seen[1].keyPath, "reading");
    EXPECT_EQ(entry(recorder->seen[1], "new"), Value(1));

    auto other = std::make_shared<LateDependencies>();
    other->addObserver(*recorder, "reading", kNewOld);
    other->setCelsius(5);
    EXPECT_EQ(recorder->seen.size(), 3u);
    other->removeObserver(*recorder, "reading");
    object->removeObserver(*recorder, "reading");
}

// Every change reaches every observer concerned, in the order made, each with the old value the
// previous one left, also when observers start and stop between changes and when an observer's
// call makes further changes on other observed objects (whose own notifications complete first).
TEST(KeyValueObserving, EveryChangeArrivesInOrderWithTheValueBefore) {
    auto device = std::make_shared<FixtureDevice>();
    auto other = std::make_shared<FixtureDevice>();
    auto third = std::make_shared<FixtureDevice>();
    auto codes = std::make_shared<Recorder>();
    auto late = std::make_shared<Recorder>();
    auto chained = std::make_shared<Recorder>();
    device->addObserver(*codes, "code", kNewOld);
    other->addObserver(*chained, "code", kNewOld);
    third->addObserver(*chained, "name", kNewOld);
    std::vector<int> chainOrder;
    codes->onNotify = [&] {
        int now = entry(codes->seen.back(), "new").intValue();
        if (now % 10 == 0) other->setCode(now);  // its observer then renames the third object
    };
    chained->onNotify = [&] {
        const auto& n = chained->seen.back();
        chainOrder.push_back(n.keyPath == "code" ? 1 : 2);
        if (n.keyPath == "code") third->setName(std::to_string(entry(n, "new").intValue()));
    };
    for (int i = 1; i <= 100; ++i) {
        if (i == 40) device->addObserver(*late, "code", kNewOld);
        if (i == 71) device->removeObserver(*late, "code");
        device->setCode(i);
    }
    ASSERT_EQ(codes->seen.size(), 100u);
    for (int i = 1; i <= 100; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entry(codes->seen[i - 1], "old"), Value(i - 1));
        EXPECT_EQ(entry(codes->seen[i - 1], "new"), Value(i));
    }
    ASSERT_EQ(late->seen.size(), 31u);  // changes 40 to 70
    EXPECT_EQ(entry(late->seen.front(), "old"), Value(39));
    EXPECT_EQ(entry(late->seen.back(), "new"), Value(70));
    ASSERT_EQ(chained->seen.size(), 20u);
    std::vector<int> expectedOrder;
    for (int i = 0; i < 10; ++i) expectedOrder.insert(expectedOrder.end(), {1, 2});
    EXPECT_EQ(chainOrder, expectedOrder);
    EXPECT_EQ(entry(chained->seen[2], "old"), Value(10));
    EXPECT_EQ(entry(chained->seen[3], "old"), Value("10"));
    EXPECT_EQ(entry(chained->seen[3], "new"), Value("20"));
    device->removeObserver(*codes, "code");
    other->removeObserver(*chained, "code");
    third->removeObserver(*chained, "name");
}

// A did-change completes the latest open change of its key, also when that change concerned no
// one: here the dependency that made the outer change concern the observer is dropped before an
// inner change of the same key, and the notification still comes with the outer did-change.
TEST(KeyValueObserving, AChangeConcerningNoOneStillPairsWithItsDidChange) {
    auto object = std::make_shared<ShiftingDependencies>();
    auto recorder = std::make_shared<Recorder>();
    ShiftingDependencies::classObject().setKeyPathsForValuesAffectingKey("reading", {"celsius"});
    object->addObserver(*recorder, "reading", kNewOld);
    object->willChangeValueForKey("celsius");  // concerns the observer of "reading"
    ShiftingDependencies::classObject().setKeyPathsForValuesAffectingKey("reading", {});
    object->willChangeValueForKey("celsius");  // concerns no one now
    object->didChangeValueForKey("celsius");
    EXPECT_TRUE(recorder->seen.empty());
    object->didChangeValueForKey("celsius");
    ASSERT_EQ(recorder->seen.size(), 1u);
    EXPECT_EQ(recorder->seen[0].keyPath, "reading");

    // And an observer that starts while a change is open hears only the changes it saw begin.
    object->willChangeValueForKey("reading");
    auto late = std::make_shared<Recorder>();
    object->addObserver(*late, "reading", kNewOld);
    object->setReading(3);
    object->didChangeValueForKey("reading");
    ASSERT_EQ(late->seen.size(), 1u);
    EXPECT_EQ(entry(late->seen[0], "old"), Value(0));
    EXPECT_EQ(entry(late->seen[0], "new"), Value(3));
    EXPECT_EQ(recorder->seen.size(), 3u);  // the inner and the outer change
    object->removeObserver(*late, "reading");
    object->removeObserver(*recorder, "reading");
}

// Changes of keys nobody observes are passed over quickly; a key becomes heard as soon as an
// observation of it (or of a path starting with it) is added, after other keys changed unheard.
TEST(KeyValueObserving, KeysObservedLaterAreHeardAfterUnheardChanges) {
    auto device = std::make_shared<FixtureDevice>();
    auto names = std::make_shared<Recorder>();
    auto later = std::make_shared<Recorder>();
    device->addObserver(*names, "name", kNewOld);
    device->setCode(1);
    device->setRatio(0.5);
    device->addObserver(*later, "code", kNewOld);
    device->setCode(2);
    device->setRatio(0.25);  // still unheard
    auto item = std::make_shared<FixtureItem>();
    item->setIdentifier("first");
    device->addObserver(*later, "latest.identifier", kNewOld);
    device->setLatest(item);
    device->setName("n");
    ASSERT_EQ(later->seen.size(), 2u);
    EXPECT_EQ(later->seen[0].keyPath, "code");
    EXPECT_EQ(entry(later->seen[0], "old"), Value(1));
    EXPECT_EQ(entry(later->seen[0], "new"), Value(2));
    EXPECT_EQ(later->seen[1].keyPath, "latest.identifier");
    EXPECT_EQ(entry(later->seen[1], "new"), Value("first"));
    ASSERT_EQ(names->seen.size(), 1u);
    device->removeObserver(*later, "latest.identifier");
    device->removeObserver(*later, "code");
    device->removeObserver(*names, "name");
}

// Changes of one object made on two threads while two more keep registering and removing
// observers of the same keys: every change reaches its steady observer once, in order, with the
// value before it, while the passing observers' registrations and removals stay consistent.
TEST(KeyValueObserving, ChangesOnSeveralThreadsWhileObserversComeAndGo) {
    auto device = std::make_shared<FixtureDevice>();
    auto codes = std::make_shared<Recorder>();
    auto names = std::make_shared<Recorder>();
    device->addObserver(*codes, "code", kNewOld);
    device->addObserver(*names, "name", kNewOld);
    constexpr int kChanges = 2000;
    std::atomic<bool> done{false};
    auto churn = [&](const char* key) {
        while (!done.load()) {
            auto passing = std::make_shared<Recorder>();
            device->addObserver(*passing, key, kNewOld);
            device->removeObserver(*passing, key);
        }
    };
    std::thread codeChurn(churn, "code"), nameChurn(churn, "name");
    std::thread nameChanges([&] {
        for (int i = 1; i <= kChanges; ++i) device->setName(std::to_string(i));
    });
    for (int i = 1; i <= kChanges; ++i) device->setCode(i);
    nameChanges.join();
    done.store(true);
    codeChurn.join();
    nameChurn.join();

    ASSERT_EQ(codes->seen.size(), static_cast<std::size_t>(kChanges));
    ASSERT_EQ(names->seen.size(), static_cast<std::size_t>(kChanges));
    for (int i = 1; i <= kChanges; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entry(codes->seen[i - 1], "old"), Value(i - 1));
        EXPECT_EQ(entry(codes->seen[i - 1], "new"), Value(i));
        EXPECT_EQ(entry(names->seen[i - 1], "new"), Value(std::to_string(i)));
    }
    device->removeObserver(*codes, "code");
    device->removeObserver(*names, "name");
}
