// Local notifications on the manual clock: when a request is delivered, what
// becomes of it (shown, presented or not), the settings it answers from, and
// the records the host reads back.

#include <platform_system/UNUserNotificationCenter.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/Sandbox.h>
#include <platform_foundation/SystemRecords.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <future>

#include <unistd.h>

namespace {

class PresentingDelegate : public UNUserNotificationCenterDelegate {
public:
    int asked = 0;
    void userNotificationCenterWillPresentNotification(
        UNUserNotificationCenter&, const std::shared_ptr<UNNotification>&,
        std::function<void(UNNotificationPresentationOptions)> completion) override {
        ++asked;
        completion(UNNotificationPresentationOptionAlert | UNNotificationPresentationOptionSound);
    }
};
class SilentDelegate : public UNUserNotificationCenterDelegate {};

std::shared_ptr<UNNotificationRequest> request(const std::string& identifier, double after,
                                               const std::string& title = "Update", const std::string& body = "") {
    auto content = std::make_shared<UNMutableNotificationContent>();
    content->title = title;
    content->body = body;
    content->sound = UNNotificationSound::defaultSound();
    return UNNotificationRequest::requestWithIdentifier(
        identifier, content, after > 0 ? UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(after, false)
                                       : nullptr);
}

class UserNotificationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() / ("system-notifications-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root_);
        NSSandbox::resetForTesting(root_.string());
        ::unsetenv(UNUserNotificationCenter::kSettingEnvironmentVariable);
        ManualClock::install();
        center->resetForTesting();
    }
    void TearDown() override {
        center->resetForTesting();
        ManualClock::uninstall();
        NSSandbox::resetForTesting();
        std::filesystem::remove_all(root_);
    }
    bool authorize() {
        std::promise<bool> answer;
        center->requestAuthorizationWithOptions(UNAuthorizationOptionAlert | UNAuthorizationOptionSound,
                                                [&](bool granted, NSErrorPtr) { answer.set_value(granted); });
        return answer.get_future().get();
    }
    std::vector<Value> records() { return SystemRecords::read(UNUserNotificationCenter::kRecordsFile); }

    std::filesystem::path root_;
    std::shared_ptr<UNUserNotificationCenter> center = UNUserNotificationCenter::currentNotificationCenter();
};

TEST_F(UserNotificationsTest, AOneSecondTriggerDeliversAtOneSecondNotBefore) {
    ASSERT_TRUE(authorize());
    center->addNotificationRequest(request("check", 1, "New firmware", "Version 2 is out"));
    ManualClock::advance(0.99);
    EXPECT_EQ(center->pendingNotificationRequests().size(), 1u);
    EXPECT_TRUE(records().empty());
    ManualClock::advance(0.02);
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    ASSERT_EQ(center->deliveredNotifications().size(), 1u);
    auto lines = records();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].objectForKey("identifier").stringValue(), "check");
    EXPECT_EQ(lines[0].objectForKey("outcome").stringValue(), "presented");
    EXPECT_NEAR(lines[0].objectForKey("delivered").doubleValue() - lines[0].objectForKey("requested").doubleValue(),
                1, 0.02);
}

TEST_F(UserNotificationsTest, TheSameIdentifierReplacesThePendingRequest) {
    ASSERT_TRUE(authorize());
    center->addNotificationRequest(request("check", 2, "first"));
    center->addNotificationRequest(request("check", 5, "second"));
    center->addNotificationRequest(request("other", 60));
    EXPECT_EQ(center->pendingNotificationRequests().size(), 2u);
    ManualClock::advance(3);
    EXPECT_TRUE(records().empty());
    ManualClock::advance(2.01);
    auto lines = records();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].objectForKey("title").stringValue(), "second");

    center->removePendingNotificationRequestsWithIdentifiers({"other"});
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    ManualClock::advance(60);
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(UserNotificationsTest, OutcomeFollowsTheSettingTheAppStateAndTheDelegate) {
    struct Case {
        bool allow, inFront;
        int delegate;  // 0 none, 1 without willPresent, 2 with it
        const char* outcome;
        bool presented;
    };
    const Case cases[] = {
        {true, false, 0, "presented", true},
        {true, false, 2, "presented", true},
        {true, true, 0, "not presented (app in front)", false},
        {true, true, 1, "not presented (app in front)", false},
        {true, true, 2, "presented", true},
        {false, false, 2, "not shown", false},
        {false, true, 2, "not shown", false},
        {false, true, 0, "not shown", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.allow ? "allow" : "deny") + (c.inFront ? " front" : " background") +
                     " delegate=" + std::to_string(c.delegate));
        center->resetForTesting();
        std::filesystem::remove(SystemRecords::path(UNUserNotificationCenter::kRecordsFile));
        center->setNotificationsAllowed(c.allow);
        EXPECT_EQ(authorize(), c.allow);
        std::vector<std::string> shown;
        center->setPresenter({[&] { return c.inFront; },
                              [&](const std::shared_ptr<UNNotification>& n) { shown.push_back(n->request()->identifier()); }});
        std::shared_ptr<UNUserNotificationCenterDelegate> delegate;
        auto presenting = std::make_shared<PresentingDelegate>();
        if (c.delegate == 1) delegate = std::make_shared<SilentDelegate>();
        if (c.delegate == 2) delegate = presenting;
        center->setDelegate(delegate);

        center->addNotificationRequest(request("n", 1));
        ManualClock::advance(1);
        auto lines = records();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].objectForKey("outcome").stringValue(), c.outcome);
        EXPECT_EQ(shown.size(), c.presented ? 1u : 0u);
        EXPECT_EQ(center->deliveredNotifications().size(), c.presented ? 1u : 0u);
        EXPECT_EQ(presenting->asked, c.allow && c.inFront && c.delegate == 2 ? 1 : 0);
    }
}

