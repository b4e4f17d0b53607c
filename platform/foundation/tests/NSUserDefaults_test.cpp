#include <platform_foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSFileErrors.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_runtime/NSException.h>

#include "SandboxTempDir.h"

namespace fs = std::filesystem;

namespace {

class NSUserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        NSUserDefaults::resetStandardUserDefaults();
        NSBundle::setMainBundlePathForTesting(std::string(TEST_SOURCE_DIR) + "/data/TestApp");
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        NSBundle::setMainBundlePathForTesting(std::nullopt);
    }
    // What a fresh process would see.
    static NSUserDefaultsPtr reopen() {
        NSUserDefaults::resetStandardUserDefaults();
        return NSUserDefaults::standardUserDefaults();
    }
    static Value::Data readBytes(const std::string& path) { return NSDataFile::dataWithContentsOfFile(path).value_or(Value::Data{}); }
    static void writeBytes(const std::string& path, const Value::Data& bytes) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    SandboxTempDir sandbox;
};

TEST_F(NSUserDefaultsTest, TypedGettersAnswerThePlatformDefaults) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject(Value("42"), "numericString");
    defaults->setObject(Value("YES"), "yesString");
    defaults->setObject(Value("true"), "trueString");
    defaults->setObject(Value("no"), "noString");
    defaults->setInteger(7, "int");
    defaults->setDouble(2.5, "double");
    defaults->setBool(true, "bool");
    defaults->setObject(Value::array({1, 2}), "array");
    defaults->setObject(Value::dict({{"k", "v"}}), "dict");
    defaults->setObject(Value(Value::Data{1, 2, 3}), "data");

    struct Case {
        const char* key;
        std::optional<std::string> string;
        int64_t integer;
        double dbl;
        bool boolean;
    };
    const Case cases[] = {
        {"absent", std::nullopt, 0, 0.0, false},
        {"numericString", "42", 42, 42.0, true},
        {"yesString", "YES", 0, 0.0, true},
        {"trueString", "true", 0, 0.0, true},
        {"noString", "no", 0, 0.0, false},
        {"int", "7", 7, 7.0, true},
        {"double", "2.5", 2, 2.5, true},
        {"bool", "1", 1, 1.0, true},
        {"array", std::nullopt, 0, 0.0, false},
        {"data", std::nullopt, 0, 0.0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(defaults->stringForKey(c.key), c.string) << c.key;
        EXPECT_EQ(defaults->integerForKey(c.key), c.integer) << c.key;
        EXPECT_DOUBLE_EQ(defaults->doubleForKey(c.key), c.dbl) << c.key;
        EXPECT_FLOAT_EQ(defaults->floatForKey(c.key), static_cast<float>(c.dbl)) << c.key;
        EXPECT_EQ(defaults->boolForKey(c.key), c.boolean) << c.key;
    }
    EXPECT_TRUE(defaults->objectForKey("absent").isNull());
    EXPECT_EQ(defaults->arrayForKey("array"), Value::array({1, 2}));
    EXPECT_TRUE(defaults->arrayForKey("dict").isNull());
    EXPECT_EQ(defaults->dictionaryForKey("dict"), Value::dict({{"k", "v"}}));
    EXPECT_TRUE(defaults->dictionaryForKey("array").isNull());
    EXPECT_EQ(defaults->dataForKey("data"), Value(Value::Data{1, 2, 3}));
    EXPECT_TRUE(defaults->dataForKey("numericString").isNull());
    EXPECT_TRUE(defaults->objectForKey("bool").isBool());
}

TEST_F(NSUserDefaultsTest, PersistsAcrossAReopenOfTheSameSandbox) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->filePath(), sandbox.path() + "/Home/Library/Preferences/com.example.testapp.plist");
    const NSDate when = NSDate::dateWithTimeIntervalSince1970(1500000000.5);
    defaults->setObject(Value("iPhone10,3"), "ECKeyFavModel");
    defaults->setObject(Value(""), "empty");
    defaults->setBool(false, "flag");
    defaults->setInteger(-3, "count");
    defaults->setObject(Value(when), "RFRefreshHeaderLastUpdatedTimeKey");
    defaults->setObject(Value::dict({{"nested", Value::array({1.5, "x", true})}}), "record");
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(readBytes(defaults->filePath()).data()), 8), "bplist00");

    auto again = reopen();
    EXPECT_NE(again, defaults);
    EXPECT_EQ(again->stringForKey("ECKeyFavModel"), "iPhone10,3");
    EXPECT_EQ(again->stringForKey("empty"), "");  // empty differs from absent
    EXPECT_TRUE(again->objectForKey("flag").isBool());
    EXPECT_FALSE(again->boolForKey("flag"));
    EXPECT_EQ(again->integerForKey("count"), -3);
    EXPECT_DOUBLE_EQ(again->objectForKey("RFRefreshHeaderLastUpdatedTimeKey").asDate().timeIntervalSince1970(), 1500000000.5);
    EXPECT_EQ(again->objectForKey("record"), Value::dict({{"nested", Value::array({1.5, "x", true})}}));

    // Removal persists too; setting Null removes.
    again->removeObjectForKey("ECKeyFavModel");
    again->setObject(Value(), "count");
    again->synchronize();
    auto third = reopen();
    EXPECT_TRUE(third->objectForKey("ECKeyFavModel").isNull());
    EXPECT_TRUE(third->objectForKey("count").isNull());
    EXPECT_EQ(third->stringForKey("empty"), "");
}

