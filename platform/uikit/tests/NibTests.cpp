#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UINib.h>
#include <platform_uikit/UIStoryboard.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITableViewController.h>

#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

// --- classes the fixtures name ---

// A cell with two label outlets.
class NibTestCell : public UITableViewCell {
    NS_CLASS(NibTestCell, UITableViewCell)
    NS_PROPERTY(std::shared_ptr<UILabel>, leftLable, setLeftLable, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, rightLabel, setRightLabel, "&,N")
public:
    void awakeFromNib() override {
        UITableViewCell::awakeFromNib();
        ++awakeCount;
        outletsSetAtAwake = leftLable() && rightLabel();
    }
    int awakeCount = 0;
    bool outletsSetAtAwake = false;
};

// The owner of the header nib: two label outlets and the star's action.
class NibTestOwner : public NSObject {
    NS_CLASS(NibTestOwner, NSObject)
    NS_PROPERTY(std::shared_ptr<UILabel>, CpuFrqTitleLabel, setCpuFrqTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, CpuFrqInfoLabel, setCpuFrqInfoLabel, "&,N")
public:
    std::vector<Value> collected;
};
NS_CLASS_LOAD(NibTestOwner) {
    cls.addInstanceOperation("collect:", [](NSObject& self, const Value::Array& args) {
        static_cast<NibTestOwner&>(self).collected.push_back(args.at(0));
        return Value();
    });
}

// A view up the responder chain that answers the first-responder action.
class NibTestContainer : public UIView {
    NS_CLASS(NibTestContainer, UIView)
public:
    int changes = 0;
};
NS_CLASS_LOAD(NibTestContainer) {
    cls.addInstanceOperation("starChanged:", [](NSObject& self, const Value::Array&) {
        ++static_cast<NibTestContainer&>(self).changes;
        return Value();
    });
}

class LabelScreenController : public UIViewController {
    NS_CLASS(LabelScreenController, UIViewController)
    NS_PROPERTY(std::shared_ptr<UILabel>, greeting, setGreeting, "&,N")
public:
    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        greetingAtLoad = greeting() ? greeting()->text() : "(none)";
    }
    std::string greetingAtLoad;
};

class PlainScreenController : public UIViewController {
    NS_CLASS(PlainScreenController, UIViewController)
};

class NibTestListController : public UIViewController {
    NS_CLASS(NibTestListController, UIViewController)
    NS_PROPERTY(std::shared_ptr<UIButton>, openButton, setOpenButton, "&,N")
public:
    void awakeFromNib() override { ++awakeCount; }
    bool shouldPerformSegueWithIdentifier(const std::string& identifier,
                                          const std::shared_ptr<NSObject>&) override {
        asked.push_back(identifier);
        return allowSegues;
    }
    void prepareForSegue(UIStoryboardSegue& segue, const std::shared_ptr<NSObject>& sender) override {
        prepared.push_back(segue.identifier());
        preparedDestination = segue.destinationViewController();
        preparedSender = sender;
    }
    int awakeCount = 0;
    bool allowSegues = true;
    std::vector<std::string> asked, prepared;
    UIViewControllerPtr preparedDestination;
    std::shared_ptr<NSObject> preparedSender;
};

class NibTestSettingsController : public UITableViewController {
    NS_CLASS(NibTestSettingsController, UITableViewController)
    NS_PROPERTY(std::shared_ptr<UILabel>, versionLabel, setVersionLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, rateLeftTitleLabel, setRateLeftTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, rateRightTitleLabel, setRateRightTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, feedbackLeftTitleLabel, setFeedbackLeftTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, feedbackRightTitleLabel, setFeedbackRightTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, aboutTitleLabel, setAboutTitleLabel, "&,N")
public:
    void viewDidLoad() override {
        UITableViewController::viewDidLoad();
        outletsAtLoad = versionLabel() && rateLeftTitleLabel() && rateRightTitleLabel() && feedbackLeftTitleLabel() &&
                        feedbackRightTitleLabel() && aboutTitleLabel();
        if (versionLabel()) versionLabel()->setText("1.0");
    }
    bool outletsAtLoad = false;
};

