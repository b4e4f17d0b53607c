#include <platform_uikit/CALayer.h>
#include <platform_uikit/CATransaction.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIViewAnimationActivity.h>

#include <platform_dispatch/ManualClock.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class AnimationClock : public ::testing::Test {
protected:
    void SetUp() override { ManualClock::install(); }
    void TearDown() override { ManualClock::uninstall(); }
};

struct StopLog : CAAnimationDelegate {
    std::vector<std::string> events;
    void animationDidStart(CAAnimation* a) override { events.push_back("start " + a->valueForKey("tag").stringValue()); }
    void animationDidStop(CAAnimation* a, bool finished) override {
        events.push_back("stop " + a->valueForKey("tag").stringValue() + (finished ? " yes" : " no"));
    }
};

TEST_F(AnimationClock, ViewAnimationChangesTheModelAtOnceAndThePresentationOverTime) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    std::vector<std::string> order;
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionCurveLinear,
        [&] {
            view->setAlpha(0);
            view->setCenter(CGPointMake(150, 50));
            order.push_back("animations");
        },
        [&](bool finished) { order.push_back(finished ? "done yes" : "done no"); });
    order.push_back("returned");
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(view->center(), CGPointMake(150, 50));
    auto shown = view->layer()->presentationLayer();
    EXPECT_NEAR(shown->opacity(), 1, 1e-9);
    ManualClock::advance(0.25);
    shown = view->layer()->presentationLayer();
    EXPECT_NEAR(shown->opacity(), 0.75, 1e-9);
    EXPECT_NEAR(shown->position().x, 75, 1e-9);
    ManualClock::advance(0.5);
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 0.25, 1e-9);
    EXPECT_EQ(order, (std::vector<std::string>{"animations", "returned"}));
    ManualClock::advance(0.25);
    EXPECT_EQ(order, (std::vector<std::string>{"animations", "returned", "done yes"}));
    EXPECT_TRUE(view->layer()->animationKeys().empty());
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 0, 1e-9);
}

TEST_F(AnimationClock, DelayDurationZeroAndRemovalDecideWhenAndHowCompletionRuns) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<std::string> log;
    UIView::animateWithDuration(0, [&] { view->setAlpha(0.5); }, [&](bool f) { log.push_back(f ? "zero yes" : "zero no"); });
    EXPECT_EQ(log, std::vector<std::string>{"zero yes"});  // both at once

    log.clear();
    UIView::animateWithDuration(0.5, 1.0, 0, [&] { view->setAlpha(1); }, [&](bool f) { log.push_back(f ? "delayed yes" : "delayed no"); });
    ManualClock::advance(1.0);
    // Still waiting out its delay: the presentation holds the old value.
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 0.5, 1e-9);
    EXPECT_TRUE(log.empty());
    ManualClock::advance(0.49);
    EXPECT_TRUE(log.empty());
    ManualClock::advance(0.01);
    EXPECT_EQ(log, std::vector<std::string>{"delayed yes"});

    log.clear();
    UIView::animateWithDuration(2, [&] { view->setAlpha(0); }, [&](bool f) { log.push_back(f ? "removed yes" : "removed no"); });
    ManualClock::advance(0.5);
    view->layer()->removeAllAnimations();
    ManualClock::advance(0);
    EXPECT_EQ(log, std::vector<std::string>{"removed no"});
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 0, 1e-9);

    log.clear();
    UIView::animateWithDuration(1, [] {}, [&](bool f) { log.push_back(f ? "empty yes" : "empty no"); });
    ManualClock::advance(0.99);
    EXPECT_TRUE(log.empty());
    ManualClock::advance(0.01);
    EXPECT_EQ(log, std::vector<std::string>{"empty yes"});

    // A new animation of the same property replaces the running one, which ends with NO.
    log.clear();
    UIView::animateWithDuration(1, [&] { view->setAlpha(1); }, [&](bool f) { log.push_back(f ? "first yes" : "first no"); });
    ManualClock::advance(0.5);
    UIView::animateWithDuration(1, [&] { view->setAlpha(0); }, [&](bool f) { log.push_back(f ? "second yes" : "second no"); });
    // The replacement starts from what was shown.
    EXPECT_NEAR(view->layer()->presentationLayer()->opacity(), 0.5, 0.01);
    ManualClock::advance(1);
    EXPECT_EQ(log, (std::vector<std::string>{"first no", "second yes"}));
}

