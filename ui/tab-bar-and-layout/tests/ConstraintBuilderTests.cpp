// The chainable constraint builder: chains, composites, installation,
// update and remake, descriptions, distributions, and the frames the engine
// gives what the builder installed.
#include <ui_tab_bar_and_layout/LCDebugAdditions.h>
#include <ui_tab_bar_and_layout/LCViewListExtensions.h>

#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSLog.h>
#include <platform_runtime/NSException.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Log {
    std::vector<std::string> lines;
    Log() {
        NSLogSetSinkForTesting([this](const std::string& line) { lines.push_back(line); });
    }
    ~Log() { NSLogSetSinkForTesting(nullptr); }
};

std::shared_ptr<LCViewConstraint> asView(const LCConstraintPtr& c) { return std::dynamic_pointer_cast<LCViewConstraint>(c); }
std::shared_ptr<LCCompositeConstraint> asGroup(const LCConstraintPtr& c) {
    return std::dynamic_pointer_cast<LCCompositeConstraint>(c);
}

struct Builder : ::testing::Test {
    UIViewPtr root = std::make_shared<UIView>(CGRectMake(0, 0, 375, 80));
    UIViewPtr child() {
        auto v = std::make_shared<UIView>();
        root->addSubview(v);
        return v;
    }
};

}  // namespace

TEST_F(Builder, TimelineChainsBecomeTheseConstraints) {
    auto v = child(), p = child();
    std::vector<LCConstraintPtr> made = lc_makeConstraints(v, [&](LCConstraintMaker& make) {
        make.top()->equalTo()(10);
        make.left()->equalTo()(root)->offset()(60);
        make.width()->height()->equalTo()(14);
        make.centerY()->equalTo()(p)->offset()(10);
    });
    EXPECT_FALSE(v->translatesAutoresizingMaskIntoConstraints());
    ASSERT_EQ(made.size(), 4u);
    auto top = asView(made[0])->layoutConstraint();
    ASSERT_TRUE(top);
    EXPECT_EQ(top->installedView(), root);
    EXPECT_EQ(top->secondItem(), root) << "a number on a position relates it to the superview";
    EXPECT_EQ(top->secondAttribute(), NSLayoutAttributeTop);
    EXPECT_EQ(top->constant(), 10);
    auto size = asGroup(made[2]);
    ASSERT_TRUE(size) << "height after width makes a group in the width's place";
    ASSERT_EQ(size->childConstraints().size(), 2u);
    for (const auto& c : size->childConstraints()) {
        auto held = asView(c)->layoutConstraint();
        EXPECT_EQ(held->installedView(), v);
        EXPECT_EQ(held->secondItem(), nullptr);
        EXPECT_EQ(held->constant(), 14);
    }
    auto centre = asView(made[3])->layoutConstraint();
    EXPECT_EQ(centre->secondItem(), p);
    EXPECT_EQ(centre->secondAttribute(), NSLayoutAttributeCenterY);
    EXPECT_EQ(lc_installedConstraints(*v).size(), 5u);
}

