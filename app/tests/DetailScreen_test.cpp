// The firmware detail screen in a window against a loopback TLS catalogue: row order and
// texts, the favourite star, the background-refresh warning, the offline error, and loads
// that fail or do not map keeping what is shown.

#include "CatalogueScreenSupport.h"

#include <app/screens/DetailViewController.h>
#include <app/screens/InfoTableViewCell.h>

#include <platform_runtime/ObjCRuntime.h>

namespace {

using screentest::CatalogueScreenTest;
using screentest::Screen;

std::string firmware(const char* version, const char* build, bool isSigned) {
    return std::string(R"({"buildid":")") + build + R"(","identifier":"iPhone10,3","md5sum":"m","sha1sum":"s",)" +
           R"("signed":)" + (isSigned ? "true" : "false") +
           R"(,"filesize":"1","uploaddate":"u","url":"https://x.invalid/f","version":")" + version + R"("})";
}

const std::string kDocument = R"({"boardconfig":"D22AP","bdid":"6","cpid":"32789","identifier":"iPhone10,3",)"
                              R"("name":"iPhone X","platform":"t8015","firmwares":[)" +
                              firmware("11.2.6", "15D100", true) + "," + firmware("11.2.5", "15D60", false) + "," +
                              firmware("11.2.1", "15C153", true) + "]}";

class DetailScreenTest : public CatalogueScreenTest {
protected:
    void SetUp() override {
        CatalogueScreenTest::SetUp();
        server->routes().Get("/api/ios/v4/device/iPhone10,3", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            if (gated) server->loopback().waitAtGate(10);
            res.set_content(answer, "application/json; charset=utf-8");
        });
        start();
    }
    // A detail screen for the identifier, shown; waits for its first load when asked.
    std::shared_ptr<DetailViewController> open(bool waitForLoad = true) {
        detail = std::make_shared<DetailViewController>();
        detail->setRequestStr("iPhone10,3");
        screen = std::make_unique<Screen>(detail);
        if (waitForLoad) EXPECT_TRUE(waitFor([&] { return detail->navigationItem()->title().has_value(); }));
        screen->settle();
        return detail;
    }
    std::string starImage() const { return detail->favButton()->imageForState(UIControlStateNormal)->name(); }
    void tapStar() { screen->tap(detail->favButton()); }

    std::string answer = kDocument;
    std::atomic<bool> gated{false};
    std::shared_ptr<DetailViewController> detail;
    std::unique_ptr<Screen> screen;
};

TEST_F(DetailScreenTest, SignedBuildsFirstWithTheirMarks) {
    open();
    EXPECT_EQ(detail->navigationItem()->title(), "iPhone X");
    EXPECT_EQ(detail->validCountStr(), "2");
    ASSERT_EQ(detail->dataArray().size(), 3u);
    const char* builds[] = {"15D100", "15C153", "15D60"};
    const char* texts[] = {"11.2.6  (15D100)", "11.2.1  (15C153)", "11.2.5  (15D60)"};
    const char* marks[] = {"✅", "✅", "❌"};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(detail->dataArray()[row]->buildid(), builds[row]);
        auto cell = std::dynamic_pointer_cast<InfoTableViewCell>(
            detail->mTableview()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->leftLable()->text(), texts[row]);
        EXPECT_EQ(cell->rightLabel()->text(), marks[row]);
        EXPECT_EQ(detail->mTableview()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)).size.height, 44);
    }
    const std::string text = textSnapshot();
    EXPECT_NE(text.find("11.2.6  (15D100)"), std::string::npos) << text;
    EXPECT_NE(text.find("iPhone X"), std::string::npos) << text;
    EXPECT_EQ(overlayStatus(), std::nullopt);  // the loading overlay is gone
    EXPECT_EQ(starImage(), "ECBusLineStarOff");
}

