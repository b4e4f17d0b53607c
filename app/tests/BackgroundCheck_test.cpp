// The background check through the platform's background fetch: which stored state reaches
// the catalogue, what is stored afterwards, the notification it leaves pending (or presents at
// once before OS 10) and the result the platform hears, for good, changed and damaged answers.

#include <gtest/gtest.h>

#include <app/AppConfiguration.h>
#include <app/AppDelegate.h>
#include <app/store/ECUserDefaultsUtil.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/Sandbox.h>
#include <platform_foundation/SystemRecords.h>
#include <platform_system/UNUserNotificationCenter.h>

#include "CatalogueTestServer.h"

#include <atomic>
#include <optional>

namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new apptest::SandboxEnvironment(true));

// A version 3 document for iPhone10,3 with `signedCount` of four builds signed.
std::string deviceDocument(int signedCount, const std::string& name = "iPhone X") {
    std::string firmwares;
    for (int i = 0; i < 4; ++i) {
        if (i) firmwares += ",";
        firmwares += R"({"version":"11.)" + std::to_string(4 - i) + R"(","buildid":"15E)" + std::to_string(200 + i) +
                     R"(","filename":"f.ipsw","sha1sum":"a","md5sum":"b","size":)" + std::to_string(3000 + i) +
                     R"(,"url":"https://x.invalid/f","releasedate":null,"uploaddate":"2018-01-01T00:00:00Z","signed":)" +
                     (i < signedCount ? "true" : "false") + "}";
    }
    return R"({"iPhone10,3":{"name":")" + name +
           R"(","BoardConfig":"D22AP","platform":"t8015","cpid":"0x8015","bdid":"0x06","firmwares":[)" + firmwares +
           "]}}";
}

struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
};

class BackgroundCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = UIApplication::sharedApplication();
        app->resetForTesting();
        center = UNUserNotificationCenter::currentNotificationCenter();
        center->resetForTesting();
        delegate = std::make_shared<AppDelegate>();
        app->setDelegate(delegate);
        app->setMinimumBackgroundFetchInterval(UIApplicationBackgroundFetchIntervalMinimum);
        ECUserDefaultsUtil::removeFavModel();
        ECUserDefaultsUtil::removeValidCount();
        server.routes().Get(R"(/api/ios/v3/device/(.+))", [this](const httplib::Request&, httplib::Response& res) {
            hits++;
            std::lock_guard lock(answerMutex);
            res.status = answer.status;
            res.set_content(answer.body, answer.contentType.c_str());
        });
        server.start();
        ::setenv(AppConfiguration::kCatalogueBaseURLVariable, server.base().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(AppConfiguration::kCatalogueBaseURLVariable);
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        app->resetForTesting();
        center->resetForTesting();
    }
    void store(std::optional<std::string> count, std::optional<std::string> favourite) {
        if (count) ECUserDefaultsUtil::setValidCount(*count);
        if (favourite) ECUserDefaultsUtil::setFavModel(*favourite);
    }
    void answerWith(Answer a) {
        std::lock_guard lock(answerMutex);
        answer = std::move(a);
    }
    // One background fetch; the result the platform heard.
    std::optional<UIBackgroundFetchResult> fetch() {
        const std::size_t before = SystemRecords::read(UIApplication::kBackgroundFetchRecordsFile).size();
        EXPECT_TRUE(app->simulateBackgroundFetch());
        EXPECT_TRUE(spinMainRunLoopUntil(
            [&] { return SystemRecords::read(UIApplication::kBackgroundFetchRecordsFile).size() > before; }, 20));
        return app->lastBackgroundFetchResult();
    }
    std::vector<std::string> pendingIdentifiers() {
        std::vector<std::string> ids;
        for (const auto& r : center->pendingNotificationRequests()) ids.push_back(r->identifier());
        return ids;
    }

    std::shared_ptr<UIApplication> app;
    std::shared_ptr<UNUserNotificationCenter> center;
    std::shared_ptr<AppDelegate> delegate;
    apptest::CatalogueServer server;
    std::atomic<int> hits{0};
    std::mutex answerMutex;
    Answer answer;
};