namespace {

std::shared_ptr<NSBundle> fixtures() { return NSBundle::bundleWithPath(TEST_SOURCE_DIR "/fixtures/NibBundle"); }

// Runs f and answers the NSException it raised (name "none" when it raised nothing).
template <class F>
NSException raised(F&& f) {
    try {
        f();
    } catch (const NSException& e) {
        return e;
    }
    return NSException("none", "");
}

TEST(Nib, CellWithTwoOutletsIsConnectedBeforeItAwakes) {
    auto nib = UINib::nibWithNibName("InfoTableViewCell", fixtures());
    auto objects = nib->instantiateWithOwner(nullptr);
    ASSERT_EQ(objects.size(), 1u);
    auto cell = objects[0].objectAs<NibTestCell>();
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->awakeCount, 1);
    EXPECT_TRUE(cell->outletsSetAtAwake);
    EXPECT_EQ(cell->reuseIdentifier(), "fromNib");
    ASSERT_NE(cell->leftLable(), nullptr);
    ASSERT_NE(cell->rightLabel(), nullptr);
    // Subviews of a cell go into its content view; literals arrive typed.
    EXPECT_EQ(cell->leftLable()->superview(), cell->contentView());
    EXPECT_EQ(cell->leftLable()->text(), "Left");
    EXPECT_EQ(cell->leftLable()->frame(), CGRectMake(16, 0, 220, 44));
    EXPECT_EQ(cell->leftLable()->font()->pointSize(), 15);
    EXPECT_TRUE(UIColorsEqual(cell->leftLable()->textColor(), UIColor::colorWithRed(0.2, 0.2, 0.2, 1)));
    EXPECT_EQ(cell->rightLabel()->textAlignment(), NSTextAlignmentRight);
    EXPECT_TRUE(cell->rightLabel()->font()->isBold());
    EXPECT_TRUE(UIColorsEqual(cell->backgroundColor(), UIColor::whiteColor()));
    EXPECT_EQ(cell->frame(), CGRectMake(0, 0, 375, 44));

    // Every instantiation makes new objects.
    auto again = nib->instantiateWithOwner(nullptr)[0].objectAs<NibTestCell>();
    EXPECT_NE(again, cell);
    EXPECT_NE(again->leftLable(), cell->leftLable());
}

TEST(Nib, ConstraintsAreMadeOnTheirView) {
    auto cell = loadNibNamed(fixtures(), "InfoTableViewCell", nullptr)[0].objectAs<NibTestCell>();
    const auto& constraints = cell->leftLable()->constraints();
    ASSERT_EQ(constraints.size(), 1u);
    EXPECT_EQ(constraints[0]->firstItem(), cell->leftLable());
    EXPECT_EQ(constraints[0]->secondItem(), cell);
    EXPECT_EQ(constraints[0]->firstAttribute(), NSLayoutAttributeLeading);
    EXPECT_EQ(constraints[0]->constant(), 16);
    EXPECT_TRUE(cell->rightLabel()->constraints().empty());
}

TEST(Nib, OwnerOutletsAndActions) {
    auto owner = std::make_shared<NibTestOwner>();
    auto objects = loadNibNamed(fixtures(), "MainHeaderView", owner);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].asObject()->className(), "NSObject");
    auto header = objects.back().objectAs<UIView>();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->tag(), 7);
    EXPECT_EQ(header->layer()->cornerRadius(), 4);
    ASSERT_NE(owner->CpuFrqTitleLabel(), nullptr);
    EXPECT_EQ(owner->CpuFrqTitleLabel()->text(), "Your phone");
    ASSERT_NE(owner->CpuFrqInfoLabel(), nullptr);
    auto info = owner->CpuFrqInfoLabel()->attributedText();
    EXPECT_EQ(info->string(), "iPhone (10,3)");
    EXPECT_EQ(info->runs().size(), 2u);

    auto star = std::dynamic_pointer_cast<UIButton>(header->viewWithTag(301));
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(star->titleForState(UIControlStateNormal), "Star");
    star->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_EQ(owner->collected.size(), 1u);
    EXPECT_EQ(owner->collected[0].asObject(), star);

    // A first-responder action goes up the sender's responder chain.
    auto container = std::make_shared<NibTestContainer>();
    container->addSubview(header);
    star->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(container->changes, 1);
    EXPECT_EQ(owner->collected.size(), 1u);
}