TEST_F(DetailScreenTest, TheStarSetsClearsAndReplacesTheFavourite) {
    ECUserDefaultsUtil::setFavModel("iPhone8,1");
    ECUserDefaultsUtil::setValidCount("5");
    open();
    EXPECT_EQ(starImage(), "ECBusLineStarOff");
    struct Step {
        const char* name;
        std::string favourite, count, image;
    } steps[] = {
        {"replaces the other device", "iPhone10,3", "2", "ECBusLineStarOn"},
        {"clears to empty texts", "", "", "ECBusLineStarOff"},
        {"sets again with the shown count", "iPhone10,3", "2", "ECBusLineStarOn"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        tapStar();
        EXPECT_EQ(ECUserDefaultsUtil::favModelStr(), s.favourite);
        EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), s.count);
        EXPECT_EQ(starImage(), s.image);
    }
    // A new screen of the favourite shows the full star and stores the count it shows.
    ECUserDefaultsUtil::setValidCount("9");
    open();
    EXPECT_EQ(starImage(), "ECBusLineStarOn");
    EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), "2");
}

TEST_F(DetailScreenTest, FavouriteBeforeTheFirstLoadStoresTheCountOnlyOnceLoaded) {
    ECUserDefaultsUtil::setValidCount("7");
    gated = true;
    open(false);
    ASSERT_TRUE(waitFor([&] { return hits.load() == 1; }));
    tapStar();
    EXPECT_EQ(ECUserDefaultsUtil::favModelStr(), "iPhone10,3");
    EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), "7");  // nothing counted yet
    server->loopback().openGate();
    ASSERT_TRUE(waitFor([&] { return detail->validCountStr().has_value(); }));
    EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), "2");
}

TEST_F(DetailScreenTest, BackgroundRefreshOffWarnsWhenTheStarIsSet) {
    UIApplication::sharedApplication()->setBackgroundRefreshStatus(UIBackgroundRefreshStatusDenied);
    open();
    tapStar();
    EXPECT_EQ(overlayStatus(), NSLocalizedString("backgroundUnavaiable"));
    EXPECT_EQ(ECUserDefaultsUtil::favModelStr(), "iPhone10,3");  // set all the same
    OVProgressHUD::dismiss();
    ManualClock::advance(1);
    tapStar();  // clearing says nothing
    EXPECT_EQ(overlayStatus(), std::nullopt);
    // With background refresh available, setting says nothing either.
    UIApplication::sharedApplication()->setBackgroundRefreshStatus(UIBackgroundRefreshStatusAvailable);
    tapStar();
    EXPECT_EQ(overlayStatus(), std::nullopt);
}

TEST_F(DetailScreenTest, OfflineShowsTheNetworkErrorAndKeepsTheRows) {
    NetworkAirplaneMode::setOn(true);
    open(false);
    ASSERT_TRUE(waitFor([&] { return OVProgressHUD::isVisible() &&
                                     OVProgressHUD::sharedView()->statusLabel()->text() ==
                                         NSLocalizedString("networkerrortitle"); }));
    EXPECT_TRUE(detail->dataArray().empty());
    EXPECT_FALSE(detail->navigationItem()->title());
    EXPECT_EQ(hits.load(), 0);
}

TEST_F(DetailScreenTest, LoadsThatFailOrDoNotMapKeepRowsAndTitle) {
    open();
    struct Case {
        const char* name;
        std::string body;
    } cases[] = {
        {"missing required key", R"({"name":"Other","firmwares":[]})"},
        {"truncated JSON", kDocument.substr(0, kDocument.size() / 2)},
        {"an array", "[1,2,3]"},
        {"empty body", ""},
        {"wrong types", R"({"boardconfig":1,"bdid":"6","cpid":"1","identifier":"x","name":"Other","platform":"p","firmwares":{"a":1}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answer = c.body;
        const int before = hits.load();
        ASSERT_TRUE(performSelector(detail.get(), "refreshData").has_value());
        ASSERT_TRUE(waitFor([&] { return hits.load() == before + 1; }));
        screen->settle(0.5);
        ASSERT_TRUE(waitFor([&] { return !OVProgressHUD::isVisible(); }));
        EXPECT_EQ(detail->navigationItem()->title(), "iPhone X");
        EXPECT_EQ(detail->dataArray().size(), 3u);
        EXPECT_EQ(detail->validCountStr(), "2");
    }
}

}  // namespace
