// The settings tab from the storyboard in a window: its texts, the rating and feedback rows,
// the feedback mail's body (exact, and with values that need escaping), the alert on a
// device without mail, and the mail wrapper's life.

#include "ScreenTestSupport.h"

#include <app/AppConfiguration.h>
#include <app/screens/ECEmailFeedback.h>
#include <app/screens/ECSettingViewController.h>

#include <device_and_dates/DVDeviceInfo.h>
#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIStoryboard.h>
#include <ui_widgets/RatePrompt.h>

namespace {

using screentest::Screen;
using screentest::ScreenTest;

class RunningDevice : public ::testing::Environment {
public:
    void SetUp() override {
        DVDeviceSources sources;
        sources.machineIdentifier = [] { return std::string("iPhone13,2"); };
        sources.systemVersion = [] { return std::string("15.2"); };
        DVDeviceInfo_Common::setSources(sources);
    }
};
const auto* const kRunningDevice = ::testing::AddGlobalTestEnvironment(new RunningDevice);

const std::string kBreaks = "<br><br><br><br><br><br><br><br><br><br><br>";

class SettingsTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        ::setenv(MFMailComposeViewController::kAccountEnvironmentVariable, "owner@example.org", 1);
        auto made = UIStoryboard::storyboardWithName("Main", nullptr)->instantiateViewControllerWithIdentifier(
            "aboutviewcontroller");
        settings = std::dynamic_pointer_cast<ECSettingViewController>(made);
        ASSERT_NE(settings, nullptr);
        screen = std::make_unique<Screen>(settings);
    }
    void TearDown() override {
        screen.reset();
        ::unsetenv(MFMailComposeViewController::kAccountEnvironmentVariable);
        ScreenTest::TearDown();
    }
    void tapRow(int64_t row) {
        screen->tap(settings->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
    }
    std::shared_ptr<MFMailComposeViewController> composer() const {
        return std::dynamic_pointer_cast<MFMailComposeViewController>(settings->presentedViewController());
    }

    std::shared_ptr<ECSettingViewController> settings;
    std::unique_ptr<Screen> screen;
};

TEST_F(SettingsTest, TextsFromTheStringsTableAndTheBundle) {
    EXPECT_EQ(settings->navigationItem()->title(), NSLocalizedString("TabbarSettings"));
    EXPECT_EQ(settings->tableView()->numberOfSections(), 1);
    EXPECT_EQ(settings->tableView()->numberOfRowsInSection(0), 3);
    const std::string version =
        NSBundle::mainBundle()->infoDictionary().objectForKey(Value("CFBundleShortVersionString")).stringValue();
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(settings->versionLabel()->text(), version);
    EXPECT_EQ(ECSettingViewController::appVersion(), version);
    EXPECT_FALSE(ECSettingViewController::appName().empty());
    EXPECT_EQ(settings->rateLeftTitleLabel()->text(), NSLocalizedString("SettingsRate"));
    EXPECT_EQ(settings->rateRightTitleLabel()->text(), NSLocalizedString("SettingsRateContent"));
    EXPECT_EQ(settings->feedbackLeftTitleLabel()->text(), NSLocalizedString("SettingsFeedback"));
    EXPECT_EQ(settings->feedbackRightTitleLabel()->text(), NSLocalizedString("SettingsFeedbackContent"));
    EXPECT_EQ(settings->aboutTitleLabel()->text(), NSLocalizedString("SettingsVersion"));
    EXPECT_EQ(settings->navigationItem()->backBarButtonItem()->title(), NSLocalizedString("MainControllerBack"));
    const std::string text = textSnapshot();
    EXPECT_NE(text.find(NSLocalizedString("SettingsFeedbackContent")), std::string::npos) << text;
}

TEST_F(SettingsTest, MessageBodyExactAndEscaped) {
    EXPECT_EQ(ECEmailFeedback::messageBody("iPhone 12", "15.2", "1.0", "7"),
              kBreaks + "<br><hr>Device info:<br>iPhone 12<br>iOS 15.2<br>App Version 1.0 (7)<br><hr>");
    EXPECT_EQ(ECEmailFeedback::messageBody("<b>\"A&B\"</b>", "15.2<", "1.0&", "\"7\""),
              kBreaks +
                  "<br><hr>Device info:<br>&lt;b&gt;&quot;A&amp;B&quot;&lt;/b&gt;<br>iOS 15.2&lt;<br>"
                  "App Version 1.0&amp; (&quot;7&quot;)<br><hr>");
}

