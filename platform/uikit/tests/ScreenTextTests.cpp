#include <platform_uikit/UIScreenText.h>

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIBarButtonItem.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UINavigationBar.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIProgressView.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITableViewController.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIVisualEffectView.h>
#include <platform_uikit/UIWindow.h>
#include <platform_uikit/WKWebView.h>

#include <platform_dispatch/ManualClock.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A list of "Row 0", "Row 1", ... in default cells.
class RowsController : public UITableViewController {
    NS_CLASS(RowsController, UITableViewController)
public:
    int64_t count = 0;
    void viewDidLoad() override {
        UITableViewController::viewDidLoad();
        tableView()->registerClass<UITableViewCell>("row");
    }
    int64_t numberOfSectionsInTableView(UITableView&) override { return 1; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return count; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row", path);
        cell->textLabel()->setText("Row " + std::to_string(path.row));
        return cell;
    }
};

// A shown window on the manual clock, and views placed on it.
class ScreenText : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install();
        UIApplication::sharedApplication()->resetForTesting();
        window = UIWindow::windowWithFrame(UIScreen::mainScreen()->bounds());
        root = std::make_shared<UIViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        root->view()->setBackgroundColor(UIColor::whiteColor());
    }
    void TearDown() override {
        window->setHidden(true);
        UIApplication::sharedApplication()->resetForTesting();
        ManualClock::uninstall();
    }
    template <class V>
    std::shared_ptr<V> add(std::shared_ptr<V> view, CGRect frame, const UIViewPtr& parent = nullptr) {
        view->setFrame(frame);
        (parent ? parent : root->view())->addSubview(view);
        return view;
    }
    std::shared_ptr<UILabel> label(const std::string& text, CGRect frame, const UIViewPtr& parent = nullptr) {
        auto l = add(std::make_shared<UILabel>(), frame, parent);
        l->setText(text);
        return l;
    }
    // A named square image with pixels.
    static UIImagePtr bitmap(const std::string& name, int side) {
        std::vector<uint8_t> rgba(static_cast<std::size_t>(side * side * 4), 255);
        auto image = UIImage::imageWithCGImage(
            std::make_shared<CGImage>(side, side, 8, kCGColorSpaceModelRGB, kCGImageAlphaLast, rgba), 1,
            UIImageOrientationUp);
        image->setName(name);
        return image;
    }
    static UIImagePtr named(const std::string& name) {
        auto image = std::make_shared<UIImage>();
        image->setName(name);
        return image;
    }
    // The rows of the snapshot from `first` to `last`, joined.
    static std::string rows(const UIScreenText& screen, int first, int last) {
        std::string out;
        for (int r = first; r <= last; ++r) out += screen.lines.at(static_cast<std::size_t>(r)) + "\n";
        return out;
    }

    UIWindowPtr window;
    UIViewControllerPtr root;
};

TEST_F(ScreenText, GridIsTheScreenInFiveByTwentyTwoCells) {
    auto screen = UIScreenTextCapture();
    EXPECT_EQ(screen.columns, 75);
    EXPECT_EQ(screen.rows, 37);
    ASSERT_EQ(screen.lines.size(), 37u);
    for (const auto& line : screen.lines) EXPECT_EQ(line, "");
}