TEST(Nib, MissingNibRaisesNamingItAndTheBundle) {
    auto e = raised([] { loadNibNamed(fixtures(), "Nowhere", nullptr); });
    EXPECT_EQ(e.name(), NSInternalInconsistencyException);
    EXPECT_NE(e.reason().find("Could not load NIB in bundle"), std::string::npos) << e.reason();
    EXPECT_NE(e.reason().find("'Nowhere'"), std::string::npos) << e.reason();
    EXPECT_NE(e.reason().find("NibBundle"), std::string::npos) << e.reason();
}

// A bundle folder of documents written by the test.
class BadDocuments : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "nib-documents-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::shared_ptr<NSBundle> write(const std::string& file, const std::string& text) {
        std::ofstream(folder / file) << text;
        return NSBundle::bundleWithPath(folder.string());
    }
    std::filesystem::path folder;
};

TEST_F(BadDocuments, MalformedNibsRaiseNamingFileAndPath) {
    struct Case {
        const char* what;
        const char* text;
        const char* name;
        const char* path;
    } cases[] = {
        {"not JSON", "{\"objects\": [", NSInvalidUnarchiveOperationException, "$"},
        {"not an object", "[1, 2]", NSInvalidUnarchiveOperationException, "$"},
        {"no objects", "{}", NSInvalidUnarchiveOperationException, "$"},
        {"objects not an array", "{\"objects\": {}}", NSInvalidUnarchiveOperationException, "$.objects"},
        {"object without class", "{\"objects\": [{}]}", NSInvalidUnarchiveOperationException, "$.objects[0]"},
        {"unknown class", "{\"objects\": [{\"class\": \"NoSuchView\"}]}", NSInvalidUnarchiveOperationException,
         "$.objects[0].class"},
        {"short rect", "{\"objects\": [{\"class\": \"UIView\", \"properties\": {\"frame\": {\"rect\": [0, 0, 1]}}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].properties.frame.rect"},
        {"rect of text",
         "{\"objects\": [{\"class\": \"UIView\", \"properties\": {\"frame\": {\"rect\": [0, 0, \"a\", 1]}}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].properties.frame.rect[2]"},
        {"bad colour",
         "{\"objects\": [{\"class\": \"UIView\", \"properties\": {\"backgroundColor\": {\"color\": \"#12345G\"}}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].properties.backgroundColor.color"},
        {"unknown colour name",
         "{\"objects\": [{\"class\": \"UIView\", \"properties\": {\"backgroundColor\": {\"color\": \"plaid\"}}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].properties.backgroundColor.color"},
        {"font without size",
         "{\"objects\": [{\"class\": \"UILabel\", \"properties\": {\"font\": {\"font\": {\"bold\": true}}}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].properties.font.font"},
        {"two-key literal",
         "{\"objects\": [{\"class\": \"UIView\", \"properties\": {\"frame\": {\"rect\": [0,0,1,1], \"size\": [1,1]}}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].properties.frame"},
        {"unknown key", "{\"objects\": [{\"class\": \"UIView\", \"properties\": {\"colour\": 1}}]}",
         NSUndefinedKeyException, "$.objects[0].properties.colour"},
        {"value of the wrong kind", "{\"objects\": [{\"class\": \"UIView\", \"properties\": {\"frame\": \"wide\"}}]}",
         NSInvalidArgumentException, "$.objects[0].properties.frame"},
        {"subview that is no view",
         "{\"objects\": [{\"class\": \"UIView\", \"subviews\": [{\"class\": \"NSObject\"}]}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].subviews[0]"},
        {"subviews of a non-view", "{\"objects\": [{\"class\": \"NSObject\", \"subviews\": []}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].subviews"},
        {"taken id", "{\"objects\": [{\"class\": \"UIView\", \"id\": \"a\"}, {\"class\": \"UIView\", \"id\": \"a\"}]}",
         NSInvalidUnarchiveOperationException, "$.objects[1].id"},
        {"outlet to an unknown id",
         "{\"objects\": [{\"class\": \"UIView\", \"id\": \"a\"}], \"connections\": [{\"outlet\": \"x\", \"source\": \"a\", "
         "\"destination\": \"b\"}]}",
         NSInvalidUnarchiveOperationException, "$.connections[0].destination"},
        {"outlet to an unknown key",
         "{\"objects\": [{\"class\": \"UIView\", \"id\": \"a\"}, {\"class\": \"UIView\", \"id\": \"b\"}], "
         "\"connections\": [{\"outlet\": \"nothing\", \"source\": \"a\", \"destination\": \"b\"}]}",
         NSUndefinedKeyException, "$.connections[0]"},
        {"owner outlet without an owner",
         "{\"objects\": [{\"class\": \"UIView\", \"id\": \"a\"}], \"connections\": [{\"outlet\": \"x\", "
         "\"destination\": \"a\"}]}",
         NSInvalidUnarchiveOperationException, "$.connections[0].source"},
        {"action from a non-control",
         "{\"objects\": [{\"class\": \"UIView\", \"id\": \"a\"}], \"connections\": [{\"action\": \"go:\", \"source\": "
         "\"a\", \"target\": \"a\"}]}",
         NSInvalidUnarchiveOperationException, "$.connections[0].source"},
        {"unknown control event",
         "{\"objects\": [{\"class\": \"UIButton\", \"id\": \"a\"}], \"connections\": [{\"action\": \"go:\", \"source\": "
         "\"a\", \"target\": \"a\", \"event\": \"wiggle\"}]}",
         NSInvalidUnarchiveOperationException, "$.connections[0].event"},
        {"connection of neither kind",
         "{\"objects\": [], \"connections\": [{\"source\": \"a\"}]}", NSInvalidUnarchiveOperationException,
         "$.connections[0]"},
        {"initialiser arguments of a plain view",
         "{\"objects\": [{\"class\": \"UIView\", \"init\": {\"style\": 1}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].init"},
        {"unknown initialiser argument",
         "{\"objects\": [{\"class\": \"UITableView\", \"init\": {\"colour\": 1}}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].init.colour"},
        {"constraint item unknown",
         "{\"objects\": [{\"class\": \"UIView\", \"constraints\": [{\"firstItem\": \"zz\", \"firstAttribute\": "
         "\"top\"}]}]}",
         NSInvalidUnarchiveOperationException, "$.objects[0].constraints[0].firstItem"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto bundle = write("Bad.nib.json", c.text);
        auto e = raised([&] { loadNibNamed(bundle, "Bad", nullptr); });
        EXPECT_EQ(e.name(), c.name) << e.reason();
        EXPECT_NE(e.reason().find("Bad.nib.json"), std::string::npos) << e.reason();
        EXPECT_EQ(Value(e.userInfo()).objectForKey(UINibJSONPathUserInfoKey), Value(c.path)) << e.reason();
        EXPECT_EQ(Value(e.userInfo()).objectForKey(UINibFileUserInfoKey), Value("Bad.nib.json"));
    }
}

TEST(NibViewController, LoadViewFindsTheNibNamedAfterTheClass) {
    // "LabelScreen" for LabelScreenController (the name without "Controller"): outlets set before viewDidLoad.
    auto labelled = std::make_shared<LabelScreenController>();
    labelled->setNibName(std::nullopt, fixtures());
    ASSERT_NE(labelled->view(), nullptr);
    EXPECT_EQ(labelled->greetingAtLoad, "Hello");
    EXPECT_EQ(labelled->greeting()->superview(), labelled->view());
    EXPECT_EQ(labelled->view()->frame(), CGRectMake(0, 0, 375, 812));

    // "PlainScreenController" for PlainScreenController (the whole class name).
    auto plain = std::make_shared<PlainScreenController>();
    plain->setNibName(std::nullopt, fixtures());
    EXPECT_EQ(plain->view()->tag(), 42);

    // No nib at all: a plain view.
    auto none = std::make_shared<UIViewController>();
    none->setNibName(std::nullopt, fixtures());
    EXPECT_NE(none->view(), nullptr);

    // An explicit nib name wins; one that does not set the view outlet raises.
    auto explicitNib = std::make_shared<PlainScreenController>();
    explicitNib->setNibName("NoViewOutlet", fixtures());
    auto e = raised([&] { explicitNib->view(); });
    EXPECT_EQ(e.name(), NSInternalInconsistencyException);
    EXPECT_NE(e.reason().find("view outlet was not set"), std::string::npos) << e.reason();
    auto missing = std::make_shared<PlainScreenController>();
    missing->setNibName("Nowhere", fixtures());
    EXPECT_EQ(raised([&] { missing->view(); }).name(), NSInternalInconsistencyException);
}

TEST(Storyboard, InitialSceneAndScenesByIdentifier) {
    auto storyboard = UIStoryboard::storyboardWithName("Main", fixtures());
    auto initial = storyboard->instantiateInitialViewController();
    auto nav = std::dynamic_pointer_cast<UINavigationController>(initial);
    ASSERT_NE(nav, nullptr);
    ASSERT_EQ(nav->viewControllers().size(), 1u);
    auto list = std::dynamic_pointer_cast<NibTestListController>(nav->topViewController());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->navigationItem()->title(), "Devices");
    EXPECT_EQ(list->awakeCount, 1);
    EXPECT_EQ(list->storyboard(), storyboard);
    EXPECT_FALSE(list->isViewLoaded());  // the view part waits for the view
    ASSERT_NE(list->view(), nullptr);
    ASSERT_NE(list->openButton(), nullptr);
    EXPECT_EQ(list->openButton()->superview(), list->view());

    // By identifier: a new controller every time.
    auto a = storyboard->instantiateViewControllerWithIdentifier("detail");
    auto b = storyboard->instantiateViewControllerWithIdentifier("detail");
    EXPECT_NE(a, b);
    EXPECT_EQ(a->navigationItem()->title(), "Detail");

    // A tab bar scene's children come by its relationship, each a scene of its own.
    auto tabs = std::dynamic_pointer_cast<UITabBarController>(storyboard->instantiateViewControllerWithIdentifier("tabs"));
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->viewControllers().size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<UINavigationController>(tabs->viewControllers()[0]), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<NibTestSettingsController>(tabs->viewControllers()[1]), nullptr);

    auto e = raised([&] { storyboard->instantiateViewControllerWithIdentifier("nothing"); });
    EXPECT_EQ(e.name(), NSInvalidArgumentException);
    EXPECT_NE(e.reason().find("doesn't contain a view controller with identifier 'nothing'"), std::string::npos)
        << e.reason();
}

