#include <platform_uikit/CALayer.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

// A rectangle converted corner by corner, each corner on its own walk.
CGRect cornerByCorner(const UIView& from, CGRect r, const UIView* to) {
    return CGRectBoundingPoints({from.convertPointToView({CGRectGetMinX(r), CGRectGetMinY(r)}, to),
                                 from.convertPointToView({CGRectGetMaxX(r), CGRectGetMinY(r)}, to),
                                 from.convertPointToView({CGRectGetMinX(r), CGRectGetMaxY(r)}, to),
                                 from.convertPointToView({CGRectGetMaxX(r), CGRectGetMaxY(r)}, to)});
}

bool near(CGRect a, CGRect b) {
    return std::fabs(a.origin.x - b.origin.x) < 1e-9 && std::fabs(a.origin.y - b.origin.y) < 1e-9 &&
           std::fabs(a.size.width - b.size.width) < 1e-9 && std::fabs(a.size.height - b.size.height) < 1e-9;
}

std::string text(CGRect r) {
    return "{" + std::to_string(r.origin.x) + ", " + std::to_string(r.origin.y) + ", " + std::to_string(r.size.width) +
           ", " + std::to_string(r.size.height) + "}";
}

// root > a > b > c, plus a second window with its own view, rebuilt for each case.
struct Tree {
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 400, 800));
    std::shared_ptr<UIWindow> other = std::make_shared<UIWindow>(CGRectMake(30, 40, 300, 300));
    UIViewPtr a = std::make_shared<UIView>(CGRectMake(10, 20, 200, 200));
    UIViewPtr b = std::make_shared<UIView>(CGRectMake(5, 5, 100, 100));
    UIViewPtr c = std::make_shared<UIView>(CGRectMake(7, 3, 40, 30));
    UIViewPtr elsewhere = std::make_shared<UIView>(CGRectMake(12, 8, 50, 50));
    UIViewPtr detached = std::make_shared<UIView>(CGRectMake(3, 4, 20, 20));
    Tree() {
        window->addSubview(a);
        a->addSubview(b);
        b->addSubview(c);
        other->addSubview(elsewhere);
    }
};

TEST(LayerConversion, RectOnOneWalkMatchesCornerByCorner) {
    struct Case {
        const char* name;
        std::function<void(Tree&)> setup;
    };
    const Case cases[] = {
        {"plain offsets", [](Tree&) {}},
        {"rotation", [](Tree& t) { t.b->setTransform(CGAffineTransformMakeRotation(0.3)); }},
        {"scale", [](Tree& t) { t.c->setTransform(CGAffineTransformMakeScale(2.5, -0.5)); }},
        {"rotation and scale on two levels",
         [](Tree& t) {
             t.a->setTransform(CGAffineTransformMakeRotation(-1.1));
             t.c->setTransform(CGAffineTransformScale(CGAffineTransformMakeRotation(0.7), 1.5, 3));
         }},
        {"anchor point",
         [](Tree& t) {
             t.b->layer()->setAnchorPoint(CGPointMake(0.1, 0.9));
             t.b->setTransform(CGAffineTransformMakeRotation(0.4));
         }},
        {"bounds origins", [](Tree& t) {
             t.a->setBounds(CGRectMake(-13, 30.5, 200, 200));
             t.c->setBounds(CGRectMake(4, -6, 40, 30));
         }},
        {"translation in a 3-D transform",
         [](Tree& t) { t.b->layer()->setTransform(CATransform3DMakeTranslation(11, -7, 5)); }},
        {"everything at once", [](Tree& t) {
             t.a->setBounds(CGRectMake(3, 9, 200, 200));
             t.a->setTransform(CGAffineTransformMakeScale(0.75, 1.25));
             t.b->layer()->setAnchorPoint(CGPointMake(1, 0));
             t.b->setTransform(CGAffineTransformMakeRotation(2.2));
             t.c->setBounds(CGRectMake(-1.5, 2.25, 40, 30));
             t.elsewhere->setTransform(CGAffineTransformMakeRotation(-0.6));
             t.elsewhere->setBounds(CGRectMake(6, 6, 50, 50));
         }},
    };
    const CGRect rects[] = {CGRectMake(0, 0, 40, 30), CGRectMake(-3.5, 2, 17.25, 0), CGRectMake(9, -4, 0, 0)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tree t;
        c.setup(t);
        const UIView* views[] = {t.window.get(), t.a.get(), t.b.get(), t.c.get(), t.elsewhere.get(),
                                 t.other.get(), t.detached.get(), nullptr};
        for (const UIView* from : views) {
            if (!from) continue;
            for (const UIView* to : views)
                for (const CGRect& r : rects) {
                    SCOPED_TRACE(testing::Message() << "from " << (from - views[0]) << " rect " << text(r));
                    // Exactly the corner-by-corner result: the same arithmetic per corner.
                    EXPECT_EQ(from->convertRectToView(r, to), cornerByCorner(*from, r, to));
                    if (to) {
                        EXPECT_EQ(to->convertRectFromView(r, from), from->convertRectToView(r, to));
                    }
                }
        }
    }
}