TEST_F(ScreenText, LabelsButtonsImagesAndIndicators) {
    label("Hello", CGRectMake(20, 100, 200, 30));
    auto centred = label("Centre", CGRectMake(0, 130, 375, 30));
    centred->setTextAlignment(NSTextAlignmentCenter);
    auto right = label("Right", CGRectMake(0, 160, 375, 30));
    right->setTextAlignment(NSTextAlignmentRight);
    auto twoLines = label("first line second line", CGRectMake(20, 200, 110, 50));
    twoLines->setNumberOfLines(0);
    auto open = add(std::make_shared<UIButton>(), CGRectMake(20, 260, 100, 40));
    open->setTitle("Open", UIControlStateNormal);
    auto off = add(std::make_shared<UIButton>(), CGRectMake(200, 260, 100, 40));
    off->setTitle("Off", UIControlStateNormal);
    off->setEnabled(false);
    add(std::make_shared<UIImageView>(named("star")), CGRectMake(20, 310, 60, 20));
    add(std::make_shared<UIImageView>(named("a-very-long-name")), CGRectMake(100, 310, 20, 20));
    add(std::make_shared<UIImageView>(std::make_shared<UIImage>()), CGRectMake(200, 310, 60, 20));
    auto spinner = add(std::make_shared<UIActivityIndicatorView>(), CGRectMake(20, 340, 20, 20));
    spinner->startAnimating();
    auto progress = add(std::make_shared<UIProgressView>(), CGRectMake(100, 340, 100, 4));
    progress->setProgress(0.5f);
    auto dot = add(std::make_shared<UIView>(), CGRectMake(300, 340, 10, 10));
    dot->setBackgroundColor(UIColor::redColor());
    label("宽字 wide", CGRectMake(20, 380, 200, 20));

    auto screen = UIScreenTextCapture();
    // Rows are 22 points: "Hello" (y 100...130) centres on row 5; the two-line label is cut
    // to its height and ends in the ellipsis its layout drew.
    EXPECT_EQ(rows(screen, 4, 18),
              "\n"
              "    Hello\n"
              "                               Centre\n"
              "                                                                Right\n"
              "\n"
              "    first line\n"
              "    second li…\n"
              "\n"
              "    [    Open          ]                      Off\n"
              "\n"
              "       <star>         #                   <image>\n"
              "      *             [#########---------]                     •\n"
              "\n"
              "    宽字 wide\n"
              "\n");
    // Identical on every capture.
    EXPECT_EQ(UIScreenTextCapture().text(), screen.text());
}

// Text lines are shorter than the screen's rows: a wrapped label's lines each get a row of
// their own within the label, and the last one that fits ends in "…" when rows run out.
TEST_F(ScreenText, WrappedLinesOfALabelDoNotShareARow) {
    auto tall = label("3 years ago", CGRectMake(10, 93, 50, 44));
    tall->setFont(UIFont::boldSystemFontOfSize(12));
    tall->setTextAlignment(NSTextAlignmentCenter);
    tall->setNumberOfLines(0);
    auto shortOne = label("one two three", CGRectMake(200, 110, 30, 22));
    shortOne->setFont(UIFont::systemFontOfSize(12));
    shortOne->setNumberOfLines(0);
    EXPECT_EQ(rows(UIScreenTextCapture(), 4, 6),
              "      3\n"
              "   years                                one…\n"
              "    ago\n");
}

TEST_F(ScreenText, AttachmentsAndCombiningMarks) {
    auto text = std::make_shared<NSMutableAttributedString>("Go ");
    auto attachment = std::make_shared<NSTextAttachment>();
    attachment->image = named("star");
    attachment->bounds = CGRectMake(0, 0, 10, 10);
    text->appendAttributedString(*NSAttributedString::attributedStringWithAttachment(attachment));
    text->appendAttributedString(NSAttributedString(" now"));
    label("", CGRectMake(20, 100, 300, 20))->setAttributedText(text);
    label("cafe\u0301 \u00e9t\u00e9", CGRectMake(20, 130, 300, 20));
    auto screen = UIScreenTextCapture();
    EXPECT_EQ(screen.lines[5], "    Go <star> now");
    EXPECT_EQ(screen.lines[6], "    cafe\u0301 \u00e9t\u00e9");
    EXPECT_NE(screen.elementWithText("Go <star> now"), nullptr);
}

TEST_F(ScreenText, HiddenTransparentClippedAndFarViewsPrintNothing) {
    label("hidden", CGRectMake(20, 100, 200, 20))->setHidden(true);
    label("faint", CGRectMake(20, 130, 200, 20))->setAlpha(0.01);
    auto clipper = add(std::make_shared<UIView>(), CGRectMake(20, 160, 30, 20));
    clipper->setClipsToBounds(true);
    label("clipped away", CGRectMake(0, 0, 200, 20), clipper);
    label("far", CGRectMake(3.4e38, 3.4e38, 200, 20));
    label("nan", CGRectMake(std::numeric_limits<double>::quiet_NaN(), 200, 200, 20));
    label("left of the screen", CGRectMake(-80, 200, 200, 20));

    auto screen = UIScreenTextCapture();
    // What is left of the screen's edge is cut there.
    EXPECT_EQ(rows(screen, 4, 9),
              "\n"
              "\n"
              "\n"
              "    clippe\n"
              "\n"
              "en\n");
    EXPECT_EQ(screen.elementWithText("far"), nullptr);
    EXPECT_EQ(screen.elementWithText("hidden"), nullptr);
}

