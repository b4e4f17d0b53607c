// Geometry shorthands, effective insets (run once with adjusted insets and
// once without), item counts, language folders, the language notification
// and the order of text lookups.

#include "WidgetTestSupport.h"

#include <ui_widgets/RFRefreshConfig.h>
#include <ui_widgets/RFRefreshConst.h>
#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshLabel.h>
#include <ui_widgets/RFRefreshResources.h>

#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_uikit/UIDevice.h>

#include <filesystem>

using namespace widgets_test;

namespace {

class GeometryTest : public WidgetTest {};

TEST_F(GeometryTest, EffectiveInsetWriterAccountsForWhatTheSystemAdds) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->makeKeyAndVisible();
    auto scroll = std::make_shared<UIScrollView>(window->bounds());
    scroll->setContentSize(CGSizeMake(375, 2000));
    window->addSubview(scroll);
    window->layoutIfNeeded();
    const bool adjusted = UIKitIsAvailable(11);
    EXPECT_EQ(rf_scrollViewHasAdjustedInset(), adjusted);
    double system = adjusted ? scroll->adjustedContentInset().top - scroll->contentInset().top : 0;
    if (adjusted) {
        EXPECT_GT(system, 0);  // the status bar's safe area
    }

    rf_setInsetT(*scroll, 74);
    EXPECT_EQ(scroll->contentInset().top, 74 - system);
    EXPECT_EQ(rf_insetT(*scroll), 74);
    rf_setInsetB(*scroll, 10);
    EXPECT_EQ(rf_insetB(*scroll), 10);
    rf_setInsetL(*scroll, 3);
    rf_setInsetR(*scroll, 4);
    EXPECT_EQ(rf_inset(*scroll).left, 3);
    EXPECT_EQ(rf_inset(*scroll).right, 4);
    window->setHidden(true);
}

TEST_F(GeometryTest, FrameAndScrollShorthands) {
    auto view = std::make_shared<UIScrollView>(CGRectMake(1, 2, 3, 4));
    rf_setX(*view, 10);
    rf_setY(*view, 20);
    rf_setW(*view, 30);
    rf_setH(*view, 40);
    EXPECT_EQ(view->frame(), CGRectMake(10, 20, 30, 40));
    rf_setOrigin(*view, CGPointMake(5, 6));
    rf_setSize(*view, CGSizeMake(7, 8));
    EXPECT_EQ(view->frame(), CGRectMake(5, 6, 7, 8));
    rf_setContentW(*view, 100);
    rf_setContentH(*view, 200);
    EXPECT_EQ(view->contentSize(), CGSizeMake(100, 200));
    rf_setOffsetX(*view, 11);
    rf_setOffsetY(*view, 12);
    EXPECT_EQ(view->contentOffset(), CGPointMake(11, 12));
}

TEST_F(GeometryTest, ItemCounts) {
    struct Sections : UITableViewDataSource {
        int64_t numberOfSectionsInTableView(UITableView&) override { return 2; }
        int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) override { return section == 0 ? 3 : 4; }
        UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView&, NSIndexPath) override {
            return std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "c");
        }
    };
    auto source = std::make_shared<Sections>();
    auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 375, 600));
    table->setDataSource(source);
    table->reloadData();
    EXPECT_EQ(rf_totalDataCount(*table), 7);
    EXPECT_EQ(rf_totalDataCount(UIScrollView(CGRectMake(0, 0, 10, 10))), 0);
}

TEST_F(GeometryTest, LanguageFolders) {
    struct Case {
        std::optional<std::string> language;
        const char* folder;
    };
    const Case cases[] = {{"zh-Hant-HK", "zh-Hant"}, {"zh-Hans-CN", "zh-Hans"}, {"zh-HK", "zh-Hant"}, {"pt-BR", "en"},
                          {std::nullopt, "en"},       {"en-GB", "en"},           {"ko-KR", "ko"},      {"ru", "ru"},
                          {"uk-UA", "uk"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language.value_or("nil"));
        EXPECT_EQ(rf_defaultI18nFolderForLanguage(c.language), c.folder);
        auto bundle = rf_defaultI18nBundleWithLanguage(c.language);
        ASSERT_NE(bundle, nullptr);
        EXPECT_EQ(std::filesystem::path(bundle->bundlePath()).filename().string(), std::string(c.folder) + ".lproj");
    }
}

