#pragma once
// An alert or action sheet: a view controller whose view is a real panel (a
// rounded effect view with the title, the message and one button per
// action) over a dimming view, presented over full screen. Its presentation
// and dismissal take 0.2 s on the animation clock. A tapped action dismisses
// the alert; the action's handler runs after the dismissal has ended.
//
// Main thread. Made with std::make_shared (or the factory); holds its actions.

#include <platform_uikit/UIViewController.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIButton;

enum UIAlertControllerStyle : int64_t {
    UIAlertControllerStyleActionSheet = 0,
    UIAlertControllerStyleAlert = 1,
};

enum UIAlertActionStyle : int64_t {
    UIAlertActionStyleDefault = 0,
    UIAlertActionStyleCancel = 1,
    UIAlertActionStyleDestructive = 2,
};

class UIAlertAction : public NSObject {
    NS_CLASS(UIAlertAction, NSObject)
public:
    using Handler = std::function<void(UIAlertAction&)>;
    UIAlertAction() = default;
    static std::shared_ptr<UIAlertAction> actionWithTitle(std::optional<std::string> title, UIAlertActionStyle style,
                                                          Handler handler);
    const std::optional<std::string>& title() const { return title_; }
    UIAlertActionStyle style() const { return style_; }
    bool isEnabled() const { return enabled_; }
    // Also enables or disables the action's button while shown.
    void setEnabled(bool enabled);

private:
    friend class UIAlertController;
    friend class UIAlertView;
    std::optional<std::string> title_;
    UIAlertActionStyle style_ = UIAlertActionStyleDefault;
    Handler handler_;
    bool enabled_ = true;
    std::weak_ptr<UIButton> button_;
};

class UIAlertController : public UIViewController {
    NS_CLASS(UIAlertController, UIViewController)
public:
    static constexpr double kTransitionDuration = 0.2;
    // Alert panels are 270 points wide; action sheets span the screen less 8 on each side.
    static constexpr double kAlertWidth = 270;

    UIAlertController();
    static std::shared_ptr<UIAlertController> alertControllerWithTitle(std::optional<std::string> title,
                                                                       std::optional<std::string> message,
                                                                       UIAlertControllerStyle style);

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
    UIAlertControllerStyle preferredStyle() const { return style_; }

    // A second cancel action raises NSInternalInconsistencyException; a nil one NSInvalidArgumentException.
    void addAction(const std::shared_ptr<UIAlertAction>& action);
    const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
    // Its title is bold (an alert's cancel action is, when none is preferred).
    const std::shared_ptr<UIAlertAction>& preferredAction() const { return preferred_; }
    void setPreferredAction(std::shared_ptr<UIAlertAction> action) { preferred_ = std::move(action); }

    // The button of an action while the view is loaded (nullptr otherwise).
    std::shared_ptr<UIButton> buttonForAction(const std::shared_ptr<UIAlertAction>& action) const;

    double presentationTransitionDuration() const override { return kTransitionDuration; }
    // The panel: dimming view, effect view with a corner radius, labels, buttons.
    void loadView() override;

private:
    friend class UIAlertView;
    void actionTapped(const std::shared_ptr<UIAlertAction>& action);

    std::optional<std::string> title_, message_;
    UIAlertControllerStyle style_ = UIAlertControllerStyleAlert;
    std::vector<std::shared_ptr<UIAlertAction>> actions_;
    std::shared_ptr<UIAlertAction> preferred_;
    bool dismissing_ = false;
    // UIAlertView's part: told of a tap before the dismissal starts.
    std::function<void(std::size_t index)> tapObserver_;
};