TEST_F(Builder, ModifiersByAttribute) {
    auto v = child();
    struct Case {
        const char* name;
        std::function<LCConstraintPtr(LCConstraintMaker&)> chain;
        std::vector<double> constants;
    };
    const Case cases[] = {
        {"insets on a composite", [](LCConstraintMaker& m) { return m.edges()->insets()(UIEdgeInsetsMake(10, 20, 30, 40)); },
         {20, -40, 10, -30}},
        {"inset 5 on centerX", [](LCConstraintMaker& m) { return m.centerX()->inset()(5); }, {0}},
        {"size offset on left", [](LCConstraintMaker& m) { return m.left()->sizeOffset()(CGSizeMake(3, 4)); }, {0}},
        {"centre offset on width", [](LCConstraintMaker& m) { return m.width()->centerOffset()(CGPointMake(3, 4)); }, {0}},
        {"size offset on size", [](LCConstraintMaker& m) { return m.size()->sizeOffset()(CGSizeMake(3, 4)); }, {3, 4}},
        {"centre offset boxed", [](LCConstraintMaker& m) { return m.center()->valueOffset()(Value(CGPointMake(-1, 2))); },
         {-1, 2}},
        {"number then view keeps the constant", [&](LCConstraintMaker& m) { return m.left()->equalTo()(7)->equalTo()(root); },
         {7}},
        {"lc_offset is offset", [](LCConstraintMaker& m) { return m.top()->lc_offset()(-3); }, {-3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto maker = LCConstraintMaker::withView(v);
        auto result = c.chain(*maker);
        std::vector<LCConstraintPtr> leaves = asGroup(result) ? asGroup(result)->childConstraints()
                                                              : std::vector<LCConstraintPtr>{result};
        ASSERT_EQ(leaves.size(), c.constants.size());
        for (std::size_t i = 0; i < leaves.size(); ++i) EXPECT_EQ(asView(leaves[i])->layoutConstant(), c.constants[i]);
    }
    auto maker = LCConstraintMaker::withView(v);
    auto c = asView(maker->left()->equalTo()(7)->equalTo()(root));
    EXPECT_EQ(c->secondViewAttribute()->view(), root);
    EXPECT_EQ(c->secondViewAttribute()->layoutAttribute(), NSLayoutAttributeLeft);
    auto d = asView(maker->width()->greaterThanOrEqualTo()(root)->dividedBy()(4));
    EXPECT_EQ(d->layoutMultiplier(), 0.25);
    EXPECT_EQ(d->layoutRelation(), NSLayoutRelationGreaterThanOrEqual);
    auto medium = maker->height()->lessThanOrEqualTo()(5);
    EXPECT_EQ(medium->priorityMedium()(), medium);
    EXPECT_EQ(asView(medium)->layoutPriority(), 500);
}

TEST_F(Builder, ListTargetsAndNamedMasks) {
    auto v = child(), a = child(), b = child();
    auto maker = LCConstraintMaker::withView(v);
    auto first = maker->left();
    auto group = maker->left()->equalTo()(Value(Value::Array{Value(a), Value(b)}));
    ASSERT_EQ(maker->constraints().size(), 2u);
    EXPECT_EQ(maker->constraints()[0], first);
    EXPECT_EQ(maker->constraints()[1], group) << "the list turns the constraint into a group in its place";
    auto children = asGroup(group)->childConstraints();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(asView(children[1])->secondViewAttribute()->view(), b);
    struct Mask {
        const char* name;
        LCConstraintPtr made;
        std::vector<NSLayoutAttribute> attributes;
    };
    auto m = LCConstraintMaker::withView(v);
    const Mask masks[] = {
        {"edges", m->edges(), {NSLayoutAttributeLeft, NSLayoutAttributeRight, NSLayoutAttributeTop, NSLayoutAttributeBottom}},
        {"size", m->size(), {NSLayoutAttributeWidth, NSLayoutAttributeHeight}},
        {"center", m->center(), {NSLayoutAttributeCenterX, NSLayoutAttributeCenterY}},
        {"three chained", m->width()->height()->centerX(), {NSLayoutAttributeWidth, NSLayoutAttributeHeight, NSLayoutAttributeCenterX}},
        {"unknown bits", m->attributes()(1 | (1 << 20)), {}},
    };
    for (const auto& mask : masks) {
        SCOPED_TRACE(mask.name);
        auto g = asGroup(mask.made);
        ASSERT_TRUE(g);
        ASSERT_EQ(g->childConstraints().size(), mask.attributes.size());
        for (std::size_t i = 0; i < mask.attributes.size(); ++i)
            EXPECT_EQ(asView(g->childConstraints()[i])->firstViewAttribute()->layoutAttribute(), mask.attributes[i]);
    }
    EXPECT_EQ(m->constraints().size(), 5u);
}

TEST_F(Builder, CompositeKeysAndGroups) {
    auto v = child();
    setLc_key(*v, Value("box"));
    auto made = lc_makeConstraints(v, [&](LCConstraintMaker& make) {
        make.edges()->equalTo()(root)->key()(Value("k"));
        auto g = make.group()([&] {
            make.width()->equalTo()(300);
            make.height()->equalTo()(300);
        });
        g->priorityLow()();
    });
    ASSERT_EQ(made.size(), 3u) << "the group's members stay in the maker's list";
    auto edges = asGroup(made[0]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(asView(edges->childConstraints()[i])->lc_key().stringValue(), "k[" + std::to_string(i) + "]");
    EXPECT_EQ(asView(made[1])->layoutPriority(), 250);
    EXPECT_EQ(asView(made[2])->layoutPriority(), 250);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRectMake(0, 0, 375, 80)) << "required edges beat the low size wishes";
    auto held = asView(edges->childConstraints()[0])->layoutConstraint();
    EXPECT_EQ(held->description(), "<LCLayoutConstraint:k[0] UIView:box.left == " + NSLayoutObjectName(root.get()) + ".left>");
}

TEST_F(Builder, UpdateRemakeAndReinstall) {
    auto v = child();
    auto chain = [](double offset) {
        return [offset](LCConstraintMaker& make) { make.left()->equalTo()(offset); };
    };
    lc_makeConstraints(v, chain(10));
    lc_makeConstraints(v, chain(10));
    EXPECT_EQ(root->constraints().size(), 2u) << "make twice installs twice";
    auto updated = lc_updateConstraints(v, chain(25));
    EXPECT_EQ(root->constraints().size(), 2u);
    EXPECT_EQ(root->constraints().back()->constant(), 25) << "the newest equal constraint is updated";
    lc_updateConstraints(v, [](LCConstraintMaker& make) { make.left()->equalTo()(5)->multipliedBy()(2); });
    lc_updateConstraints(v, [](LCConstraintMaker& make) { make.left()->equalTo()(5)->priorityHigh()(); });
    EXPECT_EQ(root->constraints().size(), 4u) << "another multiplier or priority adds";
    root->addConstraint(NSLayoutConstraint::constraintWithItem(v, NSLayoutAttributeTop, NSLayoutRelationEqual, root,
                                                               NSLayoutAttributeTop, 1, 0));
    lc_updateConstraints(v, [](LCConstraintMaker& make) { make.top()->equalTo()(9); });
    EXPECT_EQ(root->constraints().size(), 6u) << "constraints made by other code are never matched";

    auto kept = asView(lc_makeConstraints(v, [](LCConstraintMaker& make) { make.width()->equalTo()(44); })[0]);
    auto platform = kept->layoutConstraint();
    kept->install();
    EXPECT_EQ(v->constraints().size(), 1u) << "installing twice does nothing";
    kept->uninstall();
    EXPECT_FALSE(platform->isActive());
    platform.reset();
    EXPECT_EQ(kept->layoutConstraint(), nullptr) << "nobody holds the switched-off platform constraint";
    kept->install();
    EXPECT_TRUE(kept->layoutConstraint()->isActive());
    EXPECT_EQ(kept->layoutConstraint()->installedView(), v);

    lc_remakeConstraints(v, [](LCConstraintMaker& make) { make.top()->equalTo()(1); });
    EXPECT_EQ(lc_installedConstraints(*v).size(), 1u);
    EXPECT_EQ(root->constraints().size(), 2u) << "only the other code's constraint and the new one remain";
}

TEST_F(Builder, HeldConstraintMovesFramesAndReturnsToItsView) {
    auto v = child();
    LCConstraintPtr left;
    lc_makeConstraints(v, [&](LCConstraintMaker& make) {
        left = make.left()->equalTo()(root)->offset()(60);
        make.top()->equalTo()(0);
        make.size()->equalTo()(Value(CGSizeMake(10, 10)));
    });
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame(), CGRectMake(60, 0, 10, 10));
    left->offset()(80);
    root->layoutIfNeeded();
    EXPECT_EQ(v->frame().origin.x, 80);
    auto platform = asView(left)->layoutConstraint();
    left->deactivate();
    EXPECT_FALSE(asView(left)->hasBeenInstalled());
    left->activate();
    EXPECT_EQ(asView(left)->layoutConstraint(), platform);
    EXPECT_EQ(platform->installedView(), root);
}

TEST_F(Builder, AbstractOperationsRaise) {
    auto c = std::make_shared<LCConstraint>();
    struct Case {
        const char* selector;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"addConstraintWithLayoutAttribute:", [&] { c->left(); }},
        {"multipliedBy", [&] { c->multipliedBy(); }},
        {"dividedBy", [&] { c->dividedBy(); }},
        {"priority", [&] { c->priorityHigh()(); }},
        {"equalToWithRelation", [&] { c->equalTo()(1); }},
        {"key", [&] { c->key(); }},
        {"setInsets:", [&] { c->insets()(UIEdgeInsetsZero); }},
        {"setInset:", [&] { c->inset()(1); }},
        {"setSizeOffset:", [&] { c->sizeOffset()(CGSizeZero); }},
        {"setCenterOffset:", [&] { c->centerOffset()(CGPointZero); }},
        {"setOffset:", [&] { c->offset()(1); }},
        {"activate", [&] { c->activate(); }},
        {"deactivate", [&] { c->deactivate(); }},
        {"install", [&] { c->install(); }},
        {"uninstall", [&] { c->uninstall(); }},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.selector);
        try {
            k.call();
            ADD_FAILURE() << "no exception";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), NSInternalInconsistencyException);
            EXPECT_EQ(e.reason(), std::string("You must override ") + k.selector + " in a subclass.");
        }
    }
}