TEST(Storyboard, StaticGroupedTableRowsAndOutletsBeforeViewDidLoad) {
    auto storyboard = UIStoryboard::storyboardWithName("Main", fixtures());
    auto settings = std::dynamic_pointer_cast<NibTestSettingsController>(
        storyboard->instantiateViewControllerWithIdentifier("aboutviewcontroller"));
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->staticSections().empty());
    auto table = settings->tableView();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->style(), UITableViewStyleGrouped);
    EXPECT_TRUE(settings->outletsAtLoad);
    const auto& sections = settings->staticSections();
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].headerTitle, "General");
    ASSERT_EQ(sections[0].rows.size(), 2u);
    EXPECT_EQ(sections[0].rows[0].height, 44);
    EXPECT_EQ(sections[1].headerTitle, "About");
    EXPECT_EQ(sections[1].footerTitle, "Thanks");
    ASSERT_EQ(sections[1].rows.size(), 1u);
    EXPECT_EQ(sections[1].rows[0].height, UITableViewAutomaticDimension);
    EXPECT_EQ(settings->versionLabel()->superview(), sections[1].rows[0].cell->contentView());
    EXPECT_EQ(settings->versionLabel()->text(), "1.0");
    EXPECT_EQ(settings->rateLeftTitleLabel()->superview(), sections[0].rows[0].cell->contentView());
    // The table asks the controller, which answers from the static content.
    EXPECT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(UIStoryboardStaticSections(*settings).size(), 2u);
}