TEST_F(SettingsTest, FeedbackRowOpensTheComposer) {
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{15, 2, 0});
    tapRow(1);
    auto mail = composer();
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{AppConfiguration::kFeedbackAddress});
    EXPECT_EQ(mail->subject(), "Feedback");
    EXPECT_TRUE(mail->isHTML());
    const Value& info = NSBundle::mainBundle()->infoDictionary();
    EXPECT_EQ(mail->messageBody(),
              ECEmailFeedback::messageBody(DVDeviceInfo::deviceInfo()->modelString(), "15.2",
                                           info.objectForKey(Value("CFBundleShortVersionString")).stringValue(),
                                           info.objectForKey(Value("CFBundleVersion")).stringValue()));
    EXPECT_FALSE(settings->tableView()->indexPathForSelectedRow());
    // Cancel closes it again.
    mail->cancel();
    screen->settle();
    EXPECT_EQ(settings->presentedViewController(), nullptr);
}

TEST_F(SettingsTest, RatingRowAndOtherRows) {
    tapRow(2);
    EXPECT_EQ(settings->presentedViewController(), nullptr);
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->boolForKey(kRatePromptRatedCurrentVersion));
    tapRow(0);
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults()->boolForKey(kRatePromptRatedCurrentVersion));
    EXPECT_FALSE(settings->tableView()->indexPathForSelectedRow());
}

TEST_F(SettingsTest, NoMailAccountShowsTheAlertAfterTheCallReturns) {
    ::unsetenv(MFMailComposeViewController::kAccountEnvironmentVariable);
    settings->sendMail();
    EXPECT_EQ(screentest::countOnScreen(NSLocalizedString("SendFaildTitle")), 0);  // not yet
    screen->settle();
    // The message wraps inside the alert's box: compare with the box edges and line breaks
    // taken out and blanks collapsed.
    const std::string text = textSnapshot();
    std::string flat;
    bool blank = false;
    for (char c : text) {
        if (c == '|' || std::isspace(static_cast<unsigned char>(c))) {
            blank = true;
            continue;
        }
        if (blank && !flat.empty()) flat += ' ';
        blank = false;
        flat += c;
    }
    for (const char* key : {"SendFaildTitle", "SendFaildContent", "SendFaildOk"})
        EXPECT_NE(flat.find(NSLocalizedString(key)), std::string::npos) << key << "\n" << text;
    EXPECT_EQ(settings->presentedViewController(), nullptr);
    // Its one button closes it.
    UIScreenText alert = UIScreenTextCapture();
    auto button = alert.elementWithText(NSLocalizedString("SendFaildOk"));
    ASSERT_NE(button, nullptr);
    UITouchInjection::tap(button->center());
    screen->settle();
    EXPECT_EQ(screentest::countOnScreen(NSLocalizedString("SendFaildTitle")), 0);
}

TEST_F(SettingsTest, WrapperLivesUntilTheComposerAnswersAndCompletesOnce) {
    int calls = 0;
    MFMailComposeResult seen = MFMailComposeResultFailed;
    std::weak_ptr<ECEmailFeedback> weak;
    {
        auto mail = std::make_shared<ECEmailFeedback>();
        weak = mail;
        mail->setToRecipients({"a@example.org"});
        mail->showOnViewController(settings, [&](MFMailComposeResult result, NSErrorPtr) {
            ++calls;
            seen = result;
        });
    }
    screen->settle();
    ASSERT_FALSE(weak.expired());  // held by itself while the composer is open
    auto held = weak.lock();
    EXPECT_EQ(held->strongSelf(), held);
    EXPECT_EQ(held->viewController(), settings);
    held.reset();
    auto mail = composer();
    ASSERT_NE(mail, nullptr);
    mail->send();
    screen->settle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, MFMailComposeResultSent);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(settings->presentedViewController(), nullptr);

    // A second answer to a wrapper someone still holds calls nothing again.
    auto kept = std::make_shared<ECEmailFeedback>();
    int keptCalls = 0;
    kept->showOnViewController(settings, [&](MFMailComposeResult, NSErrorPtr) { ++keptCalls; });
    screen->settle();
    auto second = composer();
    ASSERT_NE(second, nullptr);
    kept->mailComposeControllerDidFinish(*second, MFMailComposeResultCancelled, nullptr);
    kept->mailComposeControllerDidFinish(*second, MFMailComposeResultCancelled, nullptr);
    screen->settle();
    EXPECT_EQ(keptCalls, 1);
    EXPECT_EQ(kept->strongSelf(), nullptr);
    EXPECT_EQ(kept->viewController(), nullptr);
    EXPECT_FALSE(kept->completion());
}

}  // namespace
