// The timeline row model (height, description) and its cell: frames of the five subviews
// in a 375-point cell, filling from a model, the icon title, and the top-aligned label.

#include "ScreenTestSupport.h"

#include <app/screens/CUSLabel.h>
#include <app/screens/CUSTimelineCell.h>
#include <app/screens/CUSTimelineModel.h>

#include <device_and_dates/DUTimeAgo.h>
#include <platform_uikit/UIImageNamed.h>

#include <cmath>
#include <regex>

namespace {

using screentest::ScreenTest;

// Line height of the 10-point system font the row height is measured in.
double lineHeight10() { return UIFont::systemFontOfSize(10)->lineHeight(); }

class TimelineTest : public ScreenTest {};

TEST_F(TimelineTest, RowHeightFollowsTheContentLines) {
    struct Case {
        const char* name;
        std::optional<std::string> content;
        double lines;
    } cases[] = {
        {"three short lines", "A\nB\nC", 3},
        {"three lines ending in a break", "C\nB\nA\n", 4},
        {"wider than 320 points wraps", std::string(100, 'x'), 2},
        {"one line", "iOS 15.2 (19C56)", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto model = std::make_shared<CUSTimelineModel>();
        model->setContent(c.content);
        EXPECT_DOUBLE_EQ(model->cellHeight(), c.lines * lineHeight10() + 45);
    }
    // An absent content counts as the empty text.
    auto empty = std::make_shared<CUSTimelineModel>();
    EXPECT_DOUBLE_EQ(empty->cellHeight(), CUSTimelineModel::heightForContent(""));
    EXPECT_GE(empty->cellHeight(), 45);
    EXPECT_LE(empty->cellHeight(), 45 + lineHeight10());
}

TEST_F(TimelineTest, DescriptionNamesTheObjectAndItsFields) {
    auto model = std::make_shared<CUSTimelineModel>();
    model->setEvent("2021-12-13");
    model->setContent("iOS 15.2");
    std::string text = model->description();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(<<CUSTimelineModel: 0x[0-9a-f]+> time=\(null\), )"
                                                  R"(event=2021-12-13, content=iOS 15\.2, cellHeight=[0-9]+\.[0-9]{6}>)")))
        << text;
}

TEST_F(TimelineTest, SubviewFramesOfA375PointCell) {
    auto cell = std::make_shared<CUSTimelineCell>(UITableViewCellStyleDefault, "CUSTimelineCell");
    auto model = std::make_shared<CUSTimelineModel>();
    model->setModelTime(NSDate::dateWithTimeIntervalSinceNow(-7200));
    model->setEvent("2021-12-13");
    model->setContent("iOS 15.2\nwatchOS 8.3\n");
    cell->setModel(model);
    cell->setFrame(CGRectMake(0, 0, 375, model->cellHeight()));
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->addSubview(cell);
    window->makeKeyAndVisible();
    (void)textSnapshot();  // one layout and display pass of the window

    const double h = model->cellHeight();
    EXPECT_EQ(cell->pointView()->frame(), CGRectMake(60, 10, 14, 14));
    EXPECT_EQ(cell->lineView()->frame(), CGRectMake(66.5, 0, 1, h));
    const double timeHeight = std::ceil(cell->timeLabel()->sizeThatFits(CGSizeMake(50, 0)).height);
    EXPECT_EQ(cell->timeLabel()->frame(), CGRectMake(10, 17 + 10 - timeHeight / 2, 50, timeHeight));
    const double eventHeight = std::ceil(cell->eventLabel()->intrinsicContentSize().height);
    EXPECT_EQ(cell->eventLabel()->frame(), CGRectMake(75, 17 - eventHeight / 2, 255, eventHeight));
    const CGRect content = cell->contentLabel()->frame();
    EXPECT_EQ(content.origin.x, 75);
    EXPECT_EQ(content.origin.y, cell->eventLabel()->frame().origin.y + 20);
    EXPECT_EQ(content.size.width, 255);
    // Images and placeholder look of a fresh cell.
    ASSERT_NE(cell->lineView()->image(), nullptr);
    EXPECT_EQ(cell->lineView()->image()->name(), "line");
    ASSERT_NE(cell->pointView()->image(), nullptr);
    EXPECT_EQ(cell->pointView()->image()->name(), "point");
    EXPECT_EQ(cell->checkImage(), nullptr);
    auto fresh = std::make_shared<CUSTimelineCell>(UITableViewCellStyleDefault, "x");
    EXPECT_EQ(fresh->timeLabel()->text(), "12:34 PM");
    EXPECT_EQ(fresh->eventLabel()->text(), "Event");
    EXPECT_EQ(fresh->contentLabel()->text(), "Content");
    EXPECT_EQ(fresh->timeLabel()->numberOfLines(), 0);
    EXPECT_EQ(fresh->contentLabel()->font()->pointSize(), 12);
    EXPECT_TRUE(fresh->eventLabel()->font()->isBold());
    window->setHidden(true);
}

