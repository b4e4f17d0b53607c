#pragma once
// Opens the platform's mail composer with recipients, a subject and an HTML body that
// carries the device's model, its system version and the app's version; when the device
// cannot send mail, an alert says so instead. The wrapper keeps itself alive while the
// composer is open, and lets go once the composer's delegate callback has run.
//
// Main thread.

#include <platform_uikit/MFMailComposeViewController.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIViewController.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ECEmailFeedback : public NSObject, public MFMailComposeViewControllerDelegate {
    NS_CLASS(ECEmailFeedback, NSObject)
    NS_PROPERTY(std::vector<std::string>, toRecipients, setToRecipients, "&,N")
    NS_PROPERTY(std::string, subject, setSubject, "&,N")
    // Declared; the body does not use it.
    NS_PROPERTY(Value::Array, additionalDeviceInfo, setAdditionalDeviceInfo, "&,N")
    NS_PROPERTY(UIColorPtr, tintColor, setTintColor, "&,N")
    NS_PROTOCOLS("MFMailComposeViewControllerDelegate")

public:
    using Completion = std::function<void(MFMailComposeResult result, NSErrorPtr error)>;

    Completion completion() const;
    void setCompletion(Completion completion);
    UIViewControllerPtr viewController() const;
    void setViewController(UIViewControllerPtr controller);
    std::shared_ptr<ECEmailFeedback> strongSelf() const;
    void setStrongSelf(std::shared_ptr<ECEmailFeedback> self);

    // Presents the composer from `controller` (callback at most once, when it closes), or,
    // when the device cannot send mail, shows the "SendFaild…" alert on the main queue.
    void showOnViewController(const UIViewControllerPtr& controller, Completion completion);

    // The body: eleven line breaks, "<hr>Device info:", the model, "iOS <version>",
    // "App Version <short> (<build>)", "<hr>", joined by "<br>"; the values HTML-escaped.
    static std::string messageBody(const std::string& model, const std::string& systemVersion,
                                   const std::string& shortVersion, const std::string& build);

    // The composer's delegate callback: dismisses it, calls and clears the completion, lets go.
    void mailComposeControllerDidFinish(MFMailComposeViewController& controller, MFMailComposeResult result,
                                        NSErrorPtr error) override;

private:
    mutable std::mutex lock_;
    Completion completion_;
    UIViewControllerPtr viewController_;
    std::shared_ptr<ECEmailFeedback> strongSelf_;
};