TEST_F(Builder, Descriptions) {
    auto label = std::make_shared<UILabel>();
    root->addSubview(label);
    auto made = [&](NSLayoutAttribute a, const UIViewPtr& to, NSLayoutAttribute b, double m, double k, float priority) {
        auto c = std::make_shared<LCLayoutConstraint>();
        c->initWithItem(label, a, NSLayoutRelationEqual, to, b, m, k);
        c->setPriority(priority);
        return c;
    };
    const std::string L = NSLayoutObjectName(label.get()), R = NSLayoutObjectName(root.get());
    struct Case {
        LCLayoutConstraintPtr c;
        std::string text;
    };
    const Case cases[] = {
        {made(NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 1, 60, 1000), L + ".left == " + R + ".left + 60>"},
        {made(NSLayoutAttributeWidth, nullptr, NSLayoutAttributeNotAnAttribute, 1, 0, 1000), L + ".width == 0>"},
        {made(NSLayoutAttributeWidth, root, NSLayoutAttributeWidth, 1, -120, 1000), L + ".width == " + R + ".width - 120>"},
        {made(NSLayoutAttributeWidth, root, NSLayoutAttributeWidth, 0.5, 0, 1000), L + ".width == " + R + ".width * 0.5>"},
        {made(NSLayoutAttributeTop, root, NSLayoutAttributeTop, 1, 0, 250), L + ".top == " + R + ".top ^low>"},
        {made(NSLayoutAttributeTop, root, NSLayoutAttributeTop, 1, 2, 251), L + ".top == " + R + ".top + 2 ^251>"},
        {made(NSLayoutAttributeTop, root, NSLayoutAttributeTop, 1, 2, 999.5), L + ".top == " + R + ".top + 2 ^999.5>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.c->description(), "<" + NSLayoutObjectName(c.c.get()) + " " + c.text);
    }
    // Every constraint in the process, the platform's own included.
    auto plain = NSLayoutConstraint::constraintWithItem(label, NSLayoutAttributeHeight, NSLayoutRelationLessThanOrEqual,
                                                        nullptr, NSLayoutAttributeNotAnAttribute, 1, 3);
    setLc_key(*label, Value("time"));
    EXPECT_EQ(plain->description(), "<" + NSLayoutObjectName(plain.get()) + " UILabel:time.height <= 3>");
    EXPECT_EQ(lc_descriptionForObject(nullptr), "(null)");
}

TEST_F(Builder, ConflictingChainsAreLoggedWithKeysAndTheRestIsLaidOut) {
    Log log;
    auto v = child();
    setLc_key(*v, Value("v"));
    lc_makeConstraints(v, [](LCConstraintMaker& make) {
        make.width()->equalTo()(100)->key()(Value("w100"));
        make.width()->equalTo()(50)->key()(Value("w50"));
        make.left()->top()->equalTo()(5);
        make.height()->equalTo()(20);
    });
    root->layoutIfNeeded();
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("\"<LCLayoutConstraint:w100 UIView:v.width == 100>\""), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[0].find("breaking constraint \n<LCLayoutConstraint:w50 UIView:v.width == 50>"), std::string::npos);
    EXPECT_EQ(v->frame(), CGRectMake(5, 5, 100, 20));
}

