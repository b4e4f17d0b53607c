// Constraint-based layout of views: constraints, frames after a layout pass,
// intrinsic sizes, layout guides, conflicts and bad input.
#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UILayoutGuide.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSLog.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using C = NSLayoutConstraint;

NSLayoutConstraintPtr make(const std::shared_ptr<NSObject>& a, NSLayoutAttribute aa, const std::shared_ptr<NSObject>& b,
                           NSLayoutAttribute ba, double constant, double multiplier = 1,
                           NSLayoutRelation relation = NSLayoutRelationEqual) {
    return C::constraintWithItem(a, aa, relation, b, ba, multiplier, constant);
}
NSLayoutConstraintPtr size(const UIViewPtr& v, NSLayoutAttribute a, double constant,
                           NSLayoutRelation relation = NSLayoutRelationEqual) {
    return C::constraintWithItem(v, a, relation, nullptr, NSLayoutAttributeNotAnAttribute, 1, constant);
}

struct Log {
    std::vector<std::string> lines;
    Log() {
        NSLogSetSinkForTesting([this](const std::string& line) { lines.push_back(line); });
    }
    ~Log() { NSLogSetSinkForTesting(nullptr); }
};

// A 375 × 80 container that keeps its frame, and constrained subviews.
struct Layout : ::testing::Test {
    UIViewPtr root = std::make_shared<UIView>(CGRectMake(0, 0, 375, 80));
    UIViewPtr sub(CGRect start = CGRectMake(0, 0, 0, 0), const UIViewPtr& parent = nullptr) {
        auto v = std::make_shared<UIView>(start);
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        (parent ? parent : root)->addSubview(v);
        return v;
    }
};

}  // namespace

TEST_F(Layout, EdgesSizesCentresAndMultipliers) {
    auto a = sub(), b = sub();
    root->addConstraints({make(a, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 60),
                          make(a, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 10), size(a, NSLayoutAttributeWidth, 14),
                          size(a, NSLayoutAttributeHeight, 14),
                          make(b, NSLayoutAttributeCenterY, a, NSLayoutAttributeCenterY, 10),
                          make(b, NSLayoutAttributeLeft, a, NSLayoutAttributeRight, 5),
                          make(b, NSLayoutAttributeWidth, root, NSLayoutAttributeWidth, -20, 0.5),
                          make(b, NSLayoutAttributeHeight, a, NSLayoutAttributeHeight, 0, 2)});
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(60, 10, 14, 14));
    EXPECT_EQ(b->frame(), CGRectMake(79, 13, 167.5, 28));
}

TEST_F(Layout, ConstantChangesMoveFramesAtTheNextPass) {
    auto a = sub();
    auto left = make(a, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 20);
    auto right = make(a, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -20);
    root->addConstraints({left, right, make(a, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0),
                          size(a, NSLayoutAttributeHeight, 30)});
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(20, 0, 335, 30));
    left->setConstant(100);
    EXPECT_EQ(a->frame(), CGRectMake(20, 0, 335, 30)) << "frames move at the layout pass";
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(100, 0, 255, 30));
    // The container's own frame change reaches the subview through its fixed frame.
    root->setFrame(CGRectMake(0, 0, 200, 80));
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(100, 0, 80, 30));
}

TEST_F(Layout, ListsActiveFlagAndOwnership) {
    auto a = sub();
    std::weak_ptr<NSLayoutConstraint> weak;
    {
        auto w = size(a, NSLayoutAttributeWidth, 40);
        weak = w;
        EXPECT_FALSE(w->isActive());
        a->addConstraint(w);
        EXPECT_TRUE(w->isActive());
        EXPECT_EQ(w->installedView(), a);
    }
    ASSERT_FALSE(weak.expired()) << "the view owns what it holds";
    a->removeConstraint(weak.lock());
    EXPECT_TRUE(weak.expired()) << "removing drops the view's reference";

    auto held = size(a, NSLayoutAttributeWidth, 40);
    auto other = make(a, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 5);
    held->setActive(true);
    other->setActive(true);
    EXPECT_EQ(held->installedView(), a) << "a size constraint goes on its own view";
    EXPECT_EQ(other->installedView(), root) << "a relation goes on the closest common ancestor";
    EXPECT_EQ(root->constraints(), std::vector<NSLayoutConstraintPtr>{other});
    held->setActive(false);
    EXPECT_TRUE(a->constraints().empty());
    held->setActive(true);
    EXPECT_EQ(held->installedView(), a) << "switched on again, it returns to the same view";
    auto third = size(a, NSLayoutAttributeHeight, 9);
    a->addConstraint(third);
    EXPECT_EQ(a->constraints(), (std::vector<NSLayoutConstraintPtr>{held, third})) << "in the order added";
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(5, 0, 40, 9));
}

