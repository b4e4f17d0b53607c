#pragma once
// The older alert: a view that, when shown, puts a UIAlertController (its
// buttons in index order, the cancel button first) in a window of its own at
// the alert level, presented by a `_UIAlertShimPresentingViewController`.
// Its delegate hears, for a tapped button, clicked, then will-dismiss, then
// after the dismissal did-dismiss; then the window goes and the window that
// was key before becomes key again. An alert shown while another is visible
// waits until that one has gone.
//
// Main thread. Made with std::make_shared; a shown or waiting alert is kept
// alive until it has gone. The delegate is held weakly.

#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIAlertView;

class UIAlertViewDelegate {
public:
    virtual ~UIAlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(UIAlertView&, int64_t /*buttonIndex*/) {}
    virtual void willPresentAlertView(UIAlertView&) {}
    virtual void didPresentAlertView(UIAlertView&) {}
    virtual void alertViewWillDismissWithButtonIndex(UIAlertView&, int64_t /*buttonIndex*/) {}
    virtual void alertViewDidDismissWithButtonIndex(UIAlertView&, int64_t /*buttonIndex*/) {}
};

// The controller that presents an alert view's alert controller in its window.
class _UIAlertShimPresentingViewController : public UIViewController {
    NS_CLASS(_UIAlertShimPresentingViewController, UIViewController)
public:
    void loadView() override;
};

class UIAlertView : public UIView {
    NS_CLASS(UIAlertView, UIView)
public:
    UIAlertView(std::optional<std::string> title, std::optional<std::string> message,
                std::shared_ptr<UIAlertViewDelegate> delegate, std::optional<std::string> cancelButtonTitle,
                std::vector<std::string> otherButtonTitles);
    ~UIAlertView() override;

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIAlertViewDelegate>& delegate) { delegate_ = delegate; }

    // The new button's index.
    int64_t addButtonWithTitle(std::string title);
    int64_t numberOfButtons() const { return static_cast<int64_t>(buttons_.size()); }
    // Nothing for an index out of range.
    std::optional<std::string> buttonTitleAtIndex(int64_t index) const;
    // -1 without a cancel button.
    int64_t cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(int64_t index);
    // The first button that is not the cancel button; -1 without one.
    int64_t firstOtherButtonIndex() const;

    bool isVisible() const { return visible_; }
    // Shows the alert (animated), or queues it behind the visible one.
    void show();
    // As a tap without the clicked call: will-dismiss now, did-dismiss after
    // the dismissal. A waiting alert leaves the queue; a gone one does nothing.
    void dismissWithClickedButtonIndex(int64_t index, bool animated);

    // While visible: what shows it.
    const std::shared_ptr<UIAlertController>& alertController() const { return controller_; }
    const UIWindowPtr& alertWindow() const { return window_; }

private:
    void present();
    void dismissFor(int64_t index, bool animated, bool clicked);
    void didDismiss(int64_t index);

    std::optional<std::string> title_, message_;
    std::weak_ptr<UIAlertViewDelegate> delegate_;
    std::vector<std::string> buttons_;
    int64_t cancelIndex_ = -1;
    bool visible_ = false, dismissing_ = false;
    UIWindowPtr window_;
    std::weak_ptr<UIWindow> previousKeyWindow_;
    std::shared_ptr<UIAlertController> controller_;
};