TEST_F(ScreenText, OpaqueBackgroundsBlankWhatIsBehind) {
    label("behind the cover and beside it", CGRectMake(20, 100, 300, 20));
    auto cover = add(std::make_shared<UIView>(), CGRectMake(0, 90, 100, 40));
    cover->setBackgroundColor(UIColor::blackColor());
    auto seeThrough = add(std::make_shared<UIView>(), CGRectMake(0, 140, 375, 40));
    seeThrough->setBackgroundColor(UIColor::blackColor()->colorWithAlphaComponent(0.5));
    label("under glass", CGRectMake(20, 150, 300, 20));
    auto screen = UIScreenTextCapture();
    EXPECT_EQ(rows(screen, 4, 7),
              "\n"
              "                     and beside…\n"
              "\n"
              "    under glass\n");
}

TEST_F(ScreenText, PanelsWebTextShadowsAndTheNetworkIndicator) {
    auto panel = add(std::make_shared<UIVisualEffectView>(UIBlurEffect::effectWithStyle(UIBlurEffectStyleLight)),
                     CGRectMake(50, 100, 150, 88));
    panel->layer()->setCornerRadius(12);
    label("Alert", CGRectMake(10, 20, 100, 20), panel->contentView());
    auto web = add(std::make_shared<WKWebView>(), CGRectMake(0, 300, 100, 88));
    web->loadHTMLString("<html><head><title>T</title><style>p{}</style></head><body><h1>Title</h1>"
                        "<p>One &amp; two</p>three<br>four</body></html>",
                        nullptr);
    UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(true);

    auto screen = UIScreenTextCapture();
    EXPECT_EQ(screen.lines[1], " *");
    EXPECT_EQ(rows(screen, 4, 8),
              "          +----------------------------+\n"
              "          | Alert                      |\n"
              "          |                            |\n"
              "          |                            |\n"
              "          +----------------------------+\n");
    EXPECT_EQ(rows(screen, 13, 17),
              "Title\n"
              "One & two\n"
              "three\n"
              "four\n"
              "\n");
    ASSERT_NE(screen.elementWithText("One & two"), nullptr);
    EXPECT_EQ(screen.elementWithText("One & two")->kind, UIScreenElementKind::Web);
    UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(false);
    EXPECT_EQ(UIScreenTextCapture().lines[1], "");
}

TEST_F(ScreenText, ElementsSayWhatCanBeTapped) {
    auto open = add(std::make_shared<UIButton>(), CGRectMake(20, 260, 100, 40));
    open->setTitle("Open", UIControlStateNormal);
    open->setSelected(true);
    auto off = add(std::make_shared<UIButton>(), CGRectMake(200, 260, 100, 40));
    off->setTitle("Off", UIControlStateNormal);
    off->setEnabled(false);
    label("Plain", CGRectMake(20, 100, 100, 20));
    auto tapped = label("Tap me", CGRectMake(20, 130, 100, 20));
    tapped->setUserInteractionEnabled(true);
    tapped->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>());

    auto screen = UIScreenTextCapture();
    struct Case {
        const char* text;
        UIScreenElementKind kind;
        bool tappable, selected, enabled;
    } cases[] = {
        {"Open", UIScreenElementKind::Button, true, true, true},
        {"Off", UIScreenElementKind::Button, false, false, false},
        {"Plain", UIScreenElementKind::Label, false, false, true},
        {"Tap me", UIScreenElementKind::Label, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const UIScreenElement* e = screen.elementWithText(c.text);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->kind, c.kind);
        EXPECT_EQ(e->tappable, c.tappable);
        EXPECT_EQ(e->selected, c.selected);
        EXPECT_EQ(e->enabled, c.enabled);
    }
    const UIScreenElement* button = screen.elementWithText("Open");
    EXPECT_EQ(button->frame, CGRectMake(20, 260, 100, 40));
    EXPECT_EQ(button->cells, CGRectMake(4, 11, 20, 3));
    EXPECT_EQ(button->view.lock(), open);
    // The button's title is part of the button, not an element of its own.
    int opens = 0;
    for (const auto& e : screen.elements) opens += e.text == "Open";
    EXPECT_EQ(opens, 1);
}