TEST_F(Builder, BadInputDoesNotCrash) {
    Log log;
    auto v = child();
    // A NaN offset is the platform's exception, raised at installation.
    EXPECT_THROW(lc_makeConstraints(v, [](LCConstraintMaker& make) { make.left()->equalTo()(NAN); }), NSException);
    EXPECT_THROW(lc_makeConstraints(v, [](LCConstraintMaker& make) { make.width()->equalTo()(3)->dividedBy()(0); }),
                 NSException);
    // Views in different windows share no ancestor: nothing is installed anywhere.
    auto w1 = std::make_shared<UIWindow>(CGRectMake(0, 0, 100, 100));
    auto w2 = std::make_shared<UIWindow>(CGRectMake(0, 0, 100, 100));
    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>();
    w1->addSubview(a);
    w2->addSubview(b);
    auto made = lc_makeConstraints(a, [&](LCConstraintMaker& make) { make.left()->equalTo()(b); });
    EXPECT_EQ(asView(made[0])->installedView(), nullptr);
    EXPECT_EQ(asView(made[0])->layoutConstraint(), nullptr);
    EXPECT_TRUE(w1->constraints().empty());
    EXPECT_EQ(lc_closestCommonSuperview(a, b), nullptr);
    // A constrained view removed from its superview takes its outward constraints with it.
    lc_makeConstraints(v, [&](LCConstraintMaker& make) { make.edges()->equalTo()(root); });
    v->removeFromSuperview();
    EXPECT_TRUE(root->constraints().empty());
    root->layoutIfNeeded();
}

