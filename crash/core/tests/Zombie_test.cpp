// The zombie monitor: slots by address, exceptions as they are destroyed, a monitor that
// stays on, and a crash through a dangling pointer naming the class it had.

#include <crash_core/CRZombie.h>

#include "ReportTestSupport.h"

#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCDeclare.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

class ZombieTestItem : public NSObject {
    NS_CLASS(ZombieTestItem, NSObject)
public:
    int payload[4] = {1, 2, 3, 4};
};

class ZombieTestException : public NSException {
public:
    using NSException::NSException;
};

namespace {

uintptr_t slotOf(const void* p) { return (uintptr_t(p) >> 7) & 0x7FFF; }

class ZombieMonitor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { crcm_zombie_getAPI()->setEnabled(true); }
};

TEST_F(ZombieMonitor, NamesTheClassOfTheLastObjectFreedInASlot) {
    ASSERT_TRUE(crcm_zombie_getAPI()->isEnabled());
    // Objects made together: some share a slot (their addresses agree in bits 7 to 21).
    std::vector<std::shared_ptr<NSObject>> objects;
    for (int i = 0; i < 64; ++i) {
        if (i % 2) objects.push_back(std::make_shared<ZombieTestItem>());
        else objects.push_back(std::make_shared<NSObject>());
    }
    std::map<uintptr_t, std::vector<NSObject*>> bySlot;
    for (auto& o : objects) bySlot[slotOf(o.get())].push_back(o.get());
    auto shared = std::find_if(bySlot.begin(), bySlot.end(), [](const auto& e) { return e.second.size() >= 2; });
    ASSERT_NE(shared, bySlot.end());
    NSObject* first = shared->second[0];
    NSObject* second = shared->second[1];
    std::string secondClass = second->className();
    auto release = [&](NSObject* p) {
        for (auto& o : objects)
            if (o.get() == p) o.reset();
    };

    NSObject* alive = nullptr;
    for (auto& o : objects)
        if (o && o.get() != first && o.get() != second) alive = o.get();
    EXPECT_EQ(crzombie_className(alive), nullptr);  // never freed
    EXPECT_EQ(crzombie_className(nullptr), nullptr);

    release(first);
    release(second);
    // The later deallocation wins the slot; the earlier address has no name any more.
    EXPECT_EQ(crzombie_className(first), nullptr);
    ASSERT_NE(crzombie_className(second), nullptr);
    EXPECT_STREQ(crzombie_className(second), secondClass.c_str());

    // A subclass is named as itself, though its own parts are gone when the root runs.
    auto item = std::make_shared<ZombieTestItem>();
    const void* address = item.get();
    item.reset();
    EXPECT_STREQ(crzombie_className(address), "ZombieTestItem");
}

TEST_F(ZombieMonitor, RecordsTheLastDestroyedExceptionCutToItsBuffers) {
    struct Case {
        const char* name;
        std::string exceptionName;
        std::string reason;
        std::string expectedName;
        std::string expectedReason;
    } cases[] = {
        {"short", "ZombieName", "short reason", "ZombieName", "short reason"},
        {"long reason cut to 899 bytes", "Long", std::string(900, 'r'), "Long", std::string(899, 'r')},
        {"long name cut to 99 bytes", std::string(150, 'n'), "x", std::string(99, 'n'), "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const void* address = nullptr;
        {
            ZombieTestException exception(c.exceptionName, c.reason);
            address = &exception;
        }
        uintptr_t recorded = 0;
        const char* name = nullptr;
        const char* reason = nullptr;
        crzombie_lastDeallocatedException(&recorded, &name, &reason);
        EXPECT_EQ(recorded, uintptr_t(address));
        EXPECT_EQ(std::string(name), c.expectedName);
        EXPECT_EQ(std::string(reason), c.expectedReason);

        CRCrashEventContext event;
        std::memset(&event, 0, sizeof event);
        crcm_zombie_getAPI()->addContextualInfoToEvent(&event);
        EXPECT_EQ(event.ZombieException.address, uintptr_t(address));
        EXPECT_EQ(std::string(event.ZombieException.reason), c.expectedReason);
    }
    // A thrown and caught exception is recorded when its last copy goes.
    try {
        NSException::raise("ThrownZombie", "thrown reason");
    } catch (const NSException&) {
    }
    const char* name = nullptr;
    crzombie_lastDeallocatedException(nullptr, &name, nullptr);
    EXPECT_STREQ(name, "ThrownZombie");
}

TEST_F(ZombieMonitor, AskingToDisableLeavesItOn) {
    crcm_zombie_getAPI()->setEnabled(false);
    EXPECT_TRUE(crcm_zombie_getAPI()->isEnabled());
    auto item = std::make_shared<ZombieTestItem>();
    const void* address = item.get();
    item.reset();
    EXPECT_STREQ(crzombie_className(address), "ZombieTestItem");
}

TEST(ZombieReport, ACrashThroughADanglingPointerNamesTheClassItHad) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    using namespace reporttest;
    struct Case {
        const char* mask;
        bool named;
    } cases[] = {{"--mask=1ef", true}, {"--mask=ef", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        std::string base = freshBase("zombie");
        auto result = runScenario("zombie-dangling", base, {c.mask});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitSignal, SIGSEGV) << result.output;
        EXPECT_EQ(outputValue(result.output, "installed"), std::string(c.mask).substr(7));
        std::string dangling = outputValue(result.output, "dangling");
        ASSERT_FALSE(dangling.empty());
        auto files = reportFiles(base);
        ASSERT_EQ(files.size(), 1u);
        rapidjson::Document doc;
        ASSERT_TRUE(parse(readFile(files[0]), doc));
        const rapidjson::Value* thread = crashedThread(doc);
        ASSERT_NE(thread, nullptr);
        int named = 0;
        for (const auto& entry : (*thread)["notable_addresses"].GetObject()) {
            const auto& v = entry.value;
            char hex[32];
            std::snprintf(hex, sizeof hex, "%" PRIx64, v["address"].GetUint64());
            if (dangling != std::string("0x") + hex) continue;
            if (c.named) {
                ASSERT_TRUE(v.HasMember("last_deallocated_obj")) << entry.name.GetString();
                EXPECT_STREQ(v["last_deallocated_obj"].GetString(), "CrashScenarioItem");
            } else {
                EXPECT_FALSE(v.HasMember("last_deallocated_obj"));
            }
            ++named;
        }
        EXPECT_GE(named, 1) << readFile(files[0]).substr(0, 4000);
        // The last destroyed exception is in the process section.
        ASSERT_TRUE(doc.HasMember("process"));
        if (c.named) {
            ASSERT_TRUE(doc["process"].HasMember("last_dealloced_nsexception"));
            EXPECT_STREQ(doc["process"]["last_dealloced_nsexception"]["name"].GetString(), "ScenarioZombieException");
            EXPECT_STREQ(doc["process"]["last_dealloced_nsexception"]["reason"].GetString(), "freed early");
        } else {
            EXPECT_FALSE(doc["process"].HasMember("last_dealloced_nsexception"));
        }
    }
}

}  // namespace