TEST(Nib, RegisteredNibMakesTheTablesCells) {
    auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 375, 600));
    table->registerNib(UINib::nibWithNibName("InfoTableViewCell", fixtures()), "infoCell");
    auto cell = std::dynamic_pointer_cast<NibTestCell>(table->dequeueReusableCellWithIdentifier("infoCell", {0, 0}));
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(cell->outletsSetAtAwake);

    // A nib whose one top-level object is not a cell raises when a cell is made.
    table->registerNib(UINib::nibWithNibName("NoViewOutlet", fixtures()), "wrong");
    auto e = raised([&] { table->dequeueReusableCellWithIdentifier("wrong", {0, 0}); });
    EXPECT_EQ(e.name(), NSInternalInconsistencyException);
    EXPECT_NE(e.reason().find("invalid nib registered for identifier (wrong)"), std::string::npos) << e.reason();
}

// A cell drawn at 375 points keeps its subviews where the nib put them once a table of
// that width lays it out: its content view took the cell's size before they went in.
TEST(Nib, ACellsSubviewsStayWhereTheNibPutThemInATableOfTheSameWidth) {
    auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 375, 600));
    table->registerNib(UINib::nibWithNibName("InfoTableViewCell", fixtures()), "infoCell");
    auto cell = std::dynamic_pointer_cast<NibTestCell>(table->dequeueReusableCellWithIdentifier("infoCell", {0, 0}));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->contentView()->bounds().size.width, 375);
    cell->setFrame(CGRectMake(0, 0, 375, 44));
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->rightLabel()->frame(), CGRectMake(240, 0, 119, 44));
    EXPECT_EQ(cell->leftLable()->frame().size.width, 220);
}