TEST_F(Layout, PrioritiesDecideBetweenWishes) {
    auto a = sub();
    auto wide = size(a, NSLayoutAttributeWidth, 300);
    wide->setPriority(750);
    auto narrow1 = size(a, NSLayoutAttributeWidth, 100);
    narrow1->setPriority(250);
    auto narrow2 = size(a, NSLayoutAttributeWidth, 100);
    narrow2->setPriority(500);
    a->addConstraints({wide, narrow1, narrow2});
    root->addConstraints({make(a, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
                          make(a, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0)});
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 300);
    wide->setPriority(400);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 100);
    EXPECT_THROW(wide->setPriority(1000), NSException);
    EXPECT_THROW(size(a, NSLayoutAttributeWidth, 1)->setPriority(0), NSException);
    auto required = size(a, NSLayoutAttributeHeight, 5);
    a->addConstraint(required);
    try {
        required->setPriority(999);
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInternalInconsistencyException);
    }
}

TEST_F(Layout, BadConstraintsRaiseWithThePlatformsReasons) {
    auto a = sub();
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* reasonPart;
    };
    const Case cases[] = {
        {"nan multiplier", [&] { make(a, NSLayoutAttributeWidth, root, NSLayoutAttributeWidth, 0, NAN); },
         "multiplier of nan is not finite"},
        {"infinite constant", [&] { size(a, NSLayoutAttributeWidth, INFINITY); }, "constant of inf is not finite"},
        {"location without second item", [&] { size(a, NSLayoutAttributeLeft, 10); }, "Location attributes must be specified in pairs"},
        {"location with multiplier 0", [&] { make(a, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0, 0); },
         "A multiplier of 0 or a nil second item"},
        {"location paired with size", [&] { make(a, NSLayoutAttributeTop, root, NSLayoutAttributeWidth, 0); },
         "Invalid pairing"},
        {"no first item", [&] { size(nullptr, NSLayoutAttributeWidth, 1); }, "view or layout guide"},
        {"nan constant later", [&] { size(a, NSLayoutAttributeWidth, 1)->setConstant(NAN); }, "constant of nan"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.make();
            ADD_FAILURE() << "no exception";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), NSInvalidArgumentException);
            EXPECT_NE(e.reason().find(c.reasonPart), std::string::npos) << e.reason();
        }
    }
}

TEST_F(Layout, UnsatisfiableConstraintIsLoggedAndBroken) {
    Log log;
    auto a = sub();
    auto w100 = size(a, NSLayoutAttributeWidth, 100);
    auto w50 = size(a, NSLayoutAttributeWidth, 50);
    a->addConstraint(w100);
    root->addConstraints({make(a, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
                          make(a, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0), size(a, NSLayoutAttributeHeight, 10)});
    a->addConstraint(w50);
    ASSERT_EQ(log.lines.size(), 1u);
    const std::string& text = log.lines[0];
    EXPECT_EQ(text.rfind("Unable to simultaneously satisfy constraints.", 0), 0u);
    EXPECT_NE(text.find(w100->description()), std::string::npos);
    EXPECT_NE(text.find("Will attempt to recover by breaking constraint \n" + w50->description()), std::string::npos);
    EXPECT_TRUE(w50->isBroken());
    EXPECT_TRUE(w50->isActive());
    EXPECT_EQ(a->constraints().back(), w50) << "the broken constraint stays listed";
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 100);
    // Dropping the winner lets the broken one back in once its constant changes.
    a->removeConstraint(w100);
    w50->setConstant(60);
    root->layoutIfNeeded();
    EXPECT_FALSE(w50->isBroken());
    EXPECT_EQ(a->frame().size.width, 60);
}

TEST_F(Layout, DefaultDescriptionAndItsSlot) {
    auto label = std::make_shared<UILabel>();
    root->addSubview(label);
    auto c = make(label, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 60);
    EXPECT_EQ(c->description(), "<" + NSLayoutObjectName(c.get()) + " " + NSLayoutObjectName(label.get()) +
                                    ".left == " + NSLayoutObjectName(root.get()) + ".left + 60>");
    EXPECT_EQ(NSLayoutObjectName(label.get()).rfind("UILabel:0x", 0), 0u);
    auto* method = class_getInstanceMethod(&NSLayoutConstraint::classObject(), "description");
    ASSERT_NE(method, nullptr);
    auto old = class_replaceMethod(&NSLayoutConstraint::classObject(), "description",
                                   makeInstanceImp<std::string()>([](NSObject&) { return std::string("swapped"); }),
                                   "@16@0:8");
    EXPECT_EQ(c->description(), "swapped");
    class_replaceMethod(&NSLayoutConstraint::classObject(), "description", old, "@16@0:8");
}

