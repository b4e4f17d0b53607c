// The mail composer: what Send writes into the outbox (read back by Python's
// email package), Cancel, a failed write, the account check and the screen.

#include <platform_uikit/MFMailComposeViewController.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/Sandbox.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIScreenText.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

class RecordingMailDelegate : public MFMailComposeViewControllerDelegate {
public:
    std::vector<MFMailComposeResult> results;
    NSErrorPtr error;
    void mailComposeControllerDidFinish(MFMailComposeViewController&, MFMailComposeResult result,
                                        NSErrorPtr e) override {
        results.push_back(result);
        error = e;
    }
};

class MailComposeTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() / ("uikit-mail-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root_);
        NSSandbox::resetForTesting(root_.string());
        ::setenv(MFMailComposeViewController::kAccountEnvironmentVariable, "owner@example.org", 1);
        ManualClock::install();
        composer = std::make_shared<MFMailComposeViewController>();
        composer->setMailComposeDelegate(delegate);
    }
    void TearDown() override {
        ManualClock::uninstall();
        ::unsetenv(MFMailComposeViewController::kAccountEnvironmentVariable);
        NSSandbox::resetForTesting();
        std::filesystem::remove_all(root_);
    }
    std::vector<std::filesystem::path> outbox() const {
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(MFMailComposeViewController::outboxPath(), ec))
            files.push_back(e.path());
        return files;
    }

    std::filesystem::path root_;
    std::shared_ptr<MFMailComposeViewController> composer;
    std::shared_ptr<RecordingMailDelegate> delegate = std::make_shared<RecordingMailDelegate>();
};

TEST_F(MailComposeTest, SendWritesAMessagePythonReadsBack) {
    const std::string subject = "Feedback: Grüße aus Köln \u2713";
    const std::string body =
        "<p>Hello,</p><br>the update on my \u00e9cran stopped at 42%.<hr>"
        "A long line that goes on and on well past the seventy-six characters a quoted-printable line may hold.\n"
        "trailing space ";
    composer->setToRecipients({"support@example.com"});
    composer->setSubject(subject);
    composer->setMessageBody(body, true);
    composer->sendButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_TRUE(delegate->results.empty());  // the answer comes on the main queue
    ManualClock::advance(0);
    EXPECT_EQ(delegate->results, std::vector<MFMailComposeResult>{MFMailComposeResultSent});
    auto files = outbox();
    ASSERT_EQ(files.size(), 1u);

    const auto expected = root_ / "expected.json";
    std::ofstream(expected) << NSJSONSerialization::stringWithJSONObject(
        Value::dict({{"to", "support@example.com"}, {"subject", subject}, {"body", body},
                     {"from", "owner@example.org"}}));
    const auto script = root_ / "check.py";
    std::ofstream(script) << "import email, json, sys\n"
                             "from email import policy\n"
                             "want = json.load(open(sys.argv[2], encoding='utf-8'))\n"
                             "msg = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=policy.default)\n"
                             "assert msg['To'] == want['to'], msg['To']\n"
                             "assert msg['From'] == want['from'], msg['From']\n"
                             "assert str(msg['Subject']) == want['subject'], str(msg['Subject'])\n"
                             "assert msg.get_content_type() == 'text/html', msg.get_content_type()\n"
                             "assert msg.get_content_charset() == 'utf-8'\n"
                             "assert msg['Date'] is not None and msg['MIME-Version'] == '1.0'\n"
                             "got = msg.get_content().replace('\\r\\n', '\\n')  # the wire's CRLF\n"
                             "assert got.rstrip('\\n') == want['body'], repr(got)\n"
                             "raw = open(sys.argv[1], 'rb').read().split(b'\\r\\n')\n"
                             "assert all(len(l) <= 76 for l in raw), max(len(l) for l in raw)\n";
    const std::string command =
        "/usr/bin/python3 " + script.string() + " '" + files[0].string() + "' " + expected.string();
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(MailComposeTest, CancelWritesNothing) {
    composer->setSubject("x");
    composer->cancelButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ManualClock::advance(0);
    EXPECT_EQ(delegate->results, std::vector<MFMailComposeResult>{MFMailComposeResultCancelled});
    EXPECT_TRUE(outbox().empty());
}

TEST_F(MailComposeTest, AnUnwritableOutboxFailsWithTheErrorAndNoHalfFile) {
    // A file where the outbox folder should be: nothing can be written into it.
    std::ofstream(MFMailComposeViewController::outboxPath()) << "not a folder";
    composer->setToRecipients({"support@example.com"});
    composer->setMessageBody("body", true);
    composer->send();
    ManualClock::advance(0);
    EXPECT_EQ(delegate->results, std::vector<MFMailComposeResult>{MFMailComposeResultFailed});
    ASSERT_TRUE(delegate->error);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(NSSandbox::systemDirectory())) ++entries;
    EXPECT_EQ(entries, 1u);  // only the blocking file
}