// Static rows are recorded at the table's width: a label sized to the row's right edge keeps to
// it when a table of that width lays the row out.
TEST(Storyboard, StaticRowsTakeTheTablesWidthBeforeTheirSubviews) {
    auto storyboard = UIStoryboard::storyboardWithName("Main", fixtures());
    auto settings = std::dynamic_pointer_cast<NibTestSettingsController>(
        storyboard->instantiateViewControllerWithIdentifier("aboutviewcontroller"));
    ASSERT_NE(settings, nullptr);
    auto table = settings->tableView();
    ASSERT_NE(table, nullptr);
    const auto& sections = settings->staticSections();
    ASSERT_FALSE(sections.empty());
    auto cell = sections[0].rows[0].cell;
    EXPECT_EQ(cell->bounds().size, CGSizeMake(375, 44));
    cell->setFrame(CGRectMake(0, 0, 375, 44));
    cell->layoutIfNeeded();
    EXPECT_EQ(CGRectGetMaxX(settings->rateRightTitleLabel()->frame()), 359);
}

TEST(Storyboard, SeguesPrepareThenPush) {
    auto storyboard = UIStoryboard::storyboardWithName("Main", fixtures());
    auto nav = std::dynamic_pointer_cast<UINavigationController>(storyboard->instantiateInitialViewController());
    auto list = std::dynamic_pointer_cast<NibTestListController>(nav->topViewController());
    list->loadViewIfNeeded();

    // A refused triggered segue does nothing more.
    list->allowSegues = false;
    list->openButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(list->asked, std::vector<std::string>{"showDetail"});
    EXPECT_TRUE(list->prepared.empty());
    EXPECT_EQ(nav->viewControllers().size(), 1u);

    list->allowSegues = true;
    list->openButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_EQ(list->prepared, std::vector<std::string>{"showDetail"});
    EXPECT_EQ(list->preparedSender, list->openButton());
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(nav->topViewController(), list->preparedDestination);
    EXPECT_EQ(nav->topViewController()->navigationItem()->title(), "Detail");

    // performSegueWithIdentifier does not ask; an unknown identifier raises.
    list->performSegueWithIdentifier("showDetail", nullptr);
    EXPECT_EQ(list->asked.size(), 2u);
    EXPECT_EQ(nav->viewControllers().size(), 3u);
    auto e = raised([&] { list->performSegueWithIdentifier("nowhere", nullptr); });
    EXPECT_EQ(e.name(), NSInvalidArgumentException);
    EXPECT_NE(e.reason().find("has no segue with identifier 'nowhere'"), std::string::npos) << e.reason();
    EXPECT_EQ(nav->viewControllers().size(), 3u);
}