// A block that changed nothing animatable has no layer animation to show that it runs: a host
// waiting for quiet sees it through the count until its completion ran.
TEST_F(AnimationClock, BlocksWithNothingAnimatableAreCountedUntilTheirCompletionRan) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<std::string> log;
    std::size_t countInCompletion = 99;
    UIView::animateWithDuration(0.25, [] {}, [&](bool) {
        countInCompletion = UIViewAnimationTimedCompletionCount();
        log.push_back("empty");
    });
    UIView::animateWithDuration(0.5, 0.25, 0, [] {}, [&](bool) { log.push_back("delayed"); });
    EXPECT_EQ(UIViewAnimationTimedCompletionCount(), 2u);
    // One with a layer animation shows itself on its layer and is not counted.
    UIView::animateWithDuration(0.25, [&] { view->setAlpha(0); }, [&](bool) { log.push_back("alpha"); });
    EXPECT_EQ(UIViewAnimationTimedCompletionCount(), 2u);
    ManualClock::advance(0.25);
    EXPECT_EQ(log, (std::vector<std::string>{"empty", "alpha"}));
    EXPECT_EQ(countInCompletion, 2u);  // still counted while its completion runs
    EXPECT_EQ(UIViewAnimationTimedCompletionCount(), 1u);
    ManualClock::advance(0.5);
    EXPECT_EQ(log, (std::vector<std::string>{"empty", "alpha", "delayed"}));
    EXPECT_EQ(UIViewAnimationTimedCompletionCount(), 0u);
}

// A property set to the value it has, beside a change on the same layer, adds no animation: it
// would show nothing and end with the layer's other ones. Alone on its layer, or with an
// animation of its own key running that it has to replace, it is animated as before.
TEST_F(AnimationClock, UnchangedPropertiesBesideChangesAddNoAnimation) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    auto other = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<std::string> log;
    auto done = [&](const char* name) { return [&log, name](bool f) { log.push_back(std::string(name) + (f ? " yes" : " no")); }; };

    UIView::animateWithDuration(1, [&] {
        view->setAlpha(0.5);
        view->layer()->setCornerRadius(0);
        view->setTransform(CGAffineTransformMakeScale(2, 2));  // scale changes, rotation does not
        other->layer()->setCornerRadius(0);                      // alone on its layer
    }, done("mixed"));
    EXPECT_EQ(view->layer()->animationKeys(),
              (std::vector<std::string>{"opacity", "transform.scale.x", "transform.scale.y"}));
    EXPECT_EQ(other->layer()->animationKeys(), std::vector<std::string>{"cornerRadius"});
    ManualClock::advance(0.99);
    EXPECT_TRUE(log.empty());
    ManualClock::advance(0.01);
    EXPECT_EQ(log, std::vector<std::string>{"mixed yes"});

    // Only unchanged values: the completion still waits for the block's time.
    log.clear();
    UIView::animateWithDuration(0.5, [&] { view->setAlpha(0.5); }, done("same"));
    ManualClock::advance(0.49);
    EXPECT_TRUE(log.empty());
    ManualClock::advance(0.01);
    EXPECT_EQ(log, std::vector<std::string>{"same yes"});

    // An equal value still replaces a running animation of its key, which ends with NO.
    auto stops = std::make_shared<StopLog>();
    auto held = CABasicAnimation::animationWithKeyPath("cornerRadius");
    held->fromValue = Value(0.0);
    held->toValue = Value(0.0);
    held->duration = 5;
    held->delegate = stops;
    held->setValue(Value("held"), "tag");
    view->layer()->addAnimation(held, "cornerRadius");
    ManualClock::advance(0);
    log.clear();
    UIView::animateWithDuration(1, [&] {
        view->setAlpha(1);
        view->layer()->setCornerRadius(0);
    }, done("replacing"));
    ManualClock::advance(0);
    EXPECT_EQ(stops->events, (std::vector<std::string>{"start held", "stop held no"}));
    EXPECT_EQ(view->layer()->animationKeys(), (std::vector<std::string>{"opacity", "cornerRadius"}));
    ManualClock::advance(1);
    EXPECT_EQ(log, std::vector<std::string>{"replacing yes"});
}