TEST_F(TimelineTest, FillingFromAModel) {
    auto cell = std::make_shared<CUSTimelineCell>(UITableViewCellStyleDefault, "CUSTimelineCell");
    auto model = std::make_shared<CUSTimelineModel>();
    const NSDate when = NSDate::dateWithTimeIntervalSinceNow(-3 * 86400.0);
    model->setModelTime(when);
    model->setEvent("2021-12-13");
    model->setContent("B\nA\n");
    model->setIsLast(true);
    cell->lineView()->setHidden(true);
    cell->setModel(model);
    EXPECT_EQ(cell->model(), model);
    EXPECT_EQ(cell->timeLabel()->text(), DUDate::timeAgoSinceNow(when).value_or("?"));
    EXPECT_FALSE(cell->timeLabel()->text().empty());
    EXPECT_EQ(cell->eventLabel()->text(), "2021-12-13");
    EXPECT_EQ(cell->eventLabel()->attributedText()->string(), "2021-12-13");  // no icon, no attachment
    EXPECT_EQ(cell->contentLabel()->text(), "B\nA\n");
    EXPECT_FALSE(cell->lineView()->isHidden());  // the last row keeps its line

    // Without a time the time text is empty.
    auto bare = std::make_shared<CUSTimelineModel>();
    bare->setEvent("not a date");
    cell->setModel(bare);
    EXPECT_EQ(cell->timeLabel()->text(), "");
    EXPECT_EQ(cell->eventLabel()->text(), "not a date");
    EXPECT_EQ(cell->contentLabel()->text(), "");
}

TEST_F(TimelineTest, TitleWithIcon) {
    auto cell = std::make_shared<CUSTimelineCell>(UITableViewCellStyleDefault, "CUSTimelineCell");
    auto icon = UIImageNamed("event");
    ASSERT_NE(icon, nullptr);
    struct Case {
        const char* title;
    } cases[] = {{"2021-12-13"}, {""}, {"ü date"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        NSAttributedStringPtr text;
        ASSERT_NO_THROW(text = cell->title(c.title, icon));
        EXPECT_EQ(text->string(), "\uFFFC " + std::string(c.title));
        auto first = text->attributesAtIndex(0);
        auto attachment = first[Value(NSAttachmentAttributeName)].objectAs<NSTextAttachment>();
        ASSERT_NE(attachment, nullptr);
        EXPECT_EQ(attachment->image, icon);
        EXPECT_EQ(attachment->bounds, CGRectMake(0, -5, 20, 20));
        // The blank carries no font; the title (from index 2) the event label's.
        EXPECT_FALSE(text->attributesAtIndex(1).count(Value(NSFontAttributeName)));
        const std::size_t titleLength = text->length() - 2;
        for (std::size_t i = 2; i < 2 + titleLength; ++i) {
            auto font = text->attributesAtIndex(i)[Value(NSFontAttributeName)].objectAs<UIFont>();
            ASSERT_NE(font, nullptr) << i;
            EXPECT_TRUE(font->isEqual(*cell->eventLabel()->font()));
        }
    }
    // A model with an icon shows the attributed title.
    auto model = std::make_shared<CUSTimelineModel>();
    model->setModelIcon(icon);
    model->setEvent("");
    ASSERT_NO_THROW(cell->setModel(model));
    EXPECT_EQ(cell->eventLabel()->attributedText()->string(), "\uFFFC ");
}

TEST_F(TimelineTest, ContentLabelDrawsFromItsTop) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    auto top = std::make_shared<CUSLabel>(CGRectMake(10, 10, 200.5, 300));
    top->setFont(UIFont::systemFontOfSize(12));
    top->setNumberOfLines(0);
    top->setText("one\ntwo");
    auto emptyCus = std::make_shared<CUSLabel>(CGRectMake(10, 400, 200, 100));
    auto emptyPlain = std::make_shared<UILabel>(CGRectMake(10, 400, 200, 100));
    for (UIViewPtr v : std::vector<UIViewPtr>{top, emptyCus, emptyPlain}) window->addSubview(v);
    window->makeKeyAndVisible();
    (void)textSnapshot();  // lays out and draws every window

    ASSERT_TRUE(top->lastDrawnTextRect());
    const double twoLines = std::ceil(2 * UIFont::systemFontOfSize(12)->lineHeight());
    EXPECT_EQ(*top->lastDrawnTextRect(), CGRectMake(0, 0, 201, twoLines));
    EXPECT_EQ(top->lastDrawnText().text(), "one\ntwo");
    // Without text it draws where a plain label of the same frame draws.
    ASSERT_TRUE(emptyCus->lastDrawnTextRect());
    ASSERT_TRUE(emptyPlain->lastDrawnTextRect());
    EXPECT_EQ(*emptyCus->lastDrawnTextRect(), *emptyPlain->lastDrawnTextRect());
    window->setHidden(true);
}

}  // namespace