TEST_F(Layout, TranslatingViewsKeepTheirFramesAndAmbiguityKeepsFrames) {
    auto fixed = std::make_shared<UIView>(CGRectMake(10, 10, 30, 30));
    root->addSubview(fixed);
    auto a = sub(CGRectMake(7, 8, 9, 10));
    root->addConstraint(make(a, NSLayoutAttributeLeft, fixed, NSLayoutAttributeRight, 5));
    root->layoutIfNeeded();
    EXPECT_EQ(fixed->frame(), CGRectMake(10, 10, 30, 30));
    EXPECT_EQ(a->frame(), CGRectMake(45, 8, 9, 10)) << "what no constraint says stays as it was";
}

TEST_F(Layout, IntrinsicSizesHugAndResist) {
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setText("Event");
    label->setFont(UIFont::boldSystemFontOfSize(12));
    root->addSubview(label);
    root->addConstraints({make(label, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
                          make(label, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0)});
    root->layoutIfNeeded();
    CGSize natural = label->intrinsicContentSize();
    EXPECT_EQ(label->frame().size, CGSizeMake(std::ceil(natural.width), std::ceil(natural.height)));
    // A width wish at 500 stretches past hugging (250) but not past compression resistance (750).
    auto wide = size(label, NSLayoutAttributeWidth, 300);
    wide->setPriority(500);
    label->addConstraint(wide);
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, 300);
    wide->setConstant(1);
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, std::ceil(natural.width));
    label->setContentCompressionResistancePriority(400, UILayoutConstraintAxisHorizontal);
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, 1);
    // New text changes the size at the next pass.
    label->setContentCompressionResistancePriority(750, UILayoutConstraintAxisHorizontal);
    label->removeConstraint(wide);
    label->setText("A longer event title");
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, std::ceil(label->intrinsicContentSize().width));
}

TEST_F(Layout, MultiLineLabelGetsItsHeightForTheSolvedWidth) {
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setNumberOfLines(0);
    label->setFont(UIFont::systemFontOfSize(12));
    label->setText("one two three four five six seven eight nine ten eleven twelve thirteen fourteen");
    root->addSubview(label);
    root->addConstraints({make(label, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 10),
                          make(label, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0),
                          make(label, NSLayoutAttributeWidth, nullptr, NSLayoutAttributeNotAnAttribute, 100)});
    root->layoutIfNeeded();
    double expected = std::ceil(label->sizeThatFits(CGSizeMake(100, 0)).height);
    EXPECT_GT(expected, std::ceil(UIFont::systemFontOfSize(12)->lineHeight()));
    EXPECT_EQ(label->frame(), CGRectMake(10, 0, 100, expected));
}

