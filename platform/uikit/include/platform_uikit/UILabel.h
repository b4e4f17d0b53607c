#pragma once
// A view that shows read-only text, plain or attributed (with inline
// attachments), in a font and colour, on a number of lines with a break
// mode, optionally shrinking to fit its width. Text is laid out with the
// text-metrics model; drawTextInRect records the rect and lines it drew,
// which the screen text reads.
//
// Main thread.

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/TextLayout.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UIView.h>

#include <optional>
#include <string>

enum NSTextAlignment : int64_t {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
    NSTextAlignmentJustified = 3,
    NSTextAlignmentNatural = 4,
};

class UILabel : public UIView {
    NS_CLASS(UILabel, UIView)
public:
    UILabel();
    explicit UILabel(CGRect frame);

    std::string text() const;
    // Replaces any attributed text.
    void setText(std::string text);
    bool hasText() const { return !text().empty(); }
    // The attributed text (plain text comes back with the label's font and colour).
    NSAttributedStringPtr attributedText() const;
    void setAttributedText(NSAttributedStringPtr text);
    const UIFontPtr& font() const { return font_; }
    void setFont(UIFontPtr font);
    const UIColorPtr& textColor() const { return textColor_; }
    void setTextColor(UIColorPtr color);
    const UIColorPtr& highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(UIColorPtr color) { highlightedTextColor_ = std::move(color); }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    // 0: as many as the text needs.
    int64_t numberOfLines() const { return lines_; }
    void setNumberOfLines(int64_t lines);
    NSLineBreakMode lineBreakMode() const { return breakMode_; }
    void setLineBreakMode(NSLineBreakMode mode);
    bool adjustsFontSizeToFitWidth() const { return adjustsToFit_; }
    void setAdjustsFontSizeToFitWidth(bool on);
    double minimumScaleFactor() const { return minimumScale_; }
    void setMinimumScaleFactor(double scale);
    double preferredMaxLayoutWidth() const { return preferredMaxWidth_; }
    void setPreferredMaxLayoutWidth(double width);

    // The font after shrinking to fit the bounds' width (one line only).
    UIFontPtr effectiveFont() const;
    // The text laid out in `rect` as this label does.
    TextLayout::Result layoutInRect(CGRect rect) const;
    // Where the text goes inside `bounds`: vertically centred, `lines` limit.
    virtual CGRect textRectForBounds(CGRect bounds, int64_t numberOfLines) const;
    // Lays out the text in `rect` and records what was drawn.
    virtual void drawTextInRect(CGRect rect);
    // The last drawn rect (in the label's coordinates) and lines; nothing before the first drawing.
    std::optional<CGRect> lastDrawnTextRect() const { return drawnRect_; }
    const TextLayout::Result& lastDrawnText() const { return drawn_; }

    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    bool drawsContent() const override { return true; }
    void drawRect(CGRect rect) override;

    bool isAccessibilityElement() const override { return true; }

    NS_PROPERTY_ACCESSORS(std::string, text, "C,N", text, setText)

private:
    void textChanged();
    std::string text_;
    NSAttributedStringPtr attributed_;
    UIFontPtr font_ = UIFont::systemFontOfSize(17);
    UIColorPtr textColor_ = UIColor::labelColor();
    UIColorPtr highlightedTextColor_;
    bool highlighted_ = false;
    bool enabled_ = true;
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    int64_t lines_ = 1;
    NSLineBreakMode breakMode_ = NSLineBreakByTruncatingTail;
    bool adjustsToFit_ = false;
    double minimumScale_ = 0;
    double preferredMaxWidth_ = 0;
    std::optional<CGRect> drawnRect_;
    TextLayout::Result drawn_;
};
