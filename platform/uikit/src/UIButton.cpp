#include <platform_uikit/UIButton.h>

#include <algorithm>
#include <cmath>

UIButton::UIButton() : UIButton(CGRectZero) {}

UIButton::UIButton(CGRect frame)
    : UIControl(frame), titleLabel_(std::make_shared<UILabel>()), imageView_(std::make_shared<UIImageView>()) {
    setOpaque(false);
    titleLabel_->setHidden(true);
    imageView_->setHidden(true);
}

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) {
    auto button = std::make_shared<UIButton>();
    button->type_ = type;
    if (type == UIButtonTypeSystem) {
        button->titleColors_[UIControlStateNormal] = nullptr;  // the tint colour, looked up when shown
        button->titleColors_[UIControlStateDisabled] = UIColor::systemGrayColor();
    }
    button->addSubview(button->imageView_);
    button->addSubview(button->titleLabel_);
    return button;
}

template <class T>
T UIButton::lookup(const PerState<T>& table, UIControlState state) {
    auto it = table.find(state);
    if (it != table.end() && it->second) return it->second;
    it = table.find(UIControlStateNormal);
    return it == table.end() ? T() : it->second;
}

void UIButton::setTitle(std::optional<std::string> title, UIControlState state) {
    if (title)
        titles_[state] = std::move(*title);
    else
        titles_.erase(state);
    refresh();
}

std::optional<std::string> UIButton::titleForState(UIControlState state) const {
    auto it = titles_.find(state);
    if (it != titles_.end()) return it->second;
    it = titles_.find(UIControlStateNormal);
    if (it != titles_.end()) return it->second;
    return std::nullopt;
}

void UIButton::setAttributedTitle(NSAttributedStringPtr title, UIControlState state) {
    attributedTitles_[state] = std::move(title);
    refresh();
}

NSAttributedStringPtr UIButton::attributedTitleForState(UIControlState state) const {
    return lookup(attributedTitles_, state);
}

void UIButton::setTitleColor(UIColorPtr color, UIControlState state) {
    titleColors_[state] = std::move(color);
    refresh();
}

UIColorPtr UIButton::titleColorForState(UIControlState state) const {
    auto color = lookup(titleColors_, state);
    if (color) return color;
    return type_ == UIButtonTypeSystem ? tintColor() : UIColor::whiteColor();
}

void UIButton::setImage(UIImagePtr image, UIControlState state) {
    images_[state] = std::move(image);
    refresh();
}

UIImagePtr UIButton::imageForState(UIControlState state) const { return lookup(images_, state); }

void UIButton::setBackgroundImage(UIImagePtr image, UIControlState state) {
    backgrounds_[state] = std::move(image);
    refresh();
}

UIImagePtr UIButton::backgroundImageForState(UIControlState state) const { return lookup(backgrounds_, state); }

void UIButton::setContentEdgeInsets(UIEdgeInsets insets) {
    contentInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setTitleEdgeInsets(UIEdgeInsets insets) {
    titleInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setImageEdgeInsets(UIEdgeInsets insets) {
    imageInsets_ = insets;
    setNeedsLayout();
}

void UIButton::stateDidChange() { refresh(); }

void UIButton::refresh() {
    invalidateIntrinsicContentSize();
    if (!titleLabel_->superview()) {
        addSubview(imageView_);
        addSubview(titleLabel_);
    }
    UIControlState s = state();
    if (auto attributed = attributedTitleForState(s)) {
        titleLabel_->setAttributedText(attributed);
    } else {
        titleLabel_->setText(titleForState(s).value_or(""));
        titleLabel_->setTextColor(titleColorForState(s));
    }
    titleLabel_->setHidden(titleLabel_->text().empty());
    auto image = currentImage();
    imageView_->setImage(image);
    imageView_->setHidden(!image);
    shownBackground_ = currentBackgroundImage();
    setNeedsLayout();
    setNeedsDisplay();
}

CGSize UIButton::sizeThatFits(CGSize) const {
    CGSize title = titleLabel_->text().empty() ? CGSizeZero : titleLabel_->sizeThatFits(CGSizeZero);
    auto image = currentImage();
    CGSize img = image ? image->size() : CGSizeZero;
    double w = title.width + img.width + contentInsets_.left + contentInsets_.right;
    double h = std::max(title.height, img.height) + contentInsets_.top + contentInsets_.bottom;
    if (auto bg = currentBackgroundImage()) {
        w = std::max(w, bg->size().width);
        h = std::max(h, bg->size().height);
    }
    if (type_ == UIButtonTypeSystem && w == 0 && h == 0) return CGSizeMake(30, 34);
    return CGSizeMake(std::ceil(w), std::ceil(h));
}

void UIButton::layoutSubviews() {
    CGRect content = UIEdgeInsetsInsetRect(bounds(), contentInsets_);
    CGSize title = titleLabel_->text().empty() ? CGSizeZero : titleLabel_->sizeThatFits(CGSizeZero);
    auto image = currentImage();
    CGSize img = image ? image->size() : CGSizeZero;
    double total = std::min(content.size.width, title.width + img.width);
    double x = CGRectGetMidX(content) - total / 2;
    imageView_->setFrame(UIEdgeInsetsInsetRect(
        CGRectMake(x, CGRectGetMidY(content) - img.height / 2, img.width, img.height), imageInsets_));
    double titleWidth = std::max(0.0, std::min(title.width, content.size.width - img.width));
    titleLabel_->setFrame(UIEdgeInsetsInsetRect(
        CGRectMake(x + img.width, CGRectGetMidY(content) - title.height / 2, titleWidth, title.height), titleInsets_));
}