TEST_F(GeometryTest, EveryLanguageTableHasEveryKey) {
    const char* keys[] = {RFRefreshHeaderIdleText,          RFRefreshHeaderPullingText,       RFRefreshHeaderRefreshingText,
                          RFRefreshHeaderLastTimeText,      RFRefreshHeaderDateTodayText,     RFRefreshHeaderNoneLastDateText,
                          RFRefreshAutoFooterIdleText,      RFRefreshAutoFooterRefreshingText, RFRefreshAutoFooterNoMoreDataText,
                          RFRefreshBackFooterIdleText,      RFRefreshBackFooterPullingText,   RFRefreshBackFooterRefreshingText,
                          RFRefreshBackFooterNoMoreDataText, RFRefreshTrailerIdleText,        RFRefreshTrailerPullingText};
    for (const char* language : {"en", "zh-Hans", "zh-Hant", "ko", "ru", "uk"}) {
        auto bundle = rf_defaultI18nBundleWithLanguage(std::string(language));
        ASSERT_NE(bundle, nullptr) << language;
        for (const char* key : keys) EXPECT_NE(bundle->localizedStringForKey(key, ""), key) << language << " " << key;
    }
    EXPECT_NE(rf_arrowImage(), nullptr);
    EXPECT_TRUE(rf_arrowImage()->isTemplate());
    EXPECT_EQ(rf_arrowImage()->scale(), 2);
    EXPECT_NE(rf_trailArrowImage(), nullptr);
}

TEST_F(GeometryTest, OneNotificationPerRealLanguageChange) {
    auto config = RFRefreshConfig::defaultConfig();
    int posts = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        RFRefreshDidChangeLanguageNotification, Value(), nullptr, [&](const NSNotification&) { ++posts; });
    config->setLanguageCode("ru");
    config->setLanguageCode("ru");
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(rf_localizedStringForKey(RFRefreshHeaderDateTodayText), "Сегодня");
    config->setLanguageCode("ko");
    EXPECT_EQ(posts, 2);
    EXPECT_EQ(rf_localizedStringForKey(RFRefreshHeaderDateTodayText), "오늘");
    config->setLanguageCode(std::nullopt);  // back to the user's languages; nil never counts as equal
    config->setLanguageCode(std::nullopt);
    EXPECT_EQ(posts, 4);
    EXPECT_EQ(rf_localizedStringForKey(RFRefreshHeaderDateTodayText), "Today");
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(GeometryTest, LookupOrderAppBundleThenRefreshBundleThenValueThenKey) {
    // An app bundle with its own English table that overrides one key.
    std::string root = NSSandbox::rootPath() + "/appbundle";
    std::filesystem::create_directories(root + "/en.lproj");
    ASSERT_TRUE(NSDataFile::writeStringToFile("\"RFRefreshHeaderIdleText\" = \"Pull, friend\";\n",
                                              root + "/en.lproj/Localizable.strings", true));
    auto config = RFRefreshConfig::defaultConfig();
    config->setI18nBundle(NSBundle::bundleWithPath(root));
    config->setLanguageCode("en-US");
    config->setLanguageCode("en");  // rebuilds the language bundle from the new base
    EXPECT_EQ(rf_localizedStringForKey(RFRefreshHeaderIdleText), "Pull, friend");
    EXPECT_EQ(rf_localizedStringForKey(RFRefreshHeaderPullingText), "Release to refresh");
    EXPECT_EQ(rf_localizedStringForKey("NoSuchKey", std::string("fallback")), "fallback");
    EXPECT_EQ(rf_localizedStringForKey("NoSuchKey"), "NoSuchKey");
    config->setI18nBundle(nullptr);
    config->setLanguageCode(std::nullopt);
}

TEST_F(GeometryTest, LabelFactoryAndTextWidth) {
    auto label = rf_label();
    EXPECT_EQ(label->font()->pointSize(), 14);
    EXPECT_EQ(label->textAlignment(), NSTextAlignmentCenter);
    EXPECT_EQ(rf_textWidth(*label), 0.0);
    label->setText("Pull down to refresh");
    double width = rf_textWidth(*label);
    EXPECT_GT(width, 50);
    label->setText("Pull down to refresh, and more");
    EXPECT_GT(rf_textWidth(*label), width);
}

}  // namespace
