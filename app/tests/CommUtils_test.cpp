// The app's colours per appearance and system version, and the hexadecimal colour parser.

#include <app/screens/CommUtils.h>

#include <platform_foundation/NSProcessInfo.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using RGBA = std::array<double, 4>;

void expectColour(const UIColorPtr& colour, RGBA want) {
    ASSERT_NE(colour, nullptr);
    RGBA got = colour->rgba();
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "component " << i;
}

RGBA resolved(const UIColorPtr& colour, UIUserInterfaceStyle style) {
    return colour->resolvedColorWithTraitCollection(*UITraitCollection::traitCollectionWithUserInterfaceStyle(style))
        ->rgba();
}

RGBA of(const UIColorPtr& colour) { return colour->rgba(); }

class ColourTest : public ::testing::Test {
protected:
    void TearDown() override { NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt); }
};

TEST(HexColour, AcceptedAndRefusedForms) {
    const RGBA grey = of(UIColor::grayColor());
    struct Case {
        const char* text;
        float alpha;
        RGBA want;
    } cases[] = {
        {"ff0000", 0.5f, {1, 0, 0, 0.5}},
        {" 0x00FF00\n", 1.0f, {0, 1, 0, 1}},
        {"0X0000ff", 0.25f, {0, 0, 1, 0.25}},
        {"f2F1f1", 1.0f, {242 / 255.0, 241 / 255.0, 241 / 255.0, 1}},
        {"\t\r\n102030 ", 1.0f, {16 / 255.0, 32 / 255.0, 48 / 255.0, 1}},
        // Not accepted: grey at full opacity whatever alpha was asked for.
        {"#ff0000", 0.5f, grey},
        {"fff", 0.5f, grey},
        {"0X12345", 0.5f, grey},
        {"ff0000ff", 0.5f, grey},
        {"", 0.5f, grey},
        {"0x", 0.5f, grey},
        // Six characters whose pairs do not all start with a hex digit: such a pair is 0,
        // a pair with one leading digit is that digit.
        {"ZZ1234", 1.0f, {0, 18 / 255.0, 52 / 255.0, 1}},
        {"1Z00G0", 1.0f, {1 / 255.0, 0, 0, 1}},
        // Lengths count UTF-16 units: "é" is one unit, so this is six and its pair reads as 0.
        {"éa0000", 1.0f, {0, 0, 0, 1}},
        // An astral character takes two units: with four more characters it makes six.
        {"\U0001F600ff00", 1.0f, {0, 1, 0, 1}},
        {"\U0001F600ff000", 1.0f, grey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expectColour(CommUtils::hex(c.text, c.alpha), c.want);
    }
}

TEST_F(ColourTest, DynamicColoursFollowTheStyleFromThirteenOn) {
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{15, 0, 0});
    const RGBA black{0, 0, 0, 1}, white{1, 1, 1, 1}, nearWhite{242 / 255.0, 241 / 255.0, 241 / 255.0, 1};
    const RGBA blue{0, 122 / 255.0, 1, 1};
    struct Case {
        const char* name;
        UIColorPtr colour;
        RGBA light, other;
    } cases[] = {
        {"text", CommUtils::getDarkModeTextColor(), black, white},
        {"background", CommUtils::getDarModeBackgroundColor(), white, black},
        {"history one", CommUtils::getHistoryColorOne(), nearWhite, of(UIColor::darkGrayColor())},
        {"history two", CommUtils::getHistoryColorTwo(), white, of(UIColor::lightGrayColor())},
        {"navigation", CommUtils::getDarkModeNavColor(), blue, black},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.colour->isDynamic());
        auto light = resolved(c.colour, UIUserInterfaceStyleLight);
        auto dark = resolved(c.colour, UIUserInterfaceStyleDark);
        auto unspecified = resolved(c.colour, UIUserInterfaceStyleUnspecified);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(light[i], c.light[i], 1e-6);
            EXPECT_NEAR(dark[i], c.other[i], 1e-6);
            EXPECT_NEAR(unspecified[i], c.other[i], 1e-6);
        }
    }
    // The tab bar text colour is the label colour in every style.
    auto tab = CommUtils::getTabbarTextColor();
    for (auto style : {UIUserInterfaceStyleLight, UIUserInterfaceStyleDark}) {
        auto want = resolved(UIColor::labelColor(), style);
        auto got = resolved(tab, style);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], 1e-6);
    }
}

TEST_F(ColourTest, FixedColoursBeforeThirteen) {
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{12, 4, 0});
    struct Case {
        const char* name;
        UIColorPtr colour;
        RGBA want;
    } cases[] = {
        {"text", CommUtils::getDarkModeTextColor(), {0, 0, 0, 1}},
        {"background", CommUtils::getDarModeBackgroundColor(), {1, 1, 1, 1}},
        {"tab text", CommUtils::getTabbarTextColor(), {1, 1, 1, 1}},
        {"history one", CommUtils::getHistoryColorOne(), {242 / 255.0, 241 / 255.0, 241 / 255.0, 1}},
        {"history two", CommUtils::getHistoryColorTwo(), {1, 1, 1, 1}},
        {"navigation", CommUtils::getDarkModeNavColor(), {0, 122 / 255.0, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.colour->isDynamic());
        // The same in a dark context: nothing follows the style before 13.
        auto dark = resolved(c.colour, UIUserInterfaceStyleDark);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(dark[i], c.want[i], 1e-6);
    }
}

}  // namespace
