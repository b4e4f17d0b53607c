#include <platform_uikit/UILabel.h>

#include <algorithm>
#include <cmath>

UILabel::UILabel() : UILabel(CGRectZero) {}

UILabel::UILabel(CGRect frame) : UIView(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void UILabel::textChanged() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
    setNeedsLayout();
}

std::string UILabel::text() const { return attributed_ ? attributed_->string() : text_; }

void UILabel::setText(std::string text) {
    announce("text", [&] {
        text_ = std::move(text);
        attributed_.reset();
    });
    textChanged();
}

NSAttributedStringPtr UILabel::attributedText() const {
    if (attributed_) return attributed_;
    Value::Dictionary attributes;
    attributes[Value(NSFontAttributeName)] = Value(font_);
    if (textColor_) attributes[Value(NSForegroundColorAttributeName)] = Value(textColor_);
    return std::make_shared<NSAttributedString>(text_, std::move(attributes));
}

void UILabel::setAttributedText(NSAttributedStringPtr text) {
    announce("text", [&] {
        attributed_ = std::move(text);
        text_.clear();
    });
    textChanged();
}

void UILabel::setFont(UIFontPtr font) {
    font_ = font ? std::move(font) : UIFont::systemFontOfSize(17);
    textChanged();
}

void UILabel::setTextColor(UIColorPtr color) {
    textColor_ = color ? std::move(color) : UIColor::labelColor();
    setNeedsDisplay();
}

void UILabel::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void UILabel::setEnabled(bool enabled) {
    enabled_ = enabled;
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(int64_t lines) {
    lines_ = std::max<int64_t>(0, lines);
    textChanged();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode) {
    breakMode_ = mode;
    textChanged();
}

void UILabel::setAdjustsFontSizeToFitWidth(bool on) {
    adjustsToFit_ = on;
    textChanged();
}

void UILabel::setMinimumScaleFactor(double scale) {
    minimumScale_ = std::clamp(scale, 0.0, 1.0);
    textChanged();
}

void UILabel::setPreferredMaxLayoutWidth(double width) {
    preferredMaxWidth_ = std::max(0.0, width);
    textChanged();
}

UIFontPtr UILabel::effectiveFont() const {
    if (!adjustsToFit_ || lines_ != 1 || attributed_) return font_;
    double width = bounds().size.width;
    double natural = TextLayout::layoutText(text_, font_->pointSize(), 0, 0, 1, NSLineBreakByClipping).size.width;
    if (width <= 0 || natural <= width) return font_;
    double scale = std::max(minimumScale_, width / natural);
    return font_->fontWithSize(font_->pointSize() * scale);
}

TextLayout::Result UILabel::layoutInRect(CGRect rect) const {
    auto font = effectiveFont();
    auto glyphs = attributed_ ? attributed_->glyphs(font) : TextLayout::glyphsForText(text_, font->pointSize());
    return TextLayout::layout(glyphs, rect.size.width, rect.size.height, lines_, breakMode_);
}

CGRect UILabel::textRectForBounds(CGRect b, int64_t) const {
    auto layout = layoutInRect(b);
    double height = std::min(layout.size.height, b.size.height);
    double width = std::min(layout.size.width, b.size.width);
    double x = b.origin.x;
    if (alignment_ == NSTextAlignmentCenter) x += (b.size.width - width) / 2;
    if (alignment_ == NSTextAlignmentRight) x += b.size.width - width;
    return CGRectMake(x, b.origin.y + (b.size.height - height) / 2, width, height);
}

void UILabel::drawTextInRect(CGRect rect) {
    drawnRect_ = rect;
    drawn_ = layoutInRect(rect);
}

void UILabel::drawRect(CGRect rect) { drawTextInRect(rect); }

CGSize UILabel::sizeThatFits(CGSize size) const {
    double width = size.width > 0 ? size.width : preferredMaxWidth_;
    auto glyphs = attributed_ ? attributed_->glyphs(font_) : TextLayout::glyphsForText(text_, font_->pointSize());
    auto layout = TextLayout::layout(glyphs, lines_ == 1 ? 0 : width, 0, lines_, breakMode_);
    CGSize fit = layout.size;
    if (lines_ == 1 && size.width > 0) fit.width = std::min(fit.width, size.width);
    return CGSizeMake(std::ceil(fit.width), std::ceil(fit.height));
}

CGSize UILabel::intrinsicContentSize() const { return sizeThatFits(CGSizeMake(preferredMaxWidth_, 0)); }
