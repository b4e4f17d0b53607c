#include <platform_uikit/UIAlertController.h>

#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIVisualEffectView.h>
#include <platform_uikit/UIWindow.h>

#include <platform_runtime/NSException.h>

#include <algorithm>

namespace {
constexpr double kCornerRadius = 13;
constexpr double kMargin = 16;
constexpr double kAlertButtonHeight = 44;
constexpr double kSheetButtonHeight = 57;
constexpr double kSheetInset = 8;

std::shared_ptr<UILabel> makeLabel(const std::string& text, UIFontPtr font, double width, double y) {
    auto label = std::make_shared<UILabel>();
    label->setText(text);
    label->setFont(std::move(font));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setNumberOfLines(0);
    const CGSize fit = label->sizeThatFits(CGSizeMake(width, 10000));
    label->setFrame(CGRectMake(kMargin, y, width, std::ceil(fit.height)));
    return label;
}

std::shared_ptr<UIVisualEffectView> makePanel(CGRect frame) {
    auto panel = std::make_shared<UIVisualEffectView>(UIBlurEffect::effectWithStyle(UIBlurEffectStyleExtraLight));
    panel->setFrame(frame);
    panel->layer()->setCornerRadius(kCornerRadius);
    panel->setClipsToBounds(true);
    return panel;
}
}  // namespace

std::shared_ptr<UIAlertAction> UIAlertAction::actionWithTitle(std::optional<std::string> title,
                                                              UIAlertActionStyle style, Handler handler) {
    auto action = std::make_shared<UIAlertAction>();
    action->title_ = std::move(title);
    action->style_ = style;
    action->handler_ = std::move(handler);
    return action;
}

void UIAlertAction::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (auto button = button_.lock()) button->setEnabled(enabled);
}

UIAlertController::UIAlertController() { setModalPresentationStyle(UIModalPresentationOverFullScreen); }

std::shared_ptr<UIAlertController> UIAlertController::alertControllerWithTitle(std::optional<std::string> title,
                                                                               std::optional<std::string> message,
                                                                               UIAlertControllerStyle style) {
    auto alert = std::make_shared<UIAlertController>();
    alert->title_ = std::move(title);
    alert->message_ = std::move(message);
    alert->style_ = style;
    return alert;
}

void UIAlertController::addAction(const std::shared_ptr<UIAlertAction>& action) {
    if (!action)
        NSException::raise(NSInvalidArgumentException, "-[UIAlertController addAction:]: the action is nil");
    if (action->style() == UIAlertActionStyleCancel &&
        std::any_of(actions_.begin(), actions_.end(), [](auto& a) { return a->style() == UIAlertActionStyleCancel; }))
        NSException::raise(NSInternalInconsistencyException,
                           "UIAlertController can only have one action with a style of UIAlertActionStyleCancel");
    actions_.push_back(action);
}

std::shared_ptr<UIButton> UIAlertController::buttonForAction(const std::shared_ptr<UIAlertAction>& action) const {
    if (!action || !viewIfLoaded()) return nullptr;
    return action->button_.lock();
}

