// The device list in a window: its 127 rows, the header naming the running device (from
// injected device sources), and row taps pushing the detail screen of the row's identifier.

#include "ScreenTestSupport.h"

#include <app/screens/DetailViewController.h>
#include <app/screens/InfoTableViewCell.h>
#include <app/screens/ViewController.h>

#include <device_and_dates/DVDeviceInfo.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/UITabBar.h>

namespace {

using screentest::Screen;
using screentest::ScreenTest;

// The process runs as an iPhone 12 (iPhone13,2).
class RunningDevice : public ::testing::Environment {
public:
    void SetUp() override {
        DVDeviceSources sources;
        sources.machineIdentifier = [] { return std::string("iPhone13,2"); };
        sources.systemVersion = [] { return std::string("15.2"); };
        DVDeviceInfo_Common::setSources(sources);
    }
};
const auto* const kRunningDevice = ::testing::AddGlobalTestEnvironment(new RunningDevice);

class DeviceListTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        list = std::static_pointer_cast<ViewController>(NSClassFromString("ViewController")->createInstance());
        screen = std::make_unique<Screen>(list);
    }
    void TearDown() override {
        screen.reset();
        ScreenTest::TearDown();
    }
    std::string rowText(int64_t row) {
        auto table = list->mTableview();
        table->scrollToRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0), UITableViewScrollPositionMiddle, false);
        screen->settle(0);
        auto cell = std::dynamic_pointer_cast<InfoTableViewCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        return cell ? cell->leftLable()->text() : "(no cell)";
    }
    // Taps a row through the window and answers the controller it pushed.
    std::shared_ptr<DetailViewController> tapRow(int64_t row) {
        auto table = list->mTableview();
        table->scrollToRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0), UITableViewScrollPositionMiddle, false);
        screen->settle(0);
        screen->tap(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        return std::dynamic_pointer_cast<DetailViewController>(screen->navigation->topViewController());
    }

    std::shared_ptr<ViewController> list;
    std::unique_ptr<Screen> screen;
};

TEST_F(DeviceListTest, OneSectionOf127RowsInTheListsOrder) {
    auto table = list->mTableview();
    EXPECT_EQ(table->numberOfSections(), 1);
    ASSERT_EQ(table->numberOfRowsInSection(0), 127);
    EXPECT_EQ(list->navigationItem()->title(), NSLocalizedString("apptitle"));
    struct Case {
        int64_t row;
        const char* text;
    } cases[] = {
        {0, "iPhone 1  (iPhone1,1)"},
        {13, "iPhone 6  (iPhone7,2)"},
        {14, "iPhone 6 Plus  (iPhone7,1)"},
        {92, "iPad 8 (10.2-inch, Cellular)  (iPad11,6)"},
        {95, "iPad 8 (10.2-inch, WiFi)  (iPad12,1)"},
        {116, "iPod Touch 1  (iPod1,1)"},
        {126, "Apple TV 4 (2015)  (AppleTV5,3)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(rowText(c.row), c.text);
        EXPECT_EQ(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(c.row, 0)).size.height, 44);
    }
    // Identifiers never repeat.
    std::set<std::string> identifiers;
    for (const Value& row : list->dataArray()) identifiers.insert(row.objectForKey(Value("modelStr")).stringValue());
    EXPECT_EQ(identifiers.size(), 127u);
}

TEST_F(DeviceListTest, HeaderNamesTheRunningDevice) {
    auto header = list->mainV();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(list->mTableview()->tableHeaderView(), header);
    EXPECT_EQ(header->frame(), CGRectMake(0, 0, 375, 70));
    EXPECT_EQ(header->CpuFrqTitleLabel()->text(), NSLocalizedString("yourphonemodel"));
    const std::string model = DVDeviceInfo::deviceInfo()->modelString();
    EXPECT_FALSE(model.empty());
    EXPECT_EQ(header->CpuFrqInfoLabel()->text(), model + " (13,2)");
    EXPECT_NE(textSnapshot().find(model + " (13,2)"), std::string::npos);
}

TEST_F(DeviceListTest, ARowTapPushesItsOwnIdentifierWithoutTheTabBar) {
    // Rows that share a display name open their own identifier; the same row twice opens two screens.
    struct Case {
        int64_t row;
        const char* identifier;
    } cases[] = {{92, "iPad11,6"}, {94, "iPad12,2"}, {0, "iPhone1,1"}, {0, "iPhone1,1"}};
    std::shared_ptr<DetailViewController> previous;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        auto detail = tapRow(c.row);
        ASSERT_NE(detail, nullptr);
        EXPECT_NE(detail, previous);
        EXPECT_EQ(detail, list->detailVC());
        EXPECT_EQ(detail->requestStr(), c.identifier);
        EXPECT_TRUE(detail->hidesBottomBarWhenPushed());
        EXPECT_TRUE(screen->tabs->tabBar()->isHidden());
        EXPECT_FALSE(list->mTableview()->indexPathForSelectedRow());  // deselected
        screen->navigation->popViewControllerAnimated(false);
        screen->settle();
        previous = detail;
    }
}

}  // namespace
