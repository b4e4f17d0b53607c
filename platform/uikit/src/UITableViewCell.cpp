#include <platform_uikit/UITableViewCell.h>

#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIFont.h>

#include <platform_net/UIImage.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMargin = 15;
constexpr double kImageGap = 15;

}  // namespace

UITableViewCell::UITableViewCell() : UITableViewCell(UITableViewCellStyleDefault, "") {}

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UIView(CGRectMake(0, 0, 320, 44)), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
    contentView_ = std::make_shared<UIView>(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setBackgroundColor(UIColor::whiteColor());
}

// The content view joins the tree once the cell is owned (no shared handle exists in the constructor).
void UITableViewCell::attachContentView() const {
    if (contentView_->superview() || weak_from_this().expired()) return;
    auto* self = const_cast<UITableViewCell*>(this);
    // The cell may have been resized before (a nib sets its frame first): the content view
    // takes its size now, before anything goes into it in the cell's coordinates.
    if (contentView_->bounds().size != bounds().size) contentView_->setFrame(bounds());
    self->insertSubviewAtIndex(contentView_, selectedBackgroundView_ && selectedBackgroundView_->superview() ? 1 : 0);
}

const UIViewPtr& UITableViewCell::contentView() const {
    attachContentView();
    return contentView_;
}

void UITableViewCell::didMoveToSuperview() { attachContentView(); }

const std::shared_ptr<UILabel>& UITableViewCell::textLabel() {
    if (!textLabel_) {
        attachContentView();
        textLabel_ = std::make_shared<UILabel>();
        textLabel_->setFont(UIFont::systemFontOfSize(17));
        if (style_ == UITableViewCellStyleValue2) {
            textLabel_->setFont(UIFont::boldSystemFontOfSize(12));
            textLabel_->setTextAlignment(NSTextAlignmentRight);
            textLabel_->setTextColor(UIColor::systemBlueColor());
        }
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

const std::shared_ptr<UILabel>& UITableViewCell::detailTextLabel() {
    if (!detailTextLabel_ && style_ != UITableViewCellStyleDefault) {
        attachContentView();
        detailTextLabel_ = std::make_shared<UILabel>();
        switch (style_) {
            case UITableViewCellStyleValue1:
                detailTextLabel_->setFont(UIFont::systemFontOfSize(17));
                detailTextLabel_->setTextAlignment(NSTextAlignmentRight);
                detailTextLabel_->setTextColor(UIColor::grayColor());
                break;
            case UITableViewCellStyleValue2:
                detailTextLabel_->setFont(UIFont::boldSystemFontOfSize(15));
                break;
            default:
                detailTextLabel_->setFont(UIFont::systemFontOfSize(12));
                break;
        }
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

const std::shared_ptr<UIImageView>& UITableViewCell::imageView() {
    if (!imageView_) {
        attachContentView();
        imageView_ = std::make_shared<UIImageView>();
        contentView_->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType type) {
    if (type == accessoryType_) return;
    accessoryType_ = type;
    setNeedsLayout();
}

void UITableViewCell::setAccessoryView(UIViewPtr view) {
    if (view == accessoryView_) return;
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(view);
    if (accessoryView_) addSubview(accessoryView_);
    setNeedsLayout();
}

const UIViewPtr& UITableViewCell::selectedBackgroundView() {
    if (!selectedBackgroundView_) {
        selectedBackgroundView_ = std::make_shared<UIView>(bounds());
        selectedBackgroundView_->setBackgroundColor(UIColor::lightGrayColor());
        selectedBackgroundView_->setHidden(true);
        insertSubviewAtIndex(selectedBackgroundView_, 0);
        updateStateLook();
    }
    return selectedBackgroundView_;
}

void UITableViewCell::setSelectedBackgroundView(UIViewPtr view) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(view);
    if (selectedBackgroundView_) {
        insertSubviewAtIndex(selectedBackgroundView_, 0);
        updateStateLook();
    }
}

void UITableViewCell::setSelected(bool selected, bool) {
    if (selected == selected_) return;
    selected_ = selected;
    updateStateLook();
}

void UITableViewCell::setHighlighted(bool highlighted, bool) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    updateStateLook();
}

void UITableViewCell::updateStateLook() {
    bool shown = (selected_ || highlighted_) && selectionStyle_ != UITableViewCellSelectionStyleNone;
    if (shown) (void)selectedBackgroundView();
    if (selectedBackgroundView_) selectedBackgroundView_->setHidden(!shown);
    if (textLabel_) textLabel_->setHighlighted(shown);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(shown);
}

void UITableViewCell::prepareForReuse() {
    setHighlighted(false, false);
    setSelected(false, false);
}

void UITableViewCell::layoutSubviews() {
    attachContentView();
    CGRect b = bounds();
    double trailing = 0;
    if (accessoryView_) {
        CGSize size = accessoryView_->bounds().size;
        trailing = size.width + kMargin;
        accessoryView_->setFrame(CGRectMake(b.size.width - trailing, (b.size.height - size.height) / 2, size.width,
                                            size.height));
    } else if (accessoryType_ != UITableViewCellAccessoryNone) {
        trailing = kAccessoryWidth;
    }
    contentView_->setFrame(CGRectMake(0, 0, std::max(0.0, b.size.width - trailing), b.size.height));
    if (selectedBackgroundView_) selectedBackgroundView_->setFrame(b);

    CGSize content = contentView_->bounds().size;
    double x = kMargin;
    if (imageView_ && imageView_->image()) {
        CGSize image = imageView_->image()->size();
        imageView_->setFrame(CGRectMake(kMargin, (content.height - image.height) / 2, image.width, image.height));
        x += image.width + kImageGap;
    }
    double width = std::max(0.0, content.width - x - kMargin);
    switch (style_) {
        case UITableViewCellStyleDefault:
            if (textLabel_) textLabel_->setFrame(CGRectMake(x, 0, width, content.height));
            break;
        case UITableViewCellStyleValue1: {
            double detailWidth = detailTextLabel_ ? std::ceil(detailTextLabel_->sizeThatFits(CGSizeMake(width, content.height)).width) : 0;
            detailWidth = std::min(detailWidth, width);
            if (detailTextLabel_)
                detailTextLabel_->setFrame(CGRectMake(x + width - detailWidth, 0, detailWidth, content.height));
            if (textLabel_) textLabel_->setFrame(CGRectMake(x, 0, std::max(0.0, width - detailWidth - 6), content.height));
            break;
        }
        case UITableViewCellStyleValue2: {
            double titleWidth = std::floor(content.width * 0.22);
            if (textLabel_) textLabel_->setFrame(CGRectMake(x, 0, titleWidth, content.height));
            double detailX = x + titleWidth + 6;
            if (detailTextLabel_)
                detailTextLabel_->setFrame(CGRectMake(detailX, 0, std::max(0.0, content.width - detailX - kMargin), content.height));
            break;
        }
        case UITableViewCellStyleSubtitle: {
            double half = content.height / 2;
            bool hasDetail = detailTextLabel_ && detailTextLabel_->hasText();
            if (textLabel_) textLabel_->setFrame(CGRectMake(x, hasDetail ? 4 : 0, width, hasDetail ? half - 4 : content.height));
            if (detailTextLabel_) detailTextLabel_->setFrame(CGRectMake(x, half, width, hasDetail ? half - 4 : 0));
            break;
        }
    }
}
