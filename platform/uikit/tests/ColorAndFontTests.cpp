#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UIScreen.h>

#include <gtest/gtest.h>

namespace {

TEST(UIColor, ComponentsAreClampedAndCompareByValue) {
    auto c = UIColor::colorWithRed(1.5, -0.2, 0.25, 0.5);
    double r, g, b, a;
    ASSERT_TRUE(c->getRed(&r, &g, &b, &a));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0.25);
    EXPECT_EQ(a, 0.5);
    EXPECT_TRUE(c->isEqual(*UIColor::colorWithRed(1, 0, 0.25, 0.5)));
    EXPECT_FALSE(c->isEqual(*UIColor::colorWithRed(1, 0, 0.25, 0.6)));
    EXPECT_TRUE(UIColor::redColor()->isEqual(*UIColor::colorWithRed(1, 0, 0, 1)));
    EXPECT_TRUE(UIColorsEqual(nullptr, nullptr));
    EXPECT_FALSE(UIColorsEqual(UIColor::redColor(), nullptr));
    EXPECT_EQ(UIColor::colorWithWhite(0.5, 1)->rgba8(), (std::array<uint8_t, 4>{128, 128, 128, 255}));
    EXPECT_EQ(UIColor::colorWithHue(0, 1, 1, 1)->rgba8(), (std::array<uint8_t, 4>{255, 0, 0, 255}));
    EXPECT_EQ(UIColor::colorWithHue(1.0 / 3, 1, 1, 1)->rgba8(), (std::array<uint8_t, 4>{0, 255, 0, 255}));
    EXPECT_EQ(UIColor::redColor()->colorWithAlphaComponent(0.2)->alpha(), 0.2);
    EXPECT_EQ(UIColor::colorNamed("nope"), nullptr);
    EXPECT_EQ(UIColor::colorNamed("systemBlueColor"), UIColor::systemBlueColor());
}

TEST(UIColor, DynamicColoursFollowTheStyleTheyAreResolvedAgainst) {
    struct Case {
        UIColorPtr color;
        std::array<uint8_t, 4> light, dark;
    };
    const Case cases[] = {
        {UIColor::systemBackgroundColor(), {255, 255, 255, 255}, {0, 0, 0, 255}},
        {UIColor::labelColor(), {0, 0, 0, 255}, {255, 255, 255, 255}},
        {UIColor::systemBlueColor(), {0, 122, 255, 255}, {10, 132, 255, 255}},
        {UIColor::secondaryLabelColor(), {60, 60, 67, 153}, {235, 235, 245, 153}},
        {UIColor::systemBlueColor()->colorWithAlphaComponent(0.5), {0, 122, 255, 128}, {10, 132, 255, 128}},
    };
    auto screen = UIScreen::mainScreen();
    for (auto& c : cases) {
        SCOPED_TRACE(c.color->description());
        EXPECT_TRUE(c.color->isDynamic());
        screen->setUserInterfaceStyle(UIUserInterfaceStyleLight);
        EXPECT_EQ(c.color->rgba8(), c.light);
        screen->setUserInterfaceStyle(UIUserInterfaceStyleDark);
        EXPECT_EQ(c.color->rgba8(), c.dark);
        {
            UITraitCollection::Scope scope(
                UITraitCollection::traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyleLight));
            EXPECT_EQ(c.color->rgba8(), c.light);
        }
        auto resolved = c.color->resolvedColorWithTraitCollection(
            *UITraitCollection::traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyleLight));
        EXPECT_FALSE(resolved->isDynamic());
        EXPECT_EQ(resolved->rgba8(), c.light);
    }
    screen->setUserInterfaceStyle(UIUserInterfaceStyleLight);
    // Dynamic colours are equal only to themselves.
    EXPECT_TRUE(UIColor::labelColor()->isEqual(*UIColor::labelColor()));
    EXPECT_FALSE(UIColor::labelColor()->isEqual(*UIColor::blackColor()));
    // A provider answering nothing resolves to clear instead of failing.
    auto broken = UIColor::colorWithDynamicProvider([](const UITraitCollection&) { return UIColorPtr(); });
    EXPECT_EQ(broken->alpha(), 0);
}

TEST(UIFont, TextStylesSizesAndMetrics) {
    struct Case {
        UIFontTextStyle style;
        double size;
        bool bold;
    };
    const Case cases[] = {{UIFontTextStyleBody, 17, false},    {UIFontTextStyleSubheadline, 15, false},
                          {UIFontTextStyleFootnote, 13, false}, {UIFontTextStyleCaption1, 12, false},
                          {UIFontTextStyleHeadline, 17, true},  {"unknown", 17, false}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.style);
        auto font = UIFont::preferredFontForTextStyle(c.style);
        EXPECT_EQ(font->pointSize(), c.size);
        EXPECT_EQ(font->isBold(), c.bold);
    }
    auto font = UIFont::fontWithName("Avenir-Heavy", 20);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->fontName(), "Avenir-Heavy");
    EXPECT_EQ(font->familyName(), "Avenir");
    EXPECT_DOUBLE_EQ(font->ascender(), 19);
    EXPECT_DOUBLE_EQ(font->descender(), -5);
    EXPECT_DOUBLE_EQ(font->lineHeight(), 24);
    EXPECT_EQ(UIFont::fontWithName("", 12), nullptr);
    EXPECT_EQ(UIFont::fontWithName("X", 0), nullptr);
    EXPECT_TRUE(UIFont::systemFontOfSize(12)->isEqual(*UIFont::systemFontOfSize(12)));
    EXPECT_FALSE(UIFont::systemFontOfSize(12)->isEqual(*UIFont::boldSystemFontOfSize(12)));
    EXPECT_TRUE(UIFont::systemFontOfSize(12, UIFontWeightBold)->isBold());
    EXPECT_EQ(UIFont::boldSystemFontOfSize(12)->fontWithSize(30)->pointSize(), 30);
}

}  // namespace