TEST_F(AnimationClock, RepeatAutoreverseCumulativeFillAndRemovedOnCompletion) {
    auto layer = CALayer::layer();
    layer->setOpacity(1);
    auto log = std::make_shared<StopLog>();
    struct Case {
        const char* name;
        double repeat;
        bool autoreverses, cumulative, removed;
        CAMediaTimingFillMode fill;
        std::vector<std::pair<double, double>> samples;  // time → value
        bool keptAfterEnd;
    };
    const Case cases[] = {
        {"once", 0, false, false, true, kCAFillModeRemoved, {{0.5, 0.5}, {0.99, 0.99}, {1.0, 7}}, false},
        {"twice", 2, false, false, true, kCAFillModeRemoved, {{0.5, 0.5}, {1.5, 0.5}, {2.0, 7}}, false},
        {"autoreverse", 0, true, false, true, kCAFillModeRemoved, {{0.5, 0.5}, {1.5, 0.5}, {1.75, 0.25}, {2.0, 7}}, false},
        {"cumulative", 3, false, true, true, kCAFillModeRemoved, {{0.5, 0.5}, {1.5, 1.5}, {2.5, 2.5}, {3.0, 7}}, false},
        {"kept forwards", 0, false, false, false, kCAFillModeForwards, {{0.5, 0.5}, {1.0, 1}, {3.0, 1}}, true},
        {"kept without fill", 0, false, false, false, kCAFillModeRemoved, {{0.5, 0.5}, {3.0, 7}}, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        layer->setOpacity(7);  // the model value, shown outside the animation
        log->events.clear();
        auto a = CABasicAnimation::animationWithKeyPath("opacity");
        a->fromValue = Value(0.0);
        a->toValue = Value(1.0);
        a->duration = 1;
        a->repeatCount = c.repeat;
        a->autoreverses = c.autoreverses;
        a->cumulative = c.cumulative;
        a->removedOnCompletion = c.removed;
        a->fillMode = c.fill;
        a->delegate = log;
        a->setValue(Value(c.name), "tag");
        layer->addAnimation(a, "fade");
        double at = 0;
        for (auto [t, v] : c.samples) {
            ManualClock::advance(t - at);
            at = t;
            EXPECT_NEAR(layer->presentationLayer()->opacity(), v, 1e-9) << "at " << t;
        }
        EXPECT_EQ(layer->animationForKey("fade") != nullptr, c.keptAfterEnd);
        ASSERT_EQ(log->events.size(), 2u);
        EXPECT_EQ(log->events[0], std::string("start ") + c.name);
        EXPECT_EQ(log->events[1], std::string("stop ") + c.name + " yes");
        layer->removeAllAnimations();
        EXPECT_EQ(log->events.size(), 2u);  // a finished animation does not stop twice
    }
    // For ever: never stops until removed.
    auto forever = CABasicAnimation::animationWithKeyPath("transform.rotation.z");
    forever->fromValue = Value(0.0);
    forever->toValue = Value(2 * M_PI);
    forever->repeatCount = HUGE_VAL;
    forever->duration = 1;
    forever->delegate = log;
    forever->setValue(Value("spin"), "tag");
    log->events.clear();
    layer->addAnimation(forever, "spin");
    ManualClock::advance(100.25);
    EXPECT_NEAR(layer->presentationLayer()->animatableValue("transform.rotation.z").doubleValue(), M_PI / 2, 1e-6);
    EXPECT_EQ(log->events, std::vector<std::string>{"start spin"});
    layer->removeAnimationForKey("spin");
    EXPECT_EQ(log->events.back(), "stop spin no");
}

TEST_F(AnimationClock, KeyframesGroupsScaleAndTransactionCompletion) {
    auto layer = CALayer::layer();
    layer->setBounds(CGRectMake(0, 0, 10, 10));
    auto scale = CAKeyframeAnimation::animationWithKeyPath("transform.scale");
    scale->values = {Value(1.0), Value(2.0), Value(1.0)};
    scale->keyTimes = {0, 0.25, 1};
    scale->duration = 1;
    auto move = CABasicAnimation::animationWithKeyPath("position");
    move->fromValue = Value(CGPointMake(0, 0));
    move->toValue = Value(CGPointMake(100, 0));
    move->duration = 0.25;
    auto group = std::make_shared<CAAnimationGroup>();
    group->animations = {scale, move};
    group->duration = 2;
    bool committed = false;
    CATransaction::begin();
    CATransaction::setCompletionBlock([&] { committed = true; });
    layer->addAnimation(group, "");
    CATransaction::commit();
    ManualClock::advance(0.125);
    auto p = layer->presentationLayer();
    EXPECT_NEAR(p->animatableValue("transform.scale").doubleValue(), 1.5, 1e-9);
    EXPECT_NEAR(p->transform().m11, 1.5, 1e-9);
    EXPECT_NEAR(p->position().x, 0.125 / 0.25 * 100, 1e-9);
    ManualClock::advance(0.5);
    p = layer->presentationLayer();
    EXPECT_NEAR(p->animatableValue("transform.scale").doubleValue(), 2 - (0.625 - 0.25) / 0.75, 1e-9);
    // The move (0.25 s long) ended; the group goes on until 2 s.
    EXPECT_NEAR(p->position().x, 0, 1e-9);
    EXPECT_FALSE(committed);
    ManualClock::advance(1.375);
    EXPECT_TRUE(committed);
    EXPECT_TRUE(CATransform3DIsIdentity(layer->transform()));

    // Discrete key frames jump.
    auto steps = CAKeyframeAnimation::animationWithKeyPath("opacity");
    steps->values = {Value(0.0), Value(0.5), Value(1.0)};
    steps->calculationMode = kCAAnimationDiscrete;
    steps->duration = 3;
    layer->addAnimation(steps, "steps");
    ManualClock::advance(1.5);
    EXPECT_EQ(layer->presentationLayer()->opacity(), 0.5);

    // A transaction with nothing in it completes on the next turn.
    bool empty = false;
    CATransaction::begin();
    CATransaction::setCompletionBlock([&] { empty = true; });
    CATransaction::commit();
    ManualClock::advance(0);
    EXPECT_TRUE(empty);
}

TEST(CAMediaTimingFunction, CurvesAreMonotonicAndHitTheirEnds) {
    for (auto& name : {kCAMediaTimingFunctionLinear, kCAMediaTimingFunctionEaseIn, kCAMediaTimingFunctionEaseOut,
                       kCAMediaTimingFunctionEaseInEaseOut, kCAMediaTimingFunctionDefault}) {
        SCOPED_TRACE(name);
        auto f = CAMediaTimingFunction::functionWithName(name);
        EXPECT_NEAR(f->evaluate(0), 0, 1e-9);
        EXPECT_NEAR(f->evaluate(1), 1, 1e-9);
        double last = 0;
        for (int i = 1; i <= 20; ++i) {
            double v = f->evaluate(i / 20.0);
            EXPECT_GE(v, last - 1e-12);
            last = v;
        }
    }
    EXPECT_LT(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn)->evaluate(0.5), 0.5);
    EXPECT_GT(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut)->evaluate(0.5), 0.5);
}

}  // namespace