TEST_F(ScreenText, TableUnderThreeTabsWithABadgeAndADot) {
    auto list = std::make_shared<RowsController>();
    list->count = 1000;
    list->setTabBarItem(std::make_shared<UITabBarItem>("Devices", bitmap("dev", 30), 0));
    auto history = std::make_shared<UIViewController>();
    history->setTabBarItem(std::make_shared<UITabBarItem>("History", bitmap("his", 30), 1));
    history->tabBarItem()->setBadgeValue("99+");
    auto settings = std::make_shared<UIViewController>();
    settings->setTabBarItem(std::make_shared<UITabBarItem>("Settings", bitmap("set", 30), 2));
    settings->tabBarItem()->setBadgeValue("");
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllers({list, history, settings});
    tabs->tabBar()->setBackgroundColor(UIColor::whiteColor());  // opaque, as the app's bars are
    window->setRootViewController(tabs);

    // Rows of 44 points take two grid rows, starting below the status bar's safe area (the
    // table's content rests at its adjusted top); the bar (opaque) blanks what it covers, draws
    // its hairline, the badge and the dot, and the titles, which share the image row's line and win.
    auto screen = UIScreenTextCapture();
    EXPECT_EQ(screen.text(), R"(


   Row 0

   Row 1

   Row 2

   Row 3

   Row 4

   Row 5

   Row 6

   Row 7

   Row 8

   Row 9

   Row 10

   Row 11

   Row 12

   Row 13

   Row 14

---------------------------------------99+    ------------------ • --------
       [Devices]                 History                 Settings

)");
    struct Case {
        const char* text;
        bool selected;
    } tabCases[] = {{"[Devices]", true}, {"History 99+", false}, {"Settings", false}};
    for (const auto& c : tabCases) {
        SCOPED_TRACE(c.text);
        const UIScreenElement* e = screen.elementWithText(c.text);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->kind, UIScreenElementKind::Tab);
        EXPECT_EQ(e->selected, c.selected);
        EXPECT_TRUE(e->tappable);
    }
    const UIScreenElement* row = screen.elementWithText("Row 3");
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->tappable);  // a touch there selects the cell

    // A tap on a tab's centre switches; the next screen says so.
    UITouchInjection::tap(screen.elementWithText("History")->center(), window.get());
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_EQ(UIScreenTextCapture().lines[34], "        Devices                 [History]                Settings");
}