TEST_F(BackgroundCheckTest, OnlyAStoredCountAndFavouriteReachTheCatalogue) {
    using S = std::optional<std::string>;
    const struct {
        const char* name;
        S count, favourite;
        Answer answer;
        int requests;
        S countAfter;
        bool notified;
        UIBackgroundFetchResult result;
    } cases[] = {
        {"two signed become three", "2", "iPhone10,3", {200, deviceDocument(3)}, 1, "3", true, UIBackgroundFetchResultNewData},
        {"three signed become two", "3", "iPhone10,3", {200, deviceDocument(2)}, 1, "2", true, UIBackgroundFetchResultNewData},
        {"zero is a count too", "1", "iPhone10,3", {200, deviceDocument(0)}, 1, "0", true, UIBackgroundFetchResultNewData},
        {"the same count", "2", "iPhone10,3", {200, deviceDocument(2)}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"no stored count", std::nullopt, "iPhone10,3", {200, deviceDocument(3)}, 0, std::nullopt, false, UIBackgroundFetchResultNoData},
        {"an empty stored count", "", "iPhone10,3", {200, deviceDocument(3)}, 0, "", false, UIBackgroundFetchResultNoData},
        {"no favourite", "2", std::nullopt, {200, deviceDocument(3)}, 0, "2", false, UIBackgroundFetchResultNoData},
        {"an empty favourite", "2", "", {200, deviceDocument(3)}, 0, "2", false, UIBackgroundFetchResultNoData},
        {"no member for the device", "2", "iPhone10,3", {200, R"({"iPhone10,6":{}})"}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"a member that is no dictionary", "2", "iPhone10,3", {200, R"({"iPhone10,3":[1,2]})"}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"a document that is an array", "2", "iPhone10,3", {200, "[1,2]"}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"a member missing a key", "2", "iPhone10,3", {200, R"({"iPhone10,3":{"name":"iPhone X"}})"}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"an empty answer", "2", "iPhone10,3", {200, ""}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"truncated JSON", "2", "iPhone10,3", {200, deviceDocument(3).substr(0, 100)}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"an HTML error page", "2", "iPhone10,3", {502, "<html><body>Bad gateway</body></html>", "text/html"}, 1, "2", false, UIBackgroundFetchResultNoData},
        {"a server error with JSON", "2", "iPhone10,3", {500, deviceDocument(3)}, 1, "2", false, UIBackgroundFetchResultNoData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ECUserDefaultsUtil::removeFavModel();
        ECUserDefaultsUtil::removeValidCount();
        center->removeAllPendingNotificationRequests();
        hits = 0;
        store(c.count, c.favourite);
        answerWith(c.answer);
        EXPECT_EQ(fetch(), c.result);
        EXPECT_EQ(hits.load(), c.requests);
        EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), c.countAfter);
        EXPECT_EQ(pendingIdentifiers(), c.notified ? std::vector<std::string>{"ECLocalNotification"} : std::vector<std::string>{});
    }
}

TEST_F(BackgroundCheckTest, TheNotificationNamesTheDeviceAfterOneSecond) {
    store("2", "iPhone10,3");
    answerWith({200, deviceDocument(3)});
    ASSERT_EQ(fetch(), UIBackgroundFetchResultNewData);
    EXPECT_EQ(delegate->favDeviceName(), " iPhone X");
    const auto pending = center->pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 1u);
    const auto& request = pending[0];
    EXPECT_EQ(request->identifier(), "ECLocalNotification");
    ASSERT_TRUE(request->trigger());
    EXPECT_EQ(request->trigger()->timeInterval(), 1.0);
    EXPECT_FALSE(request->trigger()->repeats());
    auto bundle = NSBundle::mainBundle();
    const std::string first = bundle->localizedStringForKey("favfirmwareChanged1", "");
    const std::string second = bundle->localizedStringForKey("favfirmwareChanged2", "");
    EXPECT_NE(first, "favfirmwareChanged1");
    EXPECT_EQ(request->content()->body, first + "  iPhone X " + second);
    EXPECT_TRUE(request->content()->title.empty());
    EXPECT_TRUE(request->content()->sound);
    EXPECT_FALSE(request->content()->badge);

    // A second change replaces the pending request rather than adding one.
    answerWith({200, deviceDocument(1)});
    ASSERT_EQ(fetch(), UIBackgroundFetchResultNewData);
    EXPECT_EQ(center->pendingNotificationRequests().size(), 1u);
}

TEST_F(BackgroundCheckTest, BeforeOS10TheNotificationIsPresentedAtOnce) {
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{9, 3, 5});
    delegate->setInitNoti(Value());  // the launch's permission request
    store("2", "iPhone10,3");
    answerWith({200, deviceDocument(3)});
    ASSERT_EQ(fetch(), UIBackgroundFetchResultNewData);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !center->deliveredNotifications().empty(); }, 5));
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    const auto delivered = center->deliveredNotifications();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_NE(delivered[0]->request()->content()->body.find("  iPhone X "), std::string::npos);
}

TEST_F(BackgroundCheckTest, NoConnectionMeansNoData) {
    store("2", "iPhone10,3");
    server.stop();
    EXPECT_EQ(fetch(), UIBackgroundFetchResultNoData);
    EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), std::optional<std::string>("2"));
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
}

TEST_F(BackgroundCheckTest, AFiveMegabyteDocumentIsCountedLikeAnyOther) {
    store("0", "iPhone10,3");
    std::string big = deviceDocument(2);
    // Padding inside the member: keys no model property names are ignored.
    big.insert(big.size() - 2, ",\"padding\":\"" + std::string(5 * 1024 * 1024, 'x') + "\"");
    answerWith({200, big});
    EXPECT_EQ(fetch(), UIBackgroundFetchResultNewData);
    EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), std::optional<std::string>("2"));
}

}  // namespace