TEST_F(MailComposeTest, CanSendMailOnlyWithAnAccount) {
    EXPECT_TRUE(MFMailComposeViewController::canSendMail());
    ::unsetenv(MFMailComposeViewController::kAccountEnvironmentVariable);
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
    ::setenv(MFMailComposeViewController::kAccountEnvironmentVariable, "", 1);
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
}

TEST_F(MailComposeTest, TheScreenShowsTheFieldsAndTheBodyAsText) {
    composer->setToRecipients({"a@example.com", "b@example.com"});
    composer->setSubject("Report");
    composer->setMessageBody("one<br>two<hr/>three <b>bold</b>", true);
    const auto lines = composer->screenLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "From: owner@example.org");
    EXPECT_EQ(lines[1], "To: a@example.com, b@example.com");
    EXPECT_EQ(lines[2], "Subject: Report");
    EXPECT_EQ(lines[3], "one\ntwo\n\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\nthree bold");
    EXPECT_EQ(composer->cancelButton()->titleForState(UIControlStateNormal), "Cancel");
    EXPECT_EQ(composer->sendButton()->titleForState(UIControlStateNormal), "Send");
}

// On screen the body has the lines its text needs, not the one line of a field.
TEST_F(MailComposeTest, ThePresentedBodyShowsEveryLineOfItsText) {
    UIApplication::sharedApplication()->resetForTesting();
    auto below = std::make_shared<UIViewController>();
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(below);
    window->makeKeyAndVisible();
    auto sheet = std::make_shared<MFMailComposeViewController>();
    sheet->setSubject("Feedback");
    sheet->setMessageBody("first line<br>second line<hr>Device: phone<br>System: 15.0<br>last line", true);
    below->presentViewController(sheet, false);
    ManualClock::advance(1);

    const std::string text = UIScreenTextCapture().text();
    for (const char* line : {"Subject: Feedback", "first line", "second line", "\u2500\u2500\u2500", "Device: phone",
                             "System: 15.0", "last line"}) {
        SCOPED_TRACE(line);
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
    EXPECT_EQ(text.find("\u2026"), std::string::npos) << "no line is cut short:\n" << text;
    window->setHidden(true);
    UIApplication::sharedApplication()->resetForTesting();
}

// Shown over another screen, the composer covers it, and a finger on its
// buttons reaches them (not the bar they sit in).
TEST_F(MailComposeTest, FingerTapsOnThePresentedComposersButtonsSendAndCancel) {
    struct Case {
        const char* name;
        std::shared_ptr<UIButton> (MFMailComposeViewController::*button)();
        MFMailComposeResult result;
        std::size_t files;
    };
    const Case cases[] = {{"send", &MFMailComposeViewController::sendButton, MFMailComposeResultSent, 1},
                          {"cancel", &MFMailComposeViewController::cancelButton, MFMailComposeResultCancelled, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UIApplication::sharedApplication()->resetForTesting();
        std::filesystem::remove_all(MFMailComposeViewController::outboxPath());
        auto below = std::make_shared<UIViewController>();
        auto words = std::make_shared<UILabel>(CGRectMake(16, 60, 300, 400));
        words->setNumberOfLines(0);
        words->setText(std::string(40, 'x') + "\nunderneath\nunderneath\nunderneath");
        below->view()->addSubview(words);
        auto window = std::make_shared<UIWindow>();
        window->setRootViewController(below);
        window->makeKeyAndVisible();
        auto sheet = std::make_shared<MFMailComposeViewController>();
        auto heard = std::make_shared<RecordingMailDelegate>();
        sheet->setMailComposeDelegate(heard);
        sheet->setSubject("Feedback");
        below->presentViewController(sheet, false);
        ManualClock::advance(1);

        UIScreenText screen = UIScreenTextCapture();
        EXPECT_EQ(screen.text().find("underneath"), std::string::npos) << screen.text();
        auto button = (*sheet.*c.button)();
        CGRect r = button->convertRectToView(button->bounds(), nullptr);
        UITouchInjection::tap(CGPointMake(CGRectGetMidX(r), CGRectGetMidY(r)), window.get());
        ManualClock::advance(0);
        EXPECT_EQ(heard->results, std::vector<MFMailComposeResult>{c.result});
        EXPECT_EQ(outbox().size(), c.files);
        window->setHidden(true);
    }
    UIApplication::sharedApplication()->resetForTesting();
}

}  // namespace
