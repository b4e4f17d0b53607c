#include <platform_uikit/UIAlertView.h>

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIScreen.h>

#include <algorithm>
#include <deque>

namespace {
// Alerts shown and waiting, the visible one first; each is kept alive here until it has gone.
std::deque<std::shared_ptr<UIAlertView>>& alertQueue() {
    static auto* queue = new std::deque<std::shared_ptr<UIAlertView>>;
    return *queue;
}
}  // namespace

void _UIAlertShimPresentingViewController::loadView() {
    auto view = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    view->setOpaque(false);
    view->setUserInteractionEnabled(false);
    setView(view);
}

UIAlertView::UIAlertView(std::optional<std::string> title, std::optional<std::string> message,
                         std::shared_ptr<UIAlertViewDelegate> delegate, std::optional<std::string> cancelButtonTitle,
                         std::vector<std::string> otherButtonTitles)
    : title_(std::move(title)), message_(std::move(message)), delegate_(delegate) {
    if (cancelButtonTitle) {
        buttons_.push_back(std::move(*cancelButtonTitle));
        cancelIndex_ = 0;
    }
    for (auto& other : otherButtonTitles) buttons_.push_back(std::move(other));
}

UIAlertView::~UIAlertView() = default;

int64_t UIAlertView::addButtonWithTitle(std::string title) {
    buttons_.push_back(std::move(title));
    return numberOfButtons() - 1;
}

std::optional<std::string> UIAlertView::buttonTitleAtIndex(int64_t index) const {
    if (index < 0 || index >= numberOfButtons()) return std::nullopt;
    return buttons_[static_cast<std::size_t>(index)];
}

void UIAlertView::setCancelButtonIndex(int64_t index) {
    cancelIndex_ = index >= 0 && index < numberOfButtons() ? index : -1;
}

int64_t UIAlertView::firstOtherButtonIndex() const {
    for (int64_t i = 0; i < numberOfButtons(); ++i)
        if (i != cancelIndex_) return i;
    return -1;
}

void UIAlertView::show() {
    auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
    auto& queue = alertQueue();
    if (std::find(queue.begin(), queue.end(), self) != queue.end()) return;
    queue.push_back(self);
    if (queue.front() == self) present();
}

void UIAlertView::present() {
    auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
    auto app = UIApplication::sharedApplication();
    previousKeyWindow_ = app->keyWindow();

    controller_ = UIAlertController::alertControllerWithTitle(title_, message_, UIAlertControllerStyleAlert);
    for (int64_t i = 0; i < numberOfButtons(); ++i)
        controller_->addAction(UIAlertAction::actionWithTitle(
            buttons_[static_cast<std::size_t>(i)], i == cancelIndex_ ? UIAlertActionStyleCancel : UIAlertActionStyleDefault,
            nullptr));
    std::weak_ptr<UIAlertView> weak = self;
    controller_->tapObserver_ = [weak](std::size_t index) {
        if (auto alert = weak.lock()) alert->dismissFor(static_cast<int64_t>(index), true, true);
    };

    window_ = std::make_shared<UIWindow>();
    window_->setWindowLevel(UIWindowLevelAlert);
    window_->setRootViewController(std::make_shared<_UIAlertShimPresentingViewController>());
    window_->makeKeyAndVisible();
    visible_ = true;
    if (auto delegate = delegate_.lock()) delegate->willPresentAlertView(*this);
    window_->rootViewController()->presentViewController(controller_, true, [weak] {
        auto alert = weak.lock();
        if (!alert || !alert->visible_ || alert->dismissing_) return;
        if (auto delegate = alert->delegate_.lock()) delegate->didPresentAlertView(*alert);
    });
}

void UIAlertView::dismissWithClickedButtonIndex(int64_t index, bool animated) {
    auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
    auto& queue = alertQueue();
    if (!visible_) {
        std::erase(queue, self);
        return;
    }
    dismissFor(index, animated, false);
}

void UIAlertView::dismissFor(int64_t index, bool animated, bool clicked) {
    if (dismissing_) return;
    dismissing_ = true;
    auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
    if (auto delegate = delegate_.lock(); delegate && clicked) delegate->alertViewClickedButtonAtIndex(*this, index);
    if (auto delegate = delegate_.lock()) delegate->alertViewWillDismissWithButtonIndex(*this, index);
    if (clicked) {
        // The alert controller dismisses itself after telling us of the tap.
        const auto action = controller_->actions()[static_cast<std::size_t>(index)];
        // The queue keeps the alert until it has gone; the action may outlive it.
        std::weak_ptr<UIAlertView> weak = self;
        action->handler_ = [weak, index](UIAlertAction&) {
            if (auto alert = weak.lock()) alert->didDismiss(index);
        };
        return;
    }
    controller_->dismissing_ = true;
    controller_->dismissViewControllerAnimated(animated, [self, index] { self->didDismiss(index); });
}

void UIAlertView::didDismiss(int64_t index) {
    auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
    visible_ = false;
    dismissing_ = false;
    if (auto delegate = delegate_.lock()) delegate->alertViewDidDismissWithButtonIndex(*this, index);
    window_->setHidden(true);
    if (auto previous = previousKeyWindow_.lock(); previous && previous->isVisible()) previous->makeKeyWindow();
    window_.reset();
    controller_.reset();
    auto& queue = alertQueue();
    std::erase(queue, self);
    if (!queue.empty() && !queue.front()->visible_) queue.front()->present();
}