TEST_F(NSUserDefaultsTest, StandardStoreFollowsTheSandboxRoot) {
    auto first = NSUserDefaults::standardUserDefaults();
    first->setObject(Value("one"), "k");
    ASSERT_TRUE(first->synchronize());
    {
        SandboxTempDir other;
        auto second = NSUserDefaults::standardUserDefaults();
        EXPECT_EQ(second->filePath().rfind(other.path(), 0), 0u);
        EXPECT_TRUE(second->objectForKey("k").isNull());
        NSUserDefaults::resetStandardUserDefaults();
    }
    NSSandbox::resetForTesting(sandbox.path());
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("k"), "one");
}

TEST_F(NSUserDefaultsTest, RegisteredDefaultsAnswerButAreNeverWritten) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->registerDefaults({{Value("rate.uses"), Value(10)}, {Value("shown"), Value(true)}});
    EXPECT_EQ(defaults->integerForKey("rate.uses"), 10);
    defaults->setInteger(3, "rate.uses");
    EXPECT_EQ(defaults->integerForKey("rate.uses"), 3);  // a stored value wins
    auto all = defaults->dictionaryRepresentation();
    EXPECT_EQ(all[Value("rate.uses")], Value(3));
    EXPECT_EQ(all[Value("shown")], Value(true));
    defaults->removeObjectForKey("rate.uses");
    EXPECT_EQ(defaults->integerForKey("rate.uses"), 10);  // back to the registered one
    defaults->setObject(Value("x"), "other");
    defaults->synchronize();

    auto again = reopen();
    EXPECT_TRUE(again->objectForKey("shown").isNull());
    EXPECT_TRUE(again->objectForKey("rate.uses").isNull());
    EXPECT_EQ(again->stringForKey("other"), "x");
}

TEST_F(NSUserDefaultsTest, SuitesAndAppGroups) {
    auto group = NSUserDefaults::initWithSuiteName(std::string("group.com.velkor.quorin"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->filePath(),
              sandbox.path() + "/AppGroups/group.com.velkor.quorin/Library/Preferences/group.com.velkor.quorin.plist");
    auto suite = NSUserDefaults::initWithSuiteName(std::string("com.example.suite"));
    ASSERT_TRUE(suite);
    EXPECT_EQ(suite->filePath(), sandbox.path() + "/Home/Library/Preferences/com.example.suite.plist");

    group->setObject(Value("5"), "ECKeyValidCount");
    // A second instance of the same suite sees the value at once; other stores do not.
    auto sameGroup = NSUserDefaults::initWithSuiteName(std::string("group.com.velkor.quorin"));
    EXPECT_EQ(sameGroup->stringForKey("ECKeyValidCount"), "5");
    EXPECT_TRUE(suite->objectForKey("ECKeyValidCount").isNull());
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults()->objectForKey("ECKeyValidCount").isNull());
    EXPECT_EQ(NSUserDefaults::initWithSuiteName(std::nullopt)->filePath(),
              NSUserDefaults::standardUserDefaults()->filePath());

    for (const char* bad : {"", "a/b", "..", "NSGlobalDomain", "com.example.testapp", "group./x"})
        EXPECT_EQ(NSUserDefaults::initWithSuiteName(std::string(bad)), nullptr) << bad;
}

TEST_F(NSUserDefaultsTest, ChangesByAnotherProcessAreSeenAfterSynchronize) {
    auto defaults = NSUserDefaults::initWithSuiteName(std::string("group.shared"));
    defaults->setObject(Value("mine"), "kept");
    defaults->setObject(Value("old"), "theirs");
    ASSERT_TRUE(defaults->synchronize());
    defaults->setObject(Value("pending"), "kept");  // not yet written

    // Another process of the group rewrites the file (atomically, as we do).
    Value::Dictionary other{{Value("theirs"), Value("new")}, {Value("kept"), Value("overwritten")},
                            {Value("added"), Value(1)}};
    auto bytes = NSPropertyListSerialization::dataWithPropertyList(Value(other), NSPropertyListBinaryFormat_v1_0);
    ASSERT_TRUE(NSDataFile::writeToFile(bytes, defaults->filePath(), NSDataWritingAtomic, nullptr));

    int notes = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        NSUserDefaultsDidChangeNotification, Value(defaults), nullptr, [&](const NSNotification&) { ++notes; });
    EXPECT_EQ(defaults->stringForKey("theirs"), "old");  // not before a synchronize
    ASSERT_TRUE(defaults->synchronize());
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(defaults->stringForKey("theirs"), "new");
    EXPECT_EQ(defaults->integerForKey("added"), 1);
    EXPECT_EQ(defaults->stringForKey("kept"), "pending");  // our pending change wins
    EXPECT_EQ(notes, 1);

    // And the merged result is what is on disk now.
    Value onDisk = NSPropertyListSerialization::propertyListWithData(readBytes(defaults->filePath()));
    EXPECT_EQ(onDisk.objectForKey("kept"), Value("pending"));
    EXPECT_EQ(onDisk.objectForKey("theirs"), Value("new"));
}