TEST_F(UserNotificationsTest, SettingsAnswerOffTheMainThread) {
    for (const char* setting : {"allow", "deny"}) {
        SCOPED_TRACE(setting);
        ::setenv(UNUserNotificationCenter::kSettingEnvironmentVariable, setting, 1);
        center->resetForTesting();
        auto status = [&] {
            std::promise<std::pair<UNAuthorizationStatus, bool>> answer;
            center->getNotificationSettingsWithCompletionHandler([&](std::shared_ptr<UNNotificationSettings> s) {
                answer.set_value({s->authorizationStatus(), NSThread::isMainThread()});
            });
            return answer.get_future().get();
        };
        EXPECT_EQ(status(), std::make_pair(UNAuthorizationStatusNotDetermined, false));
        std::promise<bool> onMain;
        center->requestAuthorizationWithOptions(UNAuthorizationOptionAlert, [&](bool, NSErrorPtr) {
            onMain.set_value(NSThread::isMainThread());
        });
        EXPECT_FALSE(onMain.get_future().get());
        const bool allow = std::string(setting) == "allow";
        EXPECT_EQ(status(), std::make_pair(allow ? UNAuthorizationStatusAuthorized : UNAuthorizationStatusDenied, false));
    }
    ::unsetenv(UNUserNotificationCenter::kSettingEnvironmentVariable);
}

TEST_F(UserNotificationsTest, InvalidTriggersRaise) {
    const struct {
        double interval;
        bool repeats, raises;
    } cases[] = {{0, false, true}, {-1, false, true}, {59.9, true, true}, {0.5, false, false}, {60, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.interval) + (c.repeats ? " repeating" : ""));
        if (c.raises)
            EXPECT_THROW(UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(c.interval, c.repeats), NSException);
        else
            EXPECT_EQ(UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(c.interval, c.repeats)->timeInterval(),
                      c.interval);
    }
}

TEST_F(UserNotificationsTest, ARepeatingRequestStaysPendingAndDeliversEachInterval) {
    ASSERT_TRUE(authorize());
    auto content = std::make_shared<UNMutableNotificationContent>();
    content->title = "tick";
    center->addNotificationRequest(UNNotificationRequest::requestWithIdentifier(
        "r", content, UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(60, true)));
    ManualClock::advance(180.5);
    EXPECT_EQ(records().size(), 3u);
    EXPECT_EQ(center->pendingNotificationRequests().size(), 1u);
    center->removeAllPendingNotificationRequests();
    ManualClock::advance(120);
    EXPECT_EQ(records().size(), 3u);
}

TEST_F(UserNotificationsTest, RecordsReadBackWithPython) {
    ASSERT_TRUE(authorize());
    center->addNotificationRequest(request("a\"b", 0, "Grüße \u2713", "line one\nline two"));
    ManualClock::advance(0);
    ASSERT_EQ(records().size(), 1u);
    const std::string script =
        "import json,sys\n"
        "rows=[json.loads(l) for l in open(sys.argv[1],encoding='utf-8')]\n"
        "r=rows[0]\n"
        "assert len(rows)==1\n"
        "assert r['identifier']=='a\"b', r\n"
        "assert r['title']=='Gr\\u00fc\\u00dfe \\u2713', r\n"
        "assert r['body']=='line one\\nline two', r\n"
        "assert r['sound']=='default' and r['outcome']=='presented', r\n"
        "assert r['delivered']>=r['requested']\n";
    const auto scriptPath = root_ / "check.py";
    {
        FILE* f = std::fopen(scriptPath.c_str(), "w");
        ASSERT_TRUE(f);
        std::fputs(script.c_str(), f);
        std::fclose(f);
    }
    const std::string command = "/usr/bin/python3 " + scriptPath.string() + " '" +
                                SystemRecords::path(UNUserNotificationCenter::kRecordsFile) + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(UserNotificationsTest, TheClassesExistFromSystemTen) {
    for (int major : {9, 10}) {
        SCOPED_TRACE(major);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{major, 0, 0});
        for (const char* name : {"UNUserNotificationCenter", "UNMutableNotificationContent",
                                 "UNTimeIntervalNotificationTrigger", "UNNotificationRequest"})
            EXPECT_EQ(NSClassFromString(name) != nullptr, major >= 10) << name;
    }
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
}

}  // namespace
