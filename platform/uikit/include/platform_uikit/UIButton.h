#pragma once
// A button: a control with a title, title colour, image and background image
// per control state (falling back to the normal state's), shown through its
// title label and image view.
//
// Main thread.

#include <platform_uikit/UIControl.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

enum UIButtonType : int64_t {
    UIButtonTypeCustom = 0,
    UIButtonTypeSystem = 1,
    UIButtonTypeDetailDisclosure = 2,
    UIButtonTypeInfoLight = 3,
    UIButtonTypeInfoDark = 4,
    UIButtonTypeContactAdd = 5,
    UIButtonTypeClose = 7,
};

class UIButton : public UIControl {
    NS_CLASS(UIButton, UIControl)
public:
    UIButton();
    explicit UIButton(CGRect frame);
    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);
    UIButtonType buttonType() const { return type_; }

    // Per-state values: set for exactly that state value; read with the
    // normal state's as the fallback.
    void setTitle(std::optional<std::string> title, UIControlState state);
    std::optional<std::string> titleForState(UIControlState state) const;
    void setAttributedTitle(NSAttributedStringPtr title, UIControlState state);
    NSAttributedStringPtr attributedTitleForState(UIControlState state) const;
    void setTitleColor(UIColorPtr color, UIControlState state);
    UIColorPtr titleColorForState(UIControlState state) const;
    void setImage(UIImagePtr image, UIControlState state);
    UIImagePtr imageForState(UIControlState state) const;
    void setBackgroundImage(UIImagePtr image, UIControlState state);
    UIImagePtr backgroundImageForState(UIControlState state) const;

    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    UIColorPtr currentTitleColor() const { return titleColorForState(state()); }
    UIImagePtr currentImage() const { return imageForState(state()); }
    UIImagePtr currentBackgroundImage() const { return backgroundImageForState(state()); }

    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
    UIImagePtr shownBackgroundImage() const { return shownBackground_; }

    UIEdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(UIEdgeInsets insets);
    UIEdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(UIEdgeInsets insets);
    UIEdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(UIEdgeInsets insets);
    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool on) { adjustsImageWhenHighlighted_ = on; }

    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override { return sizeThatFits(CGSizeZero); }
    void layoutSubviews() override;
    bool isAccessibilityElement() const override { return true; }

protected:
    void stateDidChange() override;

private:
    template <class T>
    using PerState = std::map<UIControlState, T>;
    template <class T>
    static T lookup(const PerState<T>& table, UIControlState state);
    void refresh();

    UIButtonType type_ = UIButtonTypeCustom;
    PerState<std::string> titles_;
    PerState<NSAttributedStringPtr> attributedTitles_;
    PerState<UIColorPtr> titleColors_;
    PerState<UIImagePtr> images_, backgrounds_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UIImagePtr shownBackground_;
    UIEdgeInsets contentInsets_, titleInsets_, imageInsets_;
    bool adjustsImageWhenHighlighted_ = true;
};
