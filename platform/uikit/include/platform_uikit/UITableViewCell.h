#pragma once
// A row of a table view: a content view holding the style's labels
// (default: a title; value1: title left, detail right; value2: a short
// right-aligned title, then the detail; subtitle: title over detail) and an
// optional image, an accessory at the trailing edge, and the look of its
// selected and highlighted states. A cell with a reuse identifier returns to
// its table's reuse pool when its row leaves the screen and is prepared for
// reuse before it comes back.
//
// Main thread. A cell holds its subviews; its table is not held.

#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIView.h>

#include <memory>
#include <string>

enum UITableViewCellStyle : int64_t {
    UITableViewCellStyleDefault = 0,
    UITableViewCellStyleValue1 = 1,
    UITableViewCellStyleValue2 = 2,
    UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellSelectionStyle : int64_t {
    UITableViewCellSelectionStyleNone = 0,
    UITableViewCellSelectionStyleBlue = 1,
    UITableViewCellSelectionStyleGray = 2,
    UITableViewCellSelectionStyleDefault = 3,
};

enum UITableViewCellAccessoryType : int64_t {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
    UITableViewCellAccessoryDetailButton = 4,
};

class UITableViewCell;
using UITableViewCellPtr = std::shared_ptr<UITableViewCell>;

class UITableViewCell : public UIView {
    NS_CLASS(UITableViewCell, UIView)
public:
    // Width the built-in accessories take at the trailing edge.
    static constexpr double kAccessoryWidth = 38;
    static constexpr double kSeparatorInset = 15;

    // The default style without a reuse identifier (what a nib makes).
    UITableViewCell();
    UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // For loaders that make the cell first and name it after.
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }

    // Joins the cell once the cell is owned by a shared pointer (not yet while it is constructed).
    const UIViewPtr& contentView() const;
    // Made on first use and put in the content view.
    const std::shared_ptr<UILabel>& textLabel();
    // Null for the default style.
    const std::shared_ptr<UILabel>& detailTextLabel();
    const std::shared_ptr<UIImageView>& imageView();

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type);
    // Replaces the built-in accessory; centred vertically at the trailing edge.
    const UIViewPtr& accessoryView() const { return accessoryView_; }
    void setAccessoryView(UIViewPtr view);
    UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
    // Shown under the content while selected or highlighted (made on first use).
    const UIViewPtr& selectedBackgroundView();
    void setSelectedBackgroundView(UIViewPtr view);

    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { setSelected(selected, false); }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { setHighlighted(highlighted, false); }
    virtual void setHighlighted(bool highlighted, bool animated);

    // Called before the table hands the cell out again; the base clears the
    // selected and highlighted states.
    virtual void prepareForReuse();
    void layoutSubviews() override;
    void didMoveToSuperview() override;

    NS_PROPERTY_ACCESSORS(std::string, reuseIdentifier, "N,C", reuseIdentifier, setReuseIdentifier)
    NS_READONLY_PROPERTY(std::shared_ptr<UIView>, contentView, "R,N", contentView)

private:
    int64_t selectionStyleValue() const { return selectionStyle_; }
    void setSelectionStyleValue(int64_t v) { selectionStyle_ = static_cast<UITableViewCellSelectionStyle>(v); }
    int64_t accessoryTypeValue() const { return accessoryType_; }
    void setAccessoryTypeValue(int64_t v) { setAccessoryType(static_cast<UITableViewCellAccessoryType>(v)); }
    void updateStateLook();
    void attachContentView() const;

    UITableViewCellStyle style_ = UITableViewCellStyleDefault;
    std::string reuseIdentifier_;
    UIViewPtr contentView_;
    std::shared_ptr<UILabel> textLabel_, detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
    UIViewPtr accessoryView_;
    UIViewPtr selectedBackgroundView_;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleDefault;
    bool selected_ = false, highlighted_ = false;

public:
    NS_PROPERTY_ACCESSORS(int64_t, selectionStyle, "N", selectionStyleValue, setSelectionStyleValue)
    NS_PROPERTY_ACCESSORS(int64_t, accessoryType, "N", accessoryTypeValue, setAccessoryTypeValue)
};