TEST(TimelineCell, FiveSubviewsInAContentView) {
    auto content = std::make_shared<UIView>(CGRectMake(0, 0, 375, 80));
    auto line = std::make_shared<UIImageView>(CGRectMake(20, 20, 13, 13));
    auto point = std::make_shared<UIImageView>();
    auto time = std::make_shared<UILabel>();
    time->setText("12:34 PM");
    time->setFont(UIFont::boldSystemFontOfSize(12));
    time->setTextAlignment(NSTextAlignmentCenter);
    time->setNumberOfLines(0);
    auto event = std::make_shared<UILabel>();
    event->setText("Event");
    event->setFont(UIFont::boldSystemFontOfSize(12));
    auto body = std::make_shared<UILabel>();
    body->setText("Content");
    body->setFont(UIFont::systemFontOfSize(12));
    body->setNumberOfLines(0);
    for (UIViewPtr v : std::vector<UIViewPtr>{line, point, time, event, body}) content->addSubview(v);
    lc_makeConstraints(point, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(content)->offset()(60);
        make.top()->equalTo()(10);
        make.width()->height()->equalTo()(14);
    });
    lc_makeConstraints(line, [&](LCConstraintMaker& make) {
        make.centerX()->equalTo()(point);
        make.top()->equalTo()(lc_top(content));
        make.bottom()->equalTo()(lc_bottom(content));
        make.width()->equalTo()(1);
    });
    lc_makeConstraints(time, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(content)->offset()(10);
        make.centerY()->equalTo()(point)->offset()(10);
        make.width()->equalTo()(50);
    });
    lc_makeConstraints(event, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(lc_left(point))->offset()(15);
        make.centerY()->equalTo()(point);
        make.width()->equalTo()(content)->offset()(-120);
    });
    lc_makeConstraints(body, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(lc_left(event));
        make.top()->equalTo()(lc_top(event))->offset()(20);
        make.width()->equalTo()(lc_width(event));
    });
    content->layoutIfNeeded();

    EXPECT_EQ(point->frame(), CGRectMake(60, 10, 14, 14));
    EXPECT_EQ(line->frame(), CGRectMake(66.5, 0, 1, 80));
    double timeHeight = std::ceil(time->sizeThatFits(CGSizeMake(50, 0)).height);
    EXPECT_EQ(time->frame(), CGRectMake(10, 17 + 10 - timeHeight / 2, 50, timeHeight));
    double eventHeight = std::ceil(event->intrinsicContentSize().height);
    EXPECT_EQ(event->frame(), CGRectMake(75, 17 - eventHeight / 2, 255, eventHeight));
    double bodyHeight = std::ceil(body->sizeThatFits(CGSizeMake(255, 0)).height);
    EXPECT_EQ(body->frame(), CGRectMake(75, event->frame().origin.y + 20, 255, bodyHeight));
    // A longer content text grows the content label at the next pass.
    body->setText("one\ntwo\nthree");
    content->layoutIfNeeded();
    EXPECT_EQ(body->frame().size.height, std::ceil(body->sizeThatFits(CGSizeMake(255, 0)).height));
    EXPECT_GT(body->frame().size.height, bodyHeight * 2);
}

