// The badge engine on plain views (style by value, sizes, corner radii,
// stored records, animations), the view classification over a real bar's
// subviews, the red point of a tab control, and tab item badges with the
// exchanged platform badge setter.

#include "TabBarTestSupport.h"

#include <ui_tab_bar_and_layout/TBBadge.h>
#include <ui_tab_bar_and_layout/TBBadgeAnimations.h>
#include <ui_tab_bar_and_layout/TBControlExtension.h>
#include <ui_tab_bar_and_layout/TBItemBadges.h>
#include <ui_tab_bar_and_layout/TBTabSubviews.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/CALayer.h>
#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UITabBarButton.h>

#include <cmath>
#include <functional>

using namespace tab_test;

namespace {

UIViewPtr host() {
    // The superviews live as long as the test program: views hold theirs weakly.
    static std::vector<UIViewPtr> superviews;
    auto superview = superviews.emplace_back(std::make_shared<UIView>(CGRectMake(0, 0, 200, 200)));
    auto view = std::make_shared<UIView>(CGRectMake(10, 10, 30, 30));
    superview->addSubview(view);
    return view;
}

// The size a text badge takes with a font and margin (by default the engine's).
CGSize textSize(const std::string& text, const UIFontPtr& font = UIFont::boldSystemFontOfSize(9), double margin = 8) {
    Value::Dictionary a;
    a[Value(NSFontAttributeName)] = Value(font);
    CGRect box = NSString::boundingRectWithSize(text, CGSizeMake(375, 1e9), NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading, a);
    const double w = std::ceil(static_cast<float>(box.size.width)) + margin,
                 h = std::ceil(static_cast<float>(box.size.height)) + margin;
    return CGSizeMake(w < h ? h : w, h);
}

double textWidth(const std::string& text) { return textSize(text).width; }

TEST_F(TabBarTest, TheValueChoosesTheBadgesStyle) {
    struct Case {
        std::optional<std::string> value;
        bool shown;
        std::string text;
        int64_t tag;
    };
    for (const Case& c : {Case{"0", false, "", 0}, Case{"-5", true, "-5", 4}, Case{"100", true, "99+", 4},
                          Case{"99", true, "99", 4}, Case{"007", true, "7", 4}, Case{"", true, "", 1},
                          Case{"new", true, "new", 4}, Case{"NEW", true, "NEW", 4}, Case{"New", true, "New", 4}}) {
        SCOPED_TRACE(c.value.value_or("(none)"));
        auto view = host();
        tb_showBadgeValue(*view, c.value);
        auto badge = tb_badge(*view);
        EXPECT_EQ(tb_isShowBadge(*view), c.shown);
        if (!c.shown) continue;
        ASSERT_TRUE(badge);
        EXPECT_EQ(badge->text(), c.text);
        EXPECT_EQ(badge->tag(), c.tag);
        if (c.tag == 4) {
            EXPECT_DOUBLE_EQ(badge->frame().size.width, textWidth(c.text));
            EXPECT_DOUBLE_EQ(badge->center().x, 30 + 2.0);
        }
        EXPECT_EQ(badge->layer()->zPosition(), TBFloatMax);
    }
    // No value does nothing.
    auto view = host();
    tb_showBadgeValue(*view, std::nullopt);
    EXPECT_FALSE(tb_isShowBadge(*view));
}

TEST_F(TabBarTest, DotsAreEightOrTwiceTheRadiusAndSitBesideTheCorner) {
    auto view = host();
    tb_showBadge(*view);
    auto badge = tb_badge(*view);
    EXPECT_EQ(badge->frame().size.width, 8);
    EXPECT_EQ(badge->center().x, 32);
    EXPECT_EQ(badge->center().y, 0);
    EXPECT_EQ(badge->layer()->cornerRadius(), 4);

    auto other = host();
    tb_setBadgeRadius(*other, 5);
    tb_setBadgeCenterOffset(*other, CGPointMake(3, 4));
    tb_showBadge(*other);
    EXPECT_EQ(tb_badge(*other)->frame().size.width, 10);
    EXPECT_EQ(tb_badge(*other)->center().x, 35);
    EXPECT_EQ(tb_badge(*other)->center().y, 4);
}

TEST_F(TabBarTest, ASingleDigitIsRoundAndNewKeepsItsCornerForLaterNumbers) {
    auto view = host();
    tb_showBadgeValue(*view, std::string("7"));
    auto badge = tb_badge(*view);
    EXPECT_EQ(badge->frame().size.width, badge->frame().size.height);
    EXPECT_DOUBLE_EQ(badge->layer()->cornerRadius(), badge->frame().size.height / 2);

    tb_showBadgeValue(*view, std::string("new"));
    const float corner = tb_badgeCornerRadius(*view);
    EXPECT_GT(corner, 0);
    tb_showBadgeValue(*view, std::string("12"));
    EXPECT_FLOAT_EQ(static_cast<float>(badge->layer()->cornerRadius()), corner);
}

// One view shown again and again: each show measures with the font and margin of that
// moment and centres on the corner plus the offset of that moment.
TEST_F(TabBarTest, RepeatedShowsFollowTheCurrentFontMarginAndOffset) {
    auto view = host();
    const UIFontPtr large = UIFont::boldSystemFontOfSize(15);
    struct Step {
        const char* name;
        std::function<void()> before;
        std::string value, text;
        CGSize size;
        CGPoint centre;
    };
    const Step steps[] = {
        {"default", [] {}, "5", "5", textSize("5"), {32, 0}},
        {"capped", [] {}, "123", "99+", textSize("99+"), {32, 0}},
        {"larger font", [&] { tb_setBadgeFont(*view, large); }, "42", "42", textSize("42", large), {32, 0}},
        {"same font again", [] {}, "43", "43", textSize("43", large), {32, 0}},
        {"font back", [&] { tb_setBadgeFont(*view, UIFont::boldSystemFontOfSize(9)); }, "42", "42", textSize("42"),
         {32, 0}},
        {"narrow margin", [&] { tb_setBadgeMargin(*view, 2); }, "42", "42",
         textSize("42", UIFont::boldSystemFontOfSize(9), 2), {32, 0}},
        {"offset", [&] { tb_setBadgeCenterOffset(*view, CGPointMake(3.5, -4)); }, "7", "7",
         textSize("7", UIFont::boldSystemFontOfSize(9), 2), {35.5, -4}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.before();
        tb_showBadgeValue(*view, step.value);
        auto badge = tb_badge(*view);
        ASSERT_TRUE(badge);
        EXPECT_EQ(badge->text(), step.text);
        EXPECT_EQ(badge->bounds().size, step.size);
        EXPECT_EQ(badge->center(), step.centre);
        EXPECT_EQ(badge->frame(), CGRectMake(step.centre.x - step.size.width / 2, step.centre.y - step.size.height / 2,
                                             step.size.width, step.size.height));
        EXPECT_DOUBLE_EQ(badge->layer()->cornerRadius(), step.size.height / 2);
    }
    // A label with a transform keeps its size (a frame change only moves it) and still
    // takes the centre; its corner follows the transformed height.
    auto badge = tb_badge(*view);
    const CGSize kept = badge->bounds().size;
    badge->setTransform(CGAffineTransformMakeScale(2, 2));
    tb_showBadgeValue(*view, std::string("99"));
    EXPECT_EQ(badge->text(), "99");
    EXPECT_EQ(badge->bounds().size, kept);
    EXPECT_EQ(badge->center(), CGPointMake(35.5, -4));
    EXPECT_DOUBLE_EQ(badge->layer()->cornerRadius(), kept.height);
}

TEST_F(TabBarTest, StoredRecordsReadBackOrAsZero) {
    auto view = host();
    tb_setBadgeFrame(*view, CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(tb_badgeFrame(*view).size.height, 4);
    objc_setAssociatedObject(*view, "tb_badgeFrame", Value::dict({{"x", 1}, {"y", 2}, {"width", 3}}),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_EQ(tb_badgeFrame(*view).size.width, 0);
    EXPECT_EQ(tb_badgeAnimationType(*view), 0u);
    EXPECT_EQ(tb_badgeMaximumBadgeNumber(*view), 99);
    EXPECT_FLOAT_EQ(tb_badgeMargin(*view), 8);
    // Clearing hides; resuming shows again.
    tb_showBadgeValue(*view, std::string("3"));
    tb_clearBadge(*view);
    EXPECT_TRUE(tb_isPauseBadge(*view));
    tb_resumeBadge(*view);
    EXPECT_TRUE(tb_isShowBadge(*view));
}

TEST_F(TabBarTest, AnimationTypesAddTheirAnimationUnderTheirKey) {
    struct Case {
        uint64_t type;
        const char* key;
        const char* keyPath;
    };
    for (const Case& c : {Case{1, "scale", "transform.scale"}, Case{2, "shake", "position"},
                          Case{3, "bounce", "position"}, Case{4, "breathe", "opacity"}}) {
        SCOPED_TRACE(c.key);
        auto view = host();
        tb_showBadgeValue(*view, std::string("5"), c.type);
        auto animation = std::dynamic_pointer_cast<CAPropertyAnimation>(tb_badge(*view)->layer()->animationForKey(c.key));
        ASSERT_TRUE(animation);
        EXPECT_EQ(animation->keyPath, c.keyPath);
        EXPECT_EQ(tb_badge(*view)->layer()->animationKeys().size(), 1u);
    }
    auto breathe = std::dynamic_pointer_cast<CABasicAnimation>(tb_opacityForever_Animation(1.4f));
    EXPECT_TRUE(breathe->autoreverses);
    EXPECT_FALSE(breathe->removedOnCompletion);
    EXPECT_DOUBLE_EQ(breathe->toValue.doubleValue(), 0.1);
    auto rotation = std::dynamic_pointer_cast<CABasicAnimation>(tb_rotation(2, 3.14f, 1, 4));
    EXPECT_EQ(rotation->keyPath, "transform.rotation.y");
    EXPECT_TRUE(rotation->cumulative);
    EXPECT_EQ(rotation->repeatCount, 4);
    auto layer = std::make_shared<CALayer>();
    layer->setBounds(CGRectMake(0, 0, 40, 20));
    layer->setPosition(CGPointMake(100, 50));
    auto shake = std::dynamic_pointer_cast<CAKeyframeAnimation>(tb_shake_AnimationRepeatTimes(1, 1, layer));
    EXPECT_EQ(shake->values[1].CGPointValue().x, 90);
    auto bounce = std::dynamic_pointer_cast<CAKeyframeAnimation>(tb_bounce_AnimationRepeatTimes(1, 1, layer));
    EXPECT_EQ(bounce->values[3].CGPointValue().y, 55);
    EXPECT_TRUE(shake->removedOnCompletion);
}

TEST_F(TabBarTest, ARealBarsSubviewsAreClassified) {
    appTabs();
    show(tabs);
    auto button = tabs->tbTabBar()->tabBarButtonArray()[0];
    EXPECT_TRUE(tb_isTabButton(*button));
    auto image = tb_tabImageView(button);
    ASSERT_TRUE(image);
    EXPECT_TRUE(std::dynamic_pointer_cast<UITabBarButtonImageView>(image));
    EXPECT_TRUE(tb_tabImageView(image) == image);
    EXPECT_TRUE(std::dynamic_pointer_cast<UITabBarButtonLabel>(tb_tabLabel(button)));
    EXPECT_TRUE(tb_tabBackgroundView(tabs->tabBar()));
    EXPECT_TRUE(tb_tabEffectView(button));  // from 13 the content sits in an effect view
    // A plain image view is never a tab image view; nothing counts as a centre button without one.
    auto plain = std::make_shared<UIImageView>();
    EXPECT_FALSE(tb_isTabImageView(*plain));
    EXPECT_FALSE(tb_isPlusButton(*button));
    EXPECT_FALSE(tb_isMotionAnimationView(*button));
    // Invisibility at alpha 0.01 but not 0.02.
    auto view = host();
    view->setAlpha(0.01);
    EXPECT_TRUE(tb_isInvisiable(*view));
    view->setAlpha(0.02);
    EXPECT_FALSE(tb_isInvisiable(*view));
    // Indices of plain controls are "not found" whatever was stored.
    auto control = std::make_shared<UIControl>();
    tb_setTabBarChildViewControllerIndex(*control, 3);
    EXPECT_EQ(tb_tabBarChildViewControllerIndex(*control), TBNotFound);
    EXPECT_EQ(tb_tabBarItemVisibleIndex(*control), TBNotFound);
}

TEST_F(TabBarTest, TheRedPointIsAddedOnceAndCentresOnTheImagesTopRightCorner) {
    appTabs();
    show(tabs);
    auto button = tabs->tbTabBar()->tabBarButtonArray()[1];
    tb_setTabBadgePointViewOffset(*button, UIOffset{2, 1});
    tb_showTabBadgePoint(*button);
    tb_showTabBadgePoint(*button);
    auto point = tb_tabBadgePointView(*button);
    EXPECT_EQ(std::count(button->subviews().begin(), button->subviews().end(), point), 1);
    EXPECT_EQ(button->constraints().size(), 2u);
    EXPECT_TRUE(tb_isShowTabBadgePoint(*button));
    window->layoutIfNeeded();
    auto image = tb_tabImageView(button);
    const CGRect imageFrame = image->convertRectToView(image->bounds(), button.get());
    EXPECT_DOUBLE_EQ(point->center().x, CGRectGetMaxX(imageFrame) + 2);
    EXPECT_DOUBLE_EQ(point->center().y, imageFrame.origin.y + 1);
    EXPECT_DOUBLE_EQ(point->frame().size.width, 9);

    // A platform badge value (also none) clears the red point and the custom badge.
    const auto& item = navigations[1]->tabBarItem();
    tb_showBadgeValue(*item, std::string("5"));
    EXPECT_TRUE(tb_isShowBadge(*item));
    item->setBadgeValue(std::nullopt);
    EXPECT_FALSE(tb_isShowTabBadgePoint(*button));
    EXPECT_FALSE(tb_isShowBadge(*item));
    tb_showTabBadgePoint(*button);
    item->setBadgeValue(std::string("3"));
    EXPECT_FALSE(tb_isShowTabBadgePoint(*button));
    EXPECT_EQ(item->badgeValue(), "3");
}

TEST_F(TabBarTest, ReplacingTheImageViewByAnEmptyViewSizesItToTheImage) {
    appTabs();
    show(tabs);
    auto button = tabs->tbTabBar()->tabBarButtonArray()[0];
    auto replacement = std::make_shared<UIView>();
    std::vector<std::string> calls;
    auto record = [&](bool replaced, UIControl&, UIViewPtr v) {
        calls.push_back(std::string(replaced ? "yes" : "no") + (v ? " view" : " none"));
    };
    tb_replaceTabImageViewWithNewView(*button, replacement, UIOffset{}, true, record);
    EXPECT_DOUBLE_EQ(replacement->frame().size.width, 30);
    EXPECT_TRUE(tb_tabImageView(button)->isHidden());
    EXPECT_EQ(replacement->superview(), button);
    tb_replaceTabImageViewWithNewView(*button, replacement, UIOffset{}, false, record);
    EXPECT_FALSE(replacement->superview());
    EXPECT_FALSE(tb_tabImageView(button)->isHidden());
    EXPECT_EQ(calls, (std::vector<std::string>{"yes view", "no none"}));
}

// A class that only inherits a method gets its own copy; the superclass keeps its own.
class BadgeHolder : public NSObject {
    NS_CLASS(BadgeHolder, NSObject)
};
class BadgeHolderChild : public BadgeHolder {
    NS_CLASS(BadgeHolderChild, BadgeHolder)
};

TEST_F(TabBarTest, SwizzlingAnInheritedMethodAddsItToTheSubclass) {
    auto answer = [](std::string text) {
        return makeInstanceImp<std::string()>([text](NSObject&) { return text; });
    };
    BadgeHolder::classObject().addMethod("value", answer("base"));
    BadgeHolderChild::classObject().addMethod("tb_value", answer("hook"));
    EXPECT_TRUE(TBSwizzleInstanceMethod(BadgeHolderChild::classObject(), "value", "tb_value"));
    auto base = std::make_shared<BadgeHolder>();
    auto child = std::make_shared<BadgeHolderChild>();
    EXPECT_EQ(invokeMethod<std::string()>(*base, "value"), "base");
    EXPECT_EQ(invokeMethod<std::string()>(*child, "value"), "hook");
    EXPECT_EQ(invokeMethod<std::string()>(*child, "tb_value"), "base");
}

}  // namespace

#include <platform_foundation/NSDataFile.h>
#include <platform_uikit/UIScreenText.h>

namespace {

// The app's three tabs with a "99+" badge, a red point, the selected title
// bracketed, and no hairline row once it is hidden.
TEST_F(TabBarTest, GoldenScreenOfTheAppsTabsWithBadges) {
    appTabs();
    show(tabs);
    tabs->setSelectedIndex(1);
    tb_showBadgeValue(*navigations[0]->tabBarItem(), std::string("100"));
    tb_showTabBadgePoint(*tabs->tbTabBar()->tabBarButtonArray()[2]);
    // Rows of dashes: the navigation bar's hairline, and the tab bar's until it is hidden.
    auto ruledRows = [](const std::string& text) {
        int rows = 0;
        for (std::size_t at = text.find("-----"); at != std::string::npos; at = text.find("-----", text.find('\n', at)))
            ++rows;
        return rows;
    };
    EXPECT_EQ(ruledRows(textSnapshot()), 2);
    tabs->hideTabBarShadowImageView();
    const std::string text = textSnapshot();
    EXPECT_EQ(ruledRows(text), 1);
    EXPECT_NE(text.find("•"), std::string::npos);
    EXPECT_NE(text.find("99+"), std::string::npos);
    EXPECT_NE(text.find("[History]"), std::string::npos);
    const std::string golden = std::string(TEST_SOURCE_DIR) + "/golden/app-tabs-with-badges.txt";
    if (getenv("UPDATE_GOLDEN")) (void)NSDataFile::writeStringToFile(text, golden, true);
    EXPECT_EQ(text, NSDataFile::stringWithContentsOfFile(golden).value_or("(no golden)"));
}

}  // namespace
