#pragma once
// The tab bar a TBTabBarController installs: finds and orders the platform's
// tab buttons, lays them out around an optional centre button, centres tab
// images when the tabs have no titles, routes touches to the centre button
// even where it sticks out of the bar, and answers the controller's
// questions about visible controls by index. Without a centre button it
// keeps the platform's layout.
//
// Observers of "tabBarItemWidth" and "tabImageViewDefaultOffset" are told by
// the setters themselves. Main thread; owned by its controller.

#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIControl.h>
#include <platform_uikit/UITabBar.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBTabBar : public UITabBar {
    NS_CLASS(TBTabBar, UITabBar)
public:
    TBTabBar();
    explicit TBTabBar(CGRect frame);

    double tabBarItemWidth() const { return itemWidth_; }
    // Unchanged values are ignored; a change posts TBTabBarItemWidthDidChangeNotification.
    void setTabBarItemWidth(double width);
    double tabImageViewDefaultOffset() const { return imageOffset_; }
    // 0 is ignored.
    void setTabImageViewDefaultOffset(double offset);
    const std::string& context() const { return context_; }
    // Stores it and tries to add the registered centre button.
    void setContext(std::string context);
    bool hasAddPlusButton() const { return addPlusButton_; }
    // The stored centre button while it is registered, its context matches and it sits in this bar.
    std::shared_ptr<UIButton> plusButton() const;
    void setPlusButton(const std::shared_ptr<UIButton>& button);
    std::string plusButtonTabBarContext() const;
    // The tab buttons found by the last layout pass, ordered by x.
    const std::vector<std::shared_ptr<UIControl>>& tabBarButtonArray() const { return tabBarButtons_; }

    double multiplierOfTabBarHeight(double height) const;
    double constantOfPlusButtonCenterYOffsetForTabBarHeight(double height) const;
    // The centre button's index (asked of its class, else half an even count;
    // an odd count without it raises); places the button and records the index.
    uint64_t plusButtonIndex();
    void changeXForChildView(UIView& view, double x, double width, int64_t index);
    void setupTabImageViewDefaultOffset(const UIViewPtr& tabButton);
    void presetUnselectedItemTintColor();

    bool tb_hasPlusChildViewController() const;
    std::vector<UIViewPtr> tb_sortedSubviews() const;
    std::vector<std::shared_ptr<UIControl>> tb_tabBarButtonFromTabBarSubviews(const std::vector<UIViewPtr>& views) const;
    std::vector<std::shared_ptr<UIControl>> tb_originalTabBarButtons() const;
    std::vector<std::shared_ptr<UIControl>> tb_visibleControls() const;
    std::vector<std::shared_ptr<UIControl>> tb_subTabBarButtons() const;
    std::vector<std::shared_ptr<UIControl>> tb_subTabBarButtonsWithoutPlusButton() const;
    // Out of range: logged, none.
    std::shared_ptr<UIControl> tb_visibleControlWithIndex(uint64_t index) const;
    std::shared_ptr<UIControl> tb_tabBarButtonWithTabIndex(uint64_t index) const;
    // Empty bodies: no animation is drawn.
    void tb_animationMotionImageWithSelectedControl(const std::shared_ptr<UIControl>&, const Value&, CGSize, bool) {}
    void tb_stopAnimationOfAllMotionView() {}

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    UIViewPtr hitTest(CGPoint point, UIEvent* event) override;

private:
    void widthDidChange();
    // Places the tab buttons around the centre button (or at equal widths without one).
    void placeButtons();

    bool addPlusButton_ = false;
    std::shared_ptr<UIButton> plusButton_;
    double imageOffset_ = 0;
    std::string context_;
    double itemWidth_ = 0;
    std::vector<std::shared_ptr<UIControl>> tabBarButtons_;

public:
    NS_PROPERTY_ACCESSORS(double, tabBarItemWidth, "N", tabBarItemWidth, setTabBarItemWidth)
    NS_READONLY_PROPERTY(double, tabImageViewDefaultOffset, "R,N", tabImageViewDefaultOffset)
};