TEST_F(ScreenText, NavigationOverATableUnderTabsThenAPushedScreen) {
    auto list = std::make_shared<RowsController>();
    list->count = 1000;
    list->navigationItem()->setTitle("Devices");
    auto nav = UINavigationController::withRootViewController(list);
    nav->setTabBarItem(std::make_shared<UITabBarItem>("Devices", bitmap("dev", 30), 0));
    nav->navigationBar()->setBarTintColor(UIColor::whiteColor());
    nav->navigationBar()->setTranslucent(false);  // content starts below an opaque bar
    auto history = std::make_shared<UIViewController>();
    history->setTabBarItem(std::make_shared<UITabBarItem>("History", bitmap("his", 30), 1));
    history->tabBarItem()->setBadgeValue("99+");
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllers({nav, history});
    tabs->tabBar()->setBackgroundColor(UIColor::whiteColor());
    tabs->tabBar()->setTranslucent(false);
    window->setRootViewController(tabs);

    // The opaque bars: the title centred on the bar's row, its hairline below, the rows from
    // under the bar down to the tab bar.
    auto screen = UIScreenTextCapture();
    EXPECT_EQ(screen.text(), R"(


                              Devices
---------------------------------------------------------------------------
   Row 0

   Row 1

   Row 2

   Row 3

   Row 4

   Row 5

   Row 6

   Row 7

   Row 8

   Row 9

   Row 10

   Row 11

   Row 12

   Row 13

--------------------------------------------------------- 99+    ----------
             [Devices]                              History

)");

    auto detail = std::make_shared<UIViewController>();
    detail->navigationItem()->setTitle("iPhone X");
    detail->view()->setBackgroundColor(UIColor::whiteColor());
    auto star = std::make_shared<UIButton>(CGRectMake(0, 0, 24, 24));
    star->setImage(bitmap("ECBusLineStarOff", 24), UIControlStateNormal);
    detail->navigationItem()->setRightBarButtonItem(UIBarButtonItem::withCustomView(star));
    label("15.2  (19C56)", CGRectMake(16, 150, 300, 44), detail->view());
    nav->pushViewController(detail, true);
    ManualClock::advance(1);
    // The back button names the screen below, its bracket left of a title that fills it; the title, longer than the one before, shows whole;
    // the right item's image, narrower than its name, spreads its name over the blank bar.
    auto pushed = UIScreenTextCapture();
    EXPECT_EQ(pushed.text(), R"(


[Devices       ]             iPhone X                  [<ECBusLineStarOff>]
---------------------------------------------------------------------------






   15.2  (19C56)





















--------------------------------------------------------- 99+    ----------
             [Devices]                              History

)");
    const UIScreenElement* back = pushed.elementWithText("Devices");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, UIScreenElementKind::Button);
    EXPECT_TRUE(back->tappable);

    // Tapping the back button's centre pops; the list is back.
    UITouchInjection::tap(back->center(), window.get());
    ManualClock::advance(1);
    EXPECT_EQ(nav->topViewController(), list);
    EXPECT_EQ(UIScreenTextCapture().text(), screen.text());
}

}  // namespace

TEST_F(ScreenText, AlertOverAList) {
    auto list = std::make_shared<RowsController>();
    list->count = 1000;
    window->setRootViewController(list);
    auto alert = UIAlertController::alertControllerWithTitle("Update", "Three builds are signed", UIAlertControllerStyleAlert);
    std::vector<std::string> handled;
    alert->addAction(UIAlertAction::actionWithTitle("Later", UIAlertActionStyleCancel,
                                                    [&](UIAlertAction&) { handled.push_back("Later"); }));
    alert->addAction(UIAlertAction::actionWithTitle("Show", UIAlertActionStyleDefault,
                                                    [&](UIAlertAction&) { handled.push_back("Show"); }));
    list->presentViewController(alert, true, nullptr);
    ManualClock::advance(UIAlertController::kTransitionDuration + 0.01);

    // The list stays behind the panel: a box with the title, the message and one button per action.
    // The two buttons meet in one cell, where the first one's closing bracket stands.
    auto screen = UIScreenTextCapture();
    EXPECT_EQ(screen.text(), R"(


   Row 0

   Row 1

   Row 2

   Row 3

   Row 4

   Row 5

   Row 6  +-----------------------------------------------------+
          |                                                     |
   Row 7  |                    Update                           |
          |        Three builds are signed                      |
   Row 8  |                                                     |
          |        Later             ]         Show             |
   Row 9  +-----------------------------------------------------+

   Row 10

   Row 11

   Row 12

   Row 13

   Row 14

   Row 15

   Row 16
)");

    // A tap on a button's centre dismisses the alert; its handler runs after, and the list is back.
    const UIScreenElement* show = screen.elementWithText("Show");
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(show->tappable);
    UITouchInjection::tap(show->center(), window.get());
    ManualClock::advance(UIAlertController::kTransitionDuration + 0.01);
    EXPECT_EQ(handled, std::vector<std::string>{"Show"});
    UIScreenText after = UIScreenTextCapture();
    EXPECT_EQ(after.elementWithText("Show"), nullptr);
    EXPECT_NE(after.elementWithText("Row 3"), nullptr);
}