TEST(Distributions, ThreeViewsAlongA375PointSuperview) {
    struct Case {
        const char* name;
        bool fixedSpacing;
        double value, lead, tail;
        std::vector<CGRect> frames;
    };
    // Spacing 10: (375 − 20 − 30 − 2 × 10) / 3 = 101.67 each.
    const double w = (375.0 - 20 - 30 - 20) / 3;
    const Case cases[] = {
        {"fixed spacing", true, 10, 20, 30,
         {CGRectMake(20, 0, w, 10), CGRectMake(20 + w + 10, 0, w, 10), CGRectMake(20 + 2 * w + 20, 0, w, 10)}},
        {"fixed length", false, 50, 10, 10,
         {CGRectMake(10, 0, 50, 10), CGRectMake(162.5, 0, 50, 10), CGRectMake(315, 0, 50, 10)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = std::make_shared<UIView>(CGRectMake(0, 0, 375, 10));
        std::vector<UIViewPtr> views;
        for (int i = 0; i < 3; ++i) {
            views.push_back(std::make_shared<UIView>());
            s->addSubview(views.back());
        }
        if (c.fixedSpacing)
            lc_distributeViewsAlongAxisWithFixedSpacing(views, 0, c.value, c.lead, c.tail);
        else
            lc_distributeViewsAlongAxisWithFixedItemLength(views, 0, c.value, c.lead, c.tail);
        lc_makeConstraints(views, [](LCConstraintMaker& make) { make.top()->height()->equalTo()(10); });
        s->layoutIfNeeded();
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(views[i]->frame().origin.x, c.frames[i].origin.x, 1e-6) << i;
            EXPECT_NEAR(views[i]->frame().size.width, c.frames[i].size.width, 1e-6) << i;
        }
        if (!c.fixedSpacing) {
            // The middle view: right = s.right × 0.5 + 25.
            auto middle = std::dynamic_pointer_cast<NSLayoutConstraint>(s->constraints()[2]);
            bool found = false;
            for (const auto& k : s->constraints())
                if (k->firstItem() == views[1] && k->firstAttribute() == NSLayoutAttributeRight) {
                    EXPECT_EQ(k->multiplier(), 0.5);
                    EXPECT_EQ(k->constant(), 25);
                    found = true;
                }
            EXPECT_TRUE(found);
            (void)middle;
        }
    }
    // Fewer than two views: nothing; a list without views has no common superview.
    auto lone = std::make_shared<UIView>();
    lc_distributeViewsAlongAxisWithFixedSpacing({lone}, 1, 1, 1, 1);
    EXPECT_TRUE(lone->constraints().empty());
    EXPECT_FALSE(lone->translatesAutoresizingMaskIntoConstraints() == false);
    EXPECT_EQ(lc_commonSuperviewOfViews(std::vector<std::shared_ptr<NSObject>>{std::make_shared<NSObject>()}), nullptr);
    EXPECT_EQ(lc_commonSuperviewOfViews(std::vector<UIViewPtr>{lone}), lone);
}

TEST(SafeArea, PinnedThroughTheBuilderOnTwoScreens) {
    for (auto [spec, expected] : {std::pair{"375x812@3", CGRectMake(0, 44, 375, 734)},
                                  std::pair{"375x667@2", CGRectMake(0, 20, 375, 647)}}) {
        SCOPED_TRACE(spec);
        UIScreen::setMainScreenSpecForTesting(spec);
        auto window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        auto controller = std::make_shared<UIViewController>();
        window->addSubview(controller->view());
        auto root = controller->view();
        root->setFrame(window->bounds());
        auto v = std::make_shared<UIView>();
        root->addSubview(v);
        lc_makeConstraints(v, [&](LCConstraintMaker& make) {
            make.top()->equalTo()(lc_safeAreaLayoutGuideTop(root));
            make.bottom()->equalTo()(lc_safeAreaLayoutGuide(root));
            make.left()->equalTo()(lc_safeAreaLayoutGuideLeft(root));
            make.right()->equalTo()(lc_safeAreaLayoutGuideRight(root));
        });
        auto w = std::make_shared<UIView>();
        root->addSubview(w);
        lc_makeConstraints(w, [&](LCConstraintMaker& make) {
            make.top()->equalTo()(lc_topLayoutGuide(controller));
            make.bottom()->equalTo()(lc_bottomLayoutGuide(controller));
            make.left()->right()->equalTo()(0);
        });
        window->layoutIfNeeded();
        EXPECT_EQ(v->frame(), expected);
        EXPECT_EQ(w->frame(), expected);
        EXPECT_EQ(lc_topLayoutGuide(controller)->layoutAttribute(), NSLayoutAttributeBottom);
        EXPECT_EQ(lc_bottomLayoutGuide(controller)->layoutAttribute(), NSLayoutAttributeTop);
    }
    UIScreen::setMainScreenSpecForTesting(std::nullopt);
}

TEST(ViewAttributes, EqualityHashAndClosestSuperview) {
    auto parent = std::make_shared<UIView>();
    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>(), c = std::make_shared<UIView>();
    parent->addSubview(a);
    parent->addSubview(b);
    a->addSubview(c);
    EXPECT_TRUE(lc_left(a)->isEqual(*lc_left(a)));
    EXPECT_EQ(lc_left(a)->hash(), lc_left(a)->hash());
    EXPECT_FALSE(lc_left(a)->isEqual(*lc_right(a)));
    EXPECT_FALSE(lc_left(a)->isEqual(*lc_left(b)));
    EXPECT_TRUE(lc_safeAreaLayoutGuideLeft(a)->isEqual(*lc_left(a))) << "the item is not compared";
    EXPECT_EQ(lc_closestCommonSuperview(a, b), parent);
    EXPECT_EQ(lc_closestCommonSuperview(c, a), a);
    EXPECT_EQ(lc_closestCommonSuperview(a, a), a);
    EXPECT_EQ(lc_closestCommonSuperview(a, nullptr), nullptr);
}
