#include <platform_uikit/UIBarButtonItem.h>

#include <platform_uikit/UIFont.h>

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::withTitle(std::string title, UIBarButtonItemStyle style,
                                                            std::shared_ptr<NSObject> target, std::string selector,
                                                            Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->setTitle(std::move(title));
    item->style_ = style;
    item->setTarget(std::move(target), std::move(selector), std::move(action));
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::withImage(UIImagePtr image, UIBarButtonItemStyle style,
                                                            std::shared_ptr<NSObject> target, std::string selector,
                                                            Action action) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->setImage(std::move(image));
    item->style_ = style;
    item->setTarget(std::move(target), std::move(selector), std::move(action));
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::withCustomView(UIViewPtr view) {
    auto item = std::make_shared<UIBarButtonItem>();
    item->customView_ = std::move(view);
    return item;
}

void UIBarButtonItem::setCustomView(UIViewPtr view) {
    customView_ = std::move(view);
    itemDidChange();
}

void UIBarButtonItem::setTarget(std::shared_ptr<NSObject> target, std::string selector, Action action) {
    hasTarget_ = target != nullptr;
    target_ = target;
    selector_ = std::move(selector);
    action_ = std::move(action);
}

void UIBarButtonItem::setTintColor(UIColorPtr color) {
    tint_ = std::move(color);
    itemDidChange();
}

UIViewPtr UIBarButtonItem::itemView() const {
    if (customView_) return customView_;
    return button_;
}

std::shared_ptr<_UIButtonBarButton> UIBarButtonItem::barButton() {
    if (!button_) {
        button_ = std::make_shared<_UIButtonBarButton>();
        std::weak_ptr<UIBarButtonItem> weak = std::static_pointer_cast<UIBarButtonItem>(shared_from_this());
        button_->addTarget(nullptr, "_sendAction:",
                           [weak](UIControl&, UIEvent*) {
                               if (auto item = weak.lock()) item->sendAction();
                           },
                           UIControlEventTouchUpInside);
        setItemView(button_);
        refreshButton();
    }
    return button_;
}

void UIBarButtonItem::sendAction() {
    if (!action_ || !isEnabled()) return;
    auto target = target_.lock();
    if (hasTarget_ && !target) return;
    // Keep the item alive while its action runs (the action may remove it from its bar).
    auto self = shared_from_this();
    action_(*this);
}

void UIBarButtonItem::itemDidChange() { refreshButton(); }

void UIBarButtonItem::refreshButton() {
    if (!button_) return;
    button_->setTitle(title(), UIControlStateNormal);
    button_->setImage(image(), UIControlStateNormal);
    button_->setEnabled(isEnabled());
    if (tint_) button_->setTintColor(tint_);
    button_->setTitleColor(tint_ ? tint_ : button_->tintColor(), UIControlStateNormal);
    auto attributes = UIBarTitleStyle::fromAttributes(titleTextAttributesForState(UIControlStateNormal));
    if (attributes.font)
        button_->titleLabel()->setFont(attributes.font);
    else
        button_->titleLabel()->setFont(style() == UIBarButtonItemStyleDone ? UIFont::boldSystemFontOfSize(17)
                                                                            : UIFont::systemFontOfSize(17));
    if (attributes.colour) button_->setTitleColor(attributes.colour, UIControlStateNormal);
    button_->sizeToFit();
}