TEST_F(NSUserDefaultsTest, CorruptFileIsSetAsideAndReported) {
    std::string path = NSUserDefaults::standardUserDefaults()->filePath();
    const Value::Data cases[] = {
        Value::Data{'n', 'o', 't', ' ', 'a', ' ', 'p', 'l', 'i', 's', 't'},
        Value::Data{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xFF, 0x01},
        NSPropertyListSerialization::dataWithPropertyList(Value::array({1}), NSPropertyListXMLFormat_v1_0),
        Value::Data{},
    };
    for (const Value::Data& garbage : cases) {
        NSUserDefaults::resetStandardUserDefaults();
        fs::remove(path + ".corrupt");
        writeBytes(path, garbage);
        auto defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_TRUE(defaults->objectForKey("anything").isNull());
        ASSERT_TRUE(defaults->lastError());
        EXPECT_EQ(defaults->lastError()->code(), NSFileReadCorruptFileError);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(readBytes(path + ".corrupt"), garbage);
        // The store works again from an empty state.
        defaults->setObject(Value("fresh"), "k");
        ASSERT_TRUE(defaults->synchronize());
        EXPECT_EQ(reopen()->stringForKey("k"), "fresh");
        fs::remove(path);
    }
}

TEST_F(NSUserDefaultsTest, FileTruncatedMidWriteKeepsThePreviousContents) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject(Value("good"), "state");
    ASSERT_TRUE(defaults->synchronize());
    std::string path = defaults->filePath();
    Value::Data good = readBytes(path);

    // A writer that died mid-write leaves a partial temporary file beside the real one.
    defaults->setObject(Value(std::string(4000, 'x')), "state");
    ASSERT_TRUE(defaults->synchronize());
    Value::Data newer = readBytes(path);
    writeBytes(path, good);
    Value::Data partial(newer.begin(), newer.begin() + static_cast<std::ptrdiff_t>(newer.size() / 2));
    std::string tmp = (fs::path(path).parent_path() / ("." + fs::path(path).filename().string() + ".tmp")).string();
    writeBytes(tmp, partial);
    writeBytes(path + ".tmp", partial);

    auto again = reopen();
    EXPECT_EQ(again->stringForKey("state"), "good");
    EXPECT_FALSE(again->lastError());
}

TEST_F(NSUserDefaultsTest, PostsDidChangeOnChanges) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    std::vector<Value> senders;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        NSUserDefaultsDidChangeNotification, Value(), nullptr,
        [&](const NSNotification& n) { senders.push_back(n.object()); });
    defaults->setInteger(1, "a");
    defaults->removeObjectForKey("a");
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    ASSERT_EQ(senders.size(), 2u);
    EXPECT_EQ(senders[0].asObject(), defaults);
}

TEST_F(NSUserDefaultsTest, RefusesValuesThatAreNotPropertyLists) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_THROW(defaults->setObject(Value(std::make_shared<NSObject>()), "object"), NSException);
    EXPECT_THROW(defaults->setObject(Value::dict({{1, "numeric key"}}), "dict"), NSException);
    EXPECT_THROW(defaults->setObject(Value::array({Value()}), "nullInside"), NSException);
    EXPECT_TRUE(defaults->objectForKey("object").isNull());
}

TEST_F(NSUserDefaultsTest, PendingChangesAreWrittenWithoutSynchronize) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject(Value("soon"), "debounced");
    std::string path = defaults->filePath();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(path) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(path));
    Value onDisk = NSPropertyListSerialization::propertyListWithData(readBytes(path));
    EXPECT_EQ(onDisk.objectForKey("debounced"), Value("soon"));
}

TEST_F(NSUserDefaultsTest, ConcurrentWritersLoseNothing) {
    auto defaults = NSUserDefaults::initWithSuiteName(std::string("com.example.concurrent"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            auto mine = NSUserDefaults::initWithSuiteName(std::string("com.example.concurrent"));
            for (int i = 0; i < 50; ++i) {
                mine->setInteger(i, "t" + std::to_string(t) + "." + std::to_string(i));
                if (i % 10 == 0) mine->synchronize();
                (void)mine->integerForKey("t0.0");
            }
        });
    }
    for (auto& th : threads) th.join();
    ASSERT_TRUE(defaults->synchronize());
    NSUserDefaults::resetStandardUserDefaults();
    auto again = NSUserDefaults::initWithSuiteName(std::string("com.example.concurrent"));
    EXPECT_EQ(again->dictionaryRepresentation().size(), 200u);
    EXPECT_EQ(again->integerForKey("t3.49"), 49);
}

}  // namespace
