#include <app/screens/ECEmailFeedback.h>

#include <device_and_dates/DVDeviceInfo.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSLocalizedString.h>
#include <platform_uikit/UIAlertView.h>
#include <platform_uikit/UIDevice.h>

namespace {

std::string escapeHTML(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string infoText(const char* key) {
    Value v = NSBundle::mainBundle()->infoDictionary().objectForKey(Value(key));
    if (v.isNull()) return "(null)";
    return v.isString() ? v.asStdString() : v.description();
}

}  // namespace

ECEmailFeedback::Completion ECEmailFeedback::completion() const {
    std::lock_guard guard(lock_);
    return completion_;
}
void ECEmailFeedback::setCompletion(Completion completion) {
    std::lock_guard guard(lock_);
    completion_ = std::move(completion);
}
UIViewControllerPtr ECEmailFeedback::viewController() const {
    std::lock_guard guard(lock_);
    return viewController_;
}
void ECEmailFeedback::setViewController(UIViewControllerPtr controller) {
    std::lock_guard guard(lock_);
    viewController_ = std::move(controller);
}
std::shared_ptr<ECEmailFeedback> ECEmailFeedback::strongSelf() const {
    std::lock_guard guard(lock_);
    return strongSelf_;
}
void ECEmailFeedback::setStrongSelf(std::shared_ptr<ECEmailFeedback> self) {
    // `previous` may be the last handle on this object: it goes after the lock is released.
    std::shared_ptr<ECEmailFeedback> previous;
    {
        std::lock_guard guard(lock_);
        previous = std::exchange(strongSelf_, std::move(self));
    }
}

std::string ECEmailFeedback::messageBody(const std::string& model, const std::string& systemVersion,
                                         const std::string& shortVersion, const std::string& build) {
    const std::string lines[] = {
        "<br><br><br><br><br><br><br><br><br><br><br>",
        "<hr>Device info:",
        escapeHTML(model),
        "iOS " + escapeHTML(systemVersion),
        "App Version " + escapeHTML(shortVersion) + " (" + escapeHTML(build) + ")",
        "<hr>",
    };
    std::string body;
    for (const auto& line : lines) {
        if (!body.empty()) body += "<br>";
        body += line;
    }
    return body;
}

void ECEmailFeedback::showOnViewController(const UIViewControllerPtr& controller, Completion completion) {
    if (!MFMailComposeViewController::canSendMail()) {
        dispatch_async(dispatch_get_main_queue(), [] {
            auto alert = std::make_shared<UIAlertView>(NSLocalizedString("SendFaildTitle"),
                                                       NSLocalizedString("SendFaildContent"), nullptr, std::nullopt,
                                                       std::vector<std::string>{NSLocalizedString("SendFaildOk")});
            alert->show();
        });
        return;
    }
    auto self = std::static_pointer_cast<ECEmailFeedback>(shared_from_this());
    setCompletion(std::move(completion));
    setViewController(controller);
    setStrongSelf(self);

    auto composer = std::make_shared<MFMailComposeViewController>();
    composer->setMailComposeDelegate(self);
    if (tintColor()) composer->navigationBar()->setTintColor(tintColor());
    composer->setToRecipients(toRecipients());
    composer->setSubject(subject());
    composer->setMessageBody(messageBody(DVDeviceInfo::deviceInfo()->modelString(),
                                         UIDevice::currentDevice()->systemVersion(),
                                         infoText("CFBundleShortVersionString"), infoText("CFBundleVersion")),
                             true);
    controller->presentViewController(composer, true);
}

void ECEmailFeedback::mailComposeControllerDidFinish(MFMailComposeViewController&, MFMailComposeResult result,
                                                     NSErrorPtr error) {
    // Keeps this wrapper alive to the end of the call, whatever the callbacks drop.
    auto keep = strongSelf();
    if (auto presenter = viewController()) presenter->dismissViewControllerAnimated(true);
    setViewController(nullptr);
    Completion done;
    {
        std::lock_guard guard(lock_);
        done = std::exchange(completion_, nullptr);
    }
    if (done) done(result, error);
    setStrongSelf(nullptr);
}
