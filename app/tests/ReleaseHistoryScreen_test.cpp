// The release history in a window against a loopback TLS catalogue: rows per date (at most
// 50), their content and colours, the last-row flag, offline refresh, and overlapping loads.

#include "CatalogueScreenSupport.h"

#include <app/screens/CUSTimelineCell.h>
#include <app/screens/CommUtils.h>
#include <app/screens/ReleaseHistoryController.h>

#include <platform_runtime/ObjCRuntime.h>

namespace {

using screentest::CatalogueScreenTest;
using screentest::Screen;

// A release list of `dates` days, newest first; day i has releases named by `names`.
std::string releaseList(int dates, const std::vector<std::string>& names = {"A", "B", "C"}) {
    std::string out = "[";
    for (int i = 0; i < dates; ++i) {
        char date[16];
        std::snprintf(date, sizeof date, "2021-%02d-%02d", 12 - (i / 28) % 12, 28 - i % 28);
        if (i) out += ",";
        out += R"({"date":")" + std::string(date) + R"(","releases":[)";
        for (std::size_t r = 0; r < names.size(); ++r) {
            if (r) out += ",";
            out += R"({"name":")" + names[r] + R"(","date":")" + date + R"(","type":"iOS","count":)" +
                   std::to_string(r + 1) + "}";
        }
        out += "]}";
    }
    return out + "]";
}

class ReleaseHistoryTest : public CatalogueScreenTest {
protected:
    void SetUp() override {
        CatalogueScreenTest::SetUp();
        server->routes().Get("/api/ios/v4/releases", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            if (gated) server->loopback().waitAtGate(10);
            res.set_content(answer, "application/json; charset=utf-8");
        });
        start();
    }
    void open() {
        history = std::make_shared<ReleaseHistoryController>();
        screen = std::make_unique<Screen>(history);
        ASSERT_TRUE(waitFor([&] { return hits.load() == 1 && !OVProgressHUD::isVisible(); }));
        screen->settle();
    }
    std::size_t rows() const { return static_cast<std::size_t>(history->mTableview()->numberOfRowsInSection(0)); }

    std::string answer = releaseList(3);
    std::atomic<bool> gated{false};
    std::shared_ptr<ReleaseHistoryController> history;
    std::unique_ptr<Screen> screen;
};

TEST_F(ReleaseHistoryTest, OneRowPerDateAtMostFifty) {
    struct Case {
        int dates;
        std::size_t rows;
    } cases[] = {{0, 0}, {3, 3}, {80, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dates);
        answer = releaseList(c.dates);
        hits = 0;
        open();
        EXPECT_EQ(history->dataArray().size(), c.rows);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(overlayStatus(), std::nullopt);  // no error display
        if (c.rows) EXPECT_EQ(history->dataArray().front()->event(), "2021-12-28");
    }
}

TEST_F(ReleaseHistoryTest, RowsListTheReleasesNewestLastWithAlternatingColours) {
    open();
    ASSERT_EQ(history->dataArray().size(), 3u);
    const auto& first = history->dataArray()[0];
    EXPECT_EQ(first->content(), "C\nB\nA\n");
    EXPECT_EQ(first->event(), "2021-12-28");
    ASSERT_TRUE(first->modelTime());
    EXPECT_EQ(first->modelIcon()->name(), "event");
    const UIColorPtr colours[] = {CommUtils::getHistoryColorOne(), CommUtils::getHistoryColorTwo(),
                                  CommUtils::getHistoryColorOne()};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        auto cell = std::dynamic_pointer_cast<CUSTimelineCell>(
            history->mTableview()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->backgroundColor()->rgba(), colours[row]->rgba());
        EXPECT_EQ(cell->selectionStyle(), UITableViewCellSelectionStyleNone);
        EXPECT_EQ(cell->contentLabel()->text(), "C\nB\nA\n");
        EXPECT_EQ(history->dataArray()[row]->isLast(), row == 2);
        EXPECT_EQ(history->mTableview()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)).size.height,
                  history->dataArray()[row]->cellHeight());
    }
    EXPECT_NE(textSnapshot().find("2021-12-27"), std::string::npos);
}

TEST_F(ReleaseHistoryTest, AnUnparsableDateStillShowsItsText) {
    answer = R"([{"date":"Dec 2021","releases":[]}])";
    open();
    ASSERT_EQ(history->dataArray().size(), 1u);
    EXPECT_EQ(history->dataArray()[0]->event(), "Dec 2021");
    EXPECT_FALSE(history->dataArray()[0]->modelTime());
    EXPECT_EQ(history->dataArray()[0]->content(), "");
}

TEST_F(ReleaseHistoryTest, OfflineRefreshEndsWithoutRowsAndTheErrorShown) {
    open();
    ASSERT_EQ(rows(), 3u);
    NetworkAirplaneMode::setOn(true);
    ASSERT_TRUE(performSelector(history.get(), "refreshData").has_value());
    EXPECT_EQ(rows(), 0u);  // emptied and reloaded at once
    ASSERT_TRUE(waitFor([&] {
        return OVProgressHUD::isVisible() &&
               OVProgressHUD::sharedView()->statusLabel()->text() == NSLocalizedString("networkerrortitle");
    }));
    screen->settle();
    EXPECT_EQ(rows(), 0u);
    EXPECT_TRUE(history->dataArray().empty());
}

TEST_F(ReleaseHistoryTest, OverlappingLoadsNeverDuplicateRows) {
    open();
    gated = true;
    ASSERT_TRUE(performSelector(history.get(), "refreshData").has_value());
    ASSERT_TRUE(performSelector(history.get(), "refreshData").has_value());
    ASSERT_TRUE(waitFor([&] { return hits.load() == 3; }));
    server->loopback().openGate();
    // Both answers arrive; each replaces the rows.
    ASSERT_TRUE(waitFor([&] { return history->dataArray().size() == 3u; }));
    for (int i = 0; i < 20; ++i) screen->settle(0.05);
    EXPECT_EQ(history->dataArray().size(), 3u);
    EXPECT_EQ(rows(), 3u);
}

TEST_F(ReleaseHistoryTest, AnswersThatDoNotMapLeaveTheRows) {
    open();
    for (const char* body : {"{\"a\":1}", "[{\"date\":\"2021-01-01\"}]", "<html>500</html>", ""}) {
        SCOPED_TRACE(body);
        answer = body;
        const int before = hits.load();
        history->requestRHStatus("device");
        ASSERT_TRUE(waitFor([&] { return hits.load() == before + 1; }));
        screen->settle(0.5);
        EXPECT_EQ(history->dataArray().size(), 3u);
        EXPECT_EQ(overlayStatus(), std::nullopt);
    }
}

}  // namespace
