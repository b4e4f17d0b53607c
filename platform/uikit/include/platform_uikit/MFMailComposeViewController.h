#pragma once
// The mail composer: a screen with From, To, Subject and the body, Cancel and
// Send. Send writes an RFC 5322 message (HTML body, quoted-printable) into the
// sandbox's System/Outbox/ atomically; the delegate hears the result on the
// main queue. It never dismisses itself: the presenter does.
//
// Main thread; the delegate is held weakly.

#include <platform_uikit/UIButton.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UINavigationBar.h>
#include <platform_uikit/UIViewController.h>

#include <platform_runtime/NSError.h>

#include <memory>
#include <string>
#include <vector>

enum MFMailComposeResult : int64_t {
    MFMailComposeResultCancelled = 0,
    MFMailComposeResultSaved = 1,
    MFMailComposeResultSent = 2,
    MFMailComposeResultFailed = 3,
};

class MFMailComposeViewController;

class MFMailComposeViewControllerDelegate {
public:
    virtual ~MFMailComposeViewControllerDelegate() = default;
    // Main queue; `error` only for Failed.
    virtual void mailComposeControllerDidFinish(MFMailComposeViewController& controller, MFMailComposeResult result,
                                                NSErrorPtr error) = 0;
};

class MFMailComposeViewController : public UIViewController {
    NS_CLASS(MFMailComposeViewController, UIViewController)
public:
    // The device's mail account (the From address): $APP_MAIL_ACCOUNT.
    static constexpr const char* kAccountEnvironmentVariable = "APP_MAIL_ACCOUNT";
    // Where sent messages go, under the sandbox's System folder.
    static constexpr const char* kOutboxFolder = "Outbox";
    // YES when a mail account is configured.
    static bool canSendMail();
    static std::string outboxPath();

    std::shared_ptr<MFMailComposeViewControllerDelegate> mailComposeDelegate() const { return delegate_.lock(); }
    void setMailComposeDelegate(const std::shared_ptr<MFMailComposeViewControllerDelegate>& d) { delegate_ = d; }

    void setToRecipients(std::vector<std::string> recipients);
    void setSubject(std::string subject);
    void setMessageBody(std::string body, bool isHTML);
    const std::vector<std::string>& toRecipients() const { return to_; }
    const std::string& subject() const { return subject_; }
    const std::string& messageBody() const { return body_; }
    bool isHTML() const { return html_; }

    // The composer's bar (tint and bar tint are the app's to set).
    const std::shared_ptr<UINavigationBar>& navigationBar() const { return bar_; }
    // The screen's parts, made with the view.
    std::shared_ptr<UIButton> cancelButton();
    std::shared_ptr<UIButton> sendButton();
    // The body as the screen shows it: <br> a line break, <hr> a rule, other tags dropped.
    static std::string displayText(const std::string& html);
    // What the screen shows, top to bottom: "From: …", "To: …", "Subject: …", the body.
    std::vector<std::string> screenLines();

    // The buttons' actions.
    void cancel();
    void send();

    // The message Send writes (CRLF lines), for a given date.
    std::string messageText(const NSDate& date) const;

    MFMailComposeViewController();
    void loadView() override;
    void viewDidLayoutSubviews() override;

private:
    void finish(MFMailComposeResult result, NSErrorPtr error);
    void refreshLabels();
    void fitBody();

    std::weak_ptr<MFMailComposeViewControllerDelegate> delegate_;
    std::vector<std::string> to_;
    std::string subject_, body_;
    bool html_ = false;
    std::shared_ptr<UINavigationBar> bar_;
    std::shared_ptr<UIButton> cancelButton_, sendButton_;
    std::shared_ptr<UILabel> fromLabel_, toLabel_, subjectLabel_, bodyLabel_;
};