TEST_F(BadDocuments, MissingAndMalformedStoryboardsRaise) {
    auto e = raised([] { UIStoryboard::storyboardWithName("Nowhere", fixtures()); });
    EXPECT_EQ(e.name(), NSInvalidArgumentException);
    EXPECT_NE(e.reason().find("Could not find a storyboard named 'Nowhere'"), std::string::npos) << e.reason();

    const char* scene = "{\"identifier\": \"a\", \"controller\": {\"class\": \"UIViewController\"}";
    struct Case {
        const char* what;
        std::string text;
        const char* path;
    } cases[] = {
        {"no scenes", "{}", "$"},
        {"scene without identifier", "{\"scenes\": [{\"controller\": {\"class\": \"UIViewController\"}}]}",
         "$.scenes[0]"},
        {"controller that is a view", "{\"scenes\": [{\"identifier\": \"a\", \"controller\": {\"class\": \"UIView\"}}]}",
         "$.scenes[0].controller.class"},
        {"two scenes of one identifier", std::string("{\"scenes\": [") + scene + "}, " + scene + "}]}",
         "$.scenes[1].identifier"},
        {"unknown initial scene", std::string("{\"initialScene\": \"b\", \"scenes\": [") + scene + "}]}",
         "$.initialScene"},
        {"segue to nowhere",
         std::string("{\"scenes\": [") + scene + ", \"segues\": [{\"identifier\": \"s\", \"destination\": \"b\"}]}]}",
         "$.scenes[0].segues[0].destination"},
        {"segue of an unknown kind",
         std::string("{\"scenes\": [") + scene +
             ", \"segues\": [{\"identifier\": \"s\", \"destination\": \"a\", \"kind\": \"teleport\"}]}]}",
         "$.scenes[0].segues[0].kind"},
        {"relationship loop",
         "{\"scenes\": [{\"identifier\": \"a\", \"controller\": {\"class\": \"UINavigationController\"}, "
         "\"relationships\": {\"rootViewController\": \"a\"}}]}",
         "$.scenes[0].relationships"},
        {"static rows not an array",
         std::string("{\"scenes\": [") + scene + ", \"staticSections\": [{\"rows\": 3}]}]}",
         "$.scenes[0].staticSections[0].rows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto bundle = write("Bad.storyboard.json", c.text);
        auto error = raised([&] { UIStoryboard::storyboardWithName("Bad", bundle); });
        EXPECT_EQ(error.name(), NSInvalidUnarchiveOperationException) << error.reason();
        EXPECT_NE(error.reason().find("Bad.storyboard.json"), std::string::npos) << error.reason();
        EXPECT_EQ(Value(error.userInfo()).objectForKey(UINibJSONPathUserInfoKey), Value(c.path)) << error.reason();
    }

    // A scene whose view part is bad raises when the view loads, with the scene's path.
    auto bundle = write("Late.storyboard.json",
                        std::string("{\"scenes\": [") + scene + ", \"view\": {\"class\": \"UIView\", \"properties\": "
                                                              "{\"frame\": {\"rect\": [1]}}}}]}");
    auto controller = UIStoryboard::storyboardWithName("Late", bundle)->instantiateViewControllerWithIdentifier("a");
    auto late = raised([&] { controller->view(); });
    EXPECT_EQ(late.name(), NSInvalidUnarchiveOperationException);
    EXPECT_EQ(Value(late.userInfo()).objectForKey(UINibJSONPathUserInfoKey),
              Value("$.scenes[0].view.properties.frame.rect"));
}

}  // namespace