void UIAlertController::loadView() {
    const CGRect bounds = UIScreen::mainScreen()->bounds();
    auto root = std::make_shared<UIView>(bounds);
    root->setOpaque(false);
    auto dimming = std::make_shared<UIView>(bounds);
    dimming->setBackgroundColor(UIColor::colorWithWhite(0, 0.2));
    dimming->setOpaque(false);
    dimming->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    root->addSubview(dimming);

    const bool sheet = style_ == UIAlertControllerStyleActionSheet;
    const double panelWidth = sheet ? bounds.size.width - 2 * kSheetInset : kAlertWidth;
    const double textWidth = panelWidth - 2 * kMargin;
    const double buttonHeight = sheet ? kSheetButtonHeight : kAlertButtonHeight;

    // The cancel action sits apart on a sheet and last on an alert with more than two actions.
    std::shared_ptr<UIAlertAction> cancel;
    std::vector<std::shared_ptr<UIAlertAction>> ordered;
    for (const auto& action : actions_) {
        if (action->style() == UIAlertActionStyleCancel)
            cancel = action;
        else
            ordered.push_back(action);
    }
    const bool sideBySide = !sheet && actions_.size() == 2;
    if (cancel && !sheet) {
        if (sideBySide)
            ordered.insert(ordered.begin(), cancel);  // on the left
        else
            ordered.push_back(cancel);
    }

    std::vector<std::shared_ptr<UIView>> header;
    double y = 0;
    if (title_ || message_) {
        y = sheet ? 14 : 20;
        if (title_) {
            auto label = makeLabel(*title_, sheet ? UIFont::boldSystemFontOfSize(13) : UIFont::boldSystemFontOfSize(17),
                                   textWidth, y);
            y = CGRectGetMaxY(label->frame());
            header.push_back(label);
        }
        if (message_) {
            if (title_) y += 4;
            auto label = makeLabel(*message_, UIFont::systemFontOfSize(13), textWidth, y);
            y = CGRectGetMaxY(label->frame());
            header.push_back(label);
        }
        y += sheet ? 14 : 20;
    }

    std::weak_ptr<UIAlertController> weak = std::static_pointer_cast<UIAlertController>(shared_from_this());
    auto makeButton = [&](const std::shared_ptr<UIAlertAction>& action, CGRect frame) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setTitle(action->title(), UIControlStateNormal);
        const bool bold = preferred_ ? action == preferred_ : (action->style() == UIAlertActionStyleCancel);
        button->titleLabel()->setFont(bold ? UIFont::boldSystemFontOfSize(17) : UIFont::systemFontOfSize(17));
        if (action->style() == UIAlertActionStyleDestructive)
            button->setTitleColor(UIColor::systemRedColor(), UIControlStateNormal);
        button->setFrame(frame);
        button->setEnabled(action->isEnabled());
        std::weak_ptr<UIAlertAction> weakAction = action;
        button->addTarget(nullptr, "", [weak, weakAction](UIControl&, UIEvent*) {
            auto alert = weak.lock();
            auto tapped = weakAction.lock();
            if (alert && tapped) alert->actionTapped(tapped);
        }, UIControlEventTouchUpInside);
        action->button_ = button;
        return button;
    };

    const double buttonsHeight = sideBySide ? buttonHeight : buttonHeight * static_cast<double>(ordered.size());
    auto panel = makePanel(CGRectMake(0, 0, panelWidth, y + buttonsHeight));
    for (auto& view : header) panel->contentView()->addSubview(view);
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        CGRect frame = sideBySide ? CGRectMake(static_cast<double>(i) * panelWidth / 2, y, panelWidth / 2, buttonHeight)
                                  : CGRectMake(0, y + static_cast<double>(i) * buttonHeight, panelWidth, buttonHeight);
        panel->contentView()->addSubview(makeButton(ordered[i], frame));
    }

    if (!sheet) {
        CGRect frame = panel->frame();
        frame.origin.x = std::round((bounds.size.width - frame.size.width) / 2);
        frame.origin.y = std::round((bounds.size.height - frame.size.height) / 2);
        panel->setFrame(frame);
        panel->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                   UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
        root->addSubview(panel);
    } else {
        const double bottomInset = std::max(UIScreen::mainScreen()->safeAreaInsets().bottom, kSheetInset);
        double bottom = bounds.size.height - bottomInset;
        std::shared_ptr<UIVisualEffectView> cancelPanel;
        if (cancel) {
            cancelPanel = makePanel(CGRectMake(kSheetInset, bottom - buttonHeight, panelWidth, buttonHeight));
            cancelPanel->contentView()->addSubview(makeButton(cancel, CGRectMake(0, 0, panelWidth, buttonHeight)));
            cancelPanel->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
            bottom -= buttonHeight + kSheetInset;
        }
        CGRect frame = panel->frame();
        frame.origin = CGPointMake(kSheetInset, bottom - frame.size.height);
        panel->setFrame(frame);
        panel->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
        if (!ordered.empty() || !header.empty()) root->addSubview(panel);
        if (cancelPanel) root->addSubview(cancelPanel);
    }
    setView(root);
}

void UIAlertController::actionTapped(const std::shared_ptr<UIAlertAction>& action) {
    if (dismissing_ || !action->isEnabled()) return;
    dismissing_ = true;
    auto self = std::static_pointer_cast<UIAlertController>(shared_from_this());
    if (tapObserver_) {
        const auto it = std::find(actions_.begin(), actions_.end(), action);
        tapObserver_(static_cast<std::size_t>(it - actions_.begin()));
    }
    dismissViewControllerAnimated(true, [self, action] {
        self->dismissing_ = false;
        if (action->handler_) action->handler_(*action);
    });
}
