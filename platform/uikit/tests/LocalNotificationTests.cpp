// The legacy notification calls of the application object: they share the
// notification centre's store, outcome rules and records.

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UILocalNotification.h>
#include <platform_uikit/UIResponder.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_foundation/Sandbox.h>
#include <platform_foundation/SystemRecords.h>
#include <platform_system/UNUserNotificationCenter.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace {

class PlainAppDelegate : public UIResponder, public UIApplicationDelegate {
    NS_CLASS(PlainAppDelegate, UIResponder)
};

class LocalNotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() / ("uikit-local-notes-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root_);
        NSSandbox::resetForTesting(root_.string());
        ManualClock::install();
        app->resetForTesting();
        center->resetForTesting();
        app->setDelegate(std::make_shared<PlainAppDelegate>());
        app->finishLaunching();
        app->setNotificationBanner([this](const std::string& title, const std::string& body) {
            banners.push_back(title + "|" + body);
        });
    }
    void TearDown() override {
        center->resetForTesting();
        app->resetForTesting();
        ManualClock::uninstall();
        NSSandbox::resetForTesting();
        std::filesystem::remove_all(root_);
    }
    std::vector<std::string> outcomes() {
        std::vector<std::string> out;
        for (const auto& r : SystemRecords::read(UNUserNotificationCenter::kRecordsFile))
            out.push_back(r.objectForKey("outcome").stringValue());
        return out;
    }
    static std::shared_ptr<UILocalNotification> note(const std::string& body) {
        auto n = std::make_shared<UILocalNotification>();
        n->alertBody = body;
        return n;
    }

    std::filesystem::path root_;
    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
    std::shared_ptr<UNUserNotificationCenter> center = UNUserNotificationCenter::currentNotificationCenter();
    std::vector<std::string> banners;
};

TEST_F(LocalNotificationTest, PresentNowFollowsTheSettingAndTheAppState) {
    struct Case {
        bool allow, active;
        const char* outcome;
        bool banner;
    };
    const Case cases[] = {
        {true, true, "not presented (app in front)", false},
        {true, false, "presented", true},
        {false, false, "not shown", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.allow ? "allow" : "deny") + (c.active ? " active" : " background"));
        std::filesystem::remove(SystemRecords::path(UNUserNotificationCenter::kRecordsFile));
        banners.clear();
        center->setNotificationsAllowed(c.allow);
        app->registerUserNotificationSettings(
            UIUserNotificationSettings::settingsForTypes(UIUserNotificationTypeAlert | UIUserNotificationTypeSound));
        EXPECT_EQ(app->currentUserNotificationSettings()->types(),
                  c.allow ? UIUserNotificationTypeAlert | UIUserNotificationTypeSound : UIUserNotificationTypeNone);
        if (c.active) app->simulateEnterForeground(); else app->simulateEnterBackground();
        app->presentLocalNotificationNow(note("Firmware 2.1 is out"));
        ManualClock::advance(0);
        EXPECT_EQ(outcomes(), std::vector<std::string>{c.outcome});
        EXPECT_EQ(banners, c.banner ? std::vector<std::string>{"|Firmware 2.1 is out"} : std::vector<std::string>{});
    }
}

TEST_F(LocalNotificationTest, CancelAllEmptiesTheNewInterfacesPendingListToo) {
    app->registerUserNotificationSettings(UIUserNotificationSettings::settingsForTypes(UIUserNotificationTypeAlert));
    auto content = std::make_shared<UNMutableNotificationContent>();
    content->body = "later";
    center->addNotificationRequest(UNNotificationRequest::requestWithIdentifier(
        "later", content, UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(10, false)));
    ASSERT_EQ(center->pendingNotificationRequests().size(), 1u);
    app->cancelAllLocalNotifications();
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    ManualClock::advance(11);
    EXPECT_TRUE(outcomes().empty());
}

}  // namespace