TEST_F(Layout, BaselinesOfLabelsAndOtherViews) {
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setText("Base");
    root->addSubview(label);
    auto box = sub();
    root->addConstraints({make(label, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
                          make(label, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0),
                          make(box, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
                          size(box, NSLayoutAttributeHeight, 10), size(box, NSLayoutAttributeWidth, 10),
                          make(box, NSLayoutAttributeBaseline, label, NSLayoutAttributeBaseline, 0)});
    root->layoutIfNeeded();
    auto font = label->font();
    // One line, centred in the label's whole-point height.
    double baseline = label->frame().origin.y + (label->frame().size.height - font->lineHeight()) / 2 + font->ascender();
    EXPECT_NEAR(CGRectGetMaxY(box->frame()), baseline, 1e-6);
}

TEST_F(Layout, BoundsOriginsBetweenAndNoResolveOnScroll) {
    auto content = std::make_shared<UIView>(CGRectMake(0, 20, 375, 60));
    root->addSubview(content);
    content->setBounds(CGRectMake(0, 100, 375, 60));  // scrolled by 100
    auto a = sub(CGRectZero, content);
    root->addConstraints({make(a, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 30),
                          make(a, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
                          size(a, NSLayoutAttributeHeight, 5), size(a, NSLayoutAttributeWidth, 5)});
    root->layoutIfNeeded();
    // 30 in the root's space is 10 into the content view's frame, 110 in its bounds space.
    EXPECT_EQ(a->frame(), CGRectMake(0, 110, 5, 5));
    EXPECT_EQ(a->convertRectToView(a->bounds(), root.get()).origin.y, 30);
    content->setBounds(CGRectMake(0, 0, 375, 60));
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().origin.y, 110) << "scrolling does not solve again";
}

TEST_F(Layout, RemovingAViewDropsConstraintsReachingOut) {
    auto box = sub();
    auto inner = sub(CGRectZero, box);
    auto out = make(inner, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 3);
    auto within = make(inner, NSLayoutAttributeTop, box, NSLayoutAttributeTop, 4);
    auto other = make(box, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 7);
    root->addConstraints({out, other});
    box->addConstraint(within);
    root->layoutIfNeeded();
    box->removeFromSuperview();
    EXPECT_FALSE(out->isActive());
    EXPECT_FALSE(other->isActive());
    EXPECT_TRUE(within->isActive());
    box->layoutIfNeeded();
    EXPECT_EQ(inner->frame().origin.y, 4);
    // Dying views leave nothing behind in the engine.
    std::weak_ptr<UIView> gone = inner;
    inner->removeFromSuperview();
    inner.reset();
    EXPECT_TRUE(gone.expired());
}

TEST_F(Layout, NoCommonAncestorDoesNothing) {
    Log log;
    auto w1 = std::make_shared<UIWindow>(CGRectMake(0, 0, 100, 100));
    auto w2 = std::make_shared<UIWindow>(CGRectMake(0, 0, 100, 100));
    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>();
    w1->addSubview(a);
    w2->addSubview(b);
    auto c = make(a, NSLayoutAttributeLeft, b, NSLayoutAttributeLeft, 0);
    c->setActive(true);
    EXPECT_FALSE(c->isActive());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("no common ancestor"), std::string::npos);
    // Held by a view that does not contain both items: listed, waiting, harmless.
    a->addConstraint(c);
    w1->layoutIfNeeded();
    EXPECT_TRUE(c->isActive());
}

TEST_F(Layout, UpdateConstraintsRunsBeforeTheSolve) {
    struct Updating : UIView {
        std::function<void()> hook;
        int calls = 0;
        void updateConstraints() override {
            ++calls;
            if (hook) hook();
            UIView::updateConstraints();
        }
    };
    auto view = std::make_shared<Updating>();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(view);
    root->addConstraints({make(view, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
                          make(view, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0)});
    view->hook = [&] { view->addConstraint(size(view, NSLayoutAttributeWidth, 33)); };
    view->setNeedsUpdateConstraints();
    EXPECT_TRUE(view->needsUpdateConstraints());
    root->layoutIfNeeded();
    EXPECT_EQ(view->calls, 1);
    EXPECT_FALSE(view->needsUpdateConstraints());
    EXPECT_EQ(view->frame().size.width, 33);
    root->layoutIfNeeded();
    EXPECT_EQ(view->calls, 1);
}

TEST(LayoutGuides, SafeAreaPinnedViewOnTwoScreens) {
    struct Case {
        const char* screen;
        CGRect expected;
    };
    const Case cases[] = {
        {"375x812@3", CGRectMake(0, 44, 375, 812 - 44 - 34)},
        {"375x667@2", CGRectMake(0, 20, 375, 647)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        UIScreen::setMainScreenSpecForTesting(c.screen);
        auto window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        auto controller = std::make_shared<UIViewController>();
        window->addSubview(controller->view());
        controller->view()->setFrame(window->bounds());
        auto v = std::make_shared<UIView>();
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        auto root = controller->view();
        root->addSubview(v);
        auto guide = root->safeAreaLayoutGuide();
        NSLayoutConstraint::activateConstraints(
            {make(v, NSLayoutAttributeTop, guide, NSLayoutAttributeTop, 0),
             make(v, NSLayoutAttributeBottom, guide, NSLayoutAttributeBottom, 0),
             make(v, NSLayoutAttributeLeft, guide, NSLayoutAttributeLeft, 0),
             make(v, NSLayoutAttributeRight, guide, NSLayoutAttributeRight, 0)});
        window->layoutIfNeeded();
        EXPECT_EQ(v->frame(), c.expected);
        // The controller's guides give the same edges.
        auto w = std::make_shared<UIView>();
        w->setTranslatesAutoresizingMaskIntoConstraints(false);
        root->addSubview(w);
        NSLayoutConstraint::activateConstraints(
            {make(w, NSLayoutAttributeTop, controller->topLayoutGuide(), NSLayoutAttributeBottom, 0),
             make(w, NSLayoutAttributeBottom, controller->bottomLayoutGuide(), NSLayoutAttributeTop, 0),
             make(w, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0),
             make(w, NSLayoutAttributeWidth, root, NSLayoutAttributeWidth, 0)});
        window->layoutIfNeeded();
        EXPECT_EQ(w->frame(), c.expected);
    }
    UIScreen::setMainScreenSpecForTesting(std::nullopt);
}