TEST(LayerConversion, KnownRectanglesAndRoundTrips) {
    Tree t;
    t.b->setTransform(CGAffineTransformMakeRotation(M_PI / 2));
    t.a->setBounds(CGRectMake(0, 30, 200, 200));
    // c spans (7, 3)-(47, 33) in b; b turns a quarter about its centre (55, 55) in a, which maps
    // b's (x, y) to (55 - (y - 50), 55 + (x - 50)); a's space is the window's moved by (10, -10).
    EXPECT_TRUE(near(t.c->convertRectToView(t.c->bounds(), t.window.get()), CGRectMake(82, 2, 30, 40)))
        << text(t.c->convertRectToView(t.c->bounds(), t.window.get()));
    EXPECT_TRUE(near(t.window->convertRectToView(CGRectMake(82, 2, 30, 40), t.c.get()), CGRectMake(0, 0, 40, 30)));
    // Different windows: each side stands in its own window's space.
    EXPECT_TRUE(near(t.elsewhere->convertRectToView(CGRectMake(0, 0, 10, 10), t.a.get()), CGRectMake(2, 18, 10, 10)));
}

// Deeper than the fixed array the target's chain is first kept in.
TEST(LayerConversion, DeepChainsBothWays) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 400, 800));
    std::vector<UIViewPtr> chain;
    UIView* parent = window.get();
    for (int i = 0; i < 40; ++i) {
        auto v = std::make_shared<UIView>(CGRectMake(1, 2, 300, 300));
        if (i % 7 == 3) v->setTransform(CGAffineTransformMakeRotation(0.05 * i));
        parent->addSubview(v);
        chain.push_back(v);
        parent = v.get();
    }
    const CGRect r = CGRectMake(2, 3, 10, 20);
    for (std::size_t i : {0u, 15u, 16u, 17u, 39u})
        for (std::size_t j : {0u, 16u, 39u}) {
            SCOPED_TRACE(testing::Message() << i << " to " << j);
            EXPECT_EQ(chain[i]->convertRectToView(r, chain[j].get()), cornerByCorner(*chain[i], r, chain[j].get()));
        }
    // The plain offsets add up: 40 levels of (1, 2) with no turn.
    std::vector<UIViewPtr> straight;
    parent = window.get();
    for (int i = 0; i < 40; ++i) {
        auto v = std::make_shared<UIView>(CGRectMake(1, 2, 300, 300));
        parent->addSubview(v);
        straight.push_back(v);
        parent = v.get();
    }
    EXPECT_EQ(straight.back()->convertRectToView(r, window.get()), CGRectMake(42, 83, 10, 20));
    EXPECT_EQ(window->convertRectToView(CGRectMake(42, 83, 10, 20), straight.back().get()), r);
}

TEST(LayerConversion, PointFromTheRootSpaceOfALayer) {
    auto root = CALayer::layer();
    auto mid = CALayer::layer();
    auto leaf = CALayer::layer();
    root->addSublayer(mid);
    mid->addSublayer(leaf);
    mid->setBounds(CGRectMake(0, 10, 100, 100));
    mid->setPosition(CGPointMake(60, 70));
    leaf->setBounds(CGRectMake(0, 0, 20, 20));
    leaf->setPosition(CGPointMake(30, 40));
    // mid's space is the root's moved by (10, 10), leaf's is mid's moved by (20, 30).
    EXPECT_EQ(leaf->convertPointToLayer(CGPointMake(0, 0), nullptr), CGPointMake(30, 40));
    EXPECT_EQ(leaf->convertPointFromLayer(CGPointMake(30, 40), nullptr), CGPointMake(0, 0));
    EXPECT_EQ(leaf->convertPointFromLayer(CGPointMake(30, 40), root.get()), CGPointMake(0, 0));
    EXPECT_EQ(root->convertPointFromLayer(CGPointMake(5, 5), nullptr), CGPointMake(5, 5));
}

}  // namespace
