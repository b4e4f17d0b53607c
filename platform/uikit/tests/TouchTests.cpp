#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIControl.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/ManualClock.h>

#include <gtest/gtest.h>

namespace {

class TouchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install();
        UIApplication::sharedApplication()->resetForTesting();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        window->makeKeyAndVisible();
        control = std::make_shared<UIControl>(CGRectMake(100, 100, 100, 50));
        window->addSubview(control);
        for (auto [event, name] : std::vector<std::pair<UIControlEvents, std::string>>{
                 {UIControlEventTouchDown, "down"},
                 {UIControlEventTouchDownRepeat, "repeat"},
                 {UIControlEventTouchDragInside, "dragIn"},
                 {UIControlEventTouchDragOutside, "dragOut"},
                 {UIControlEventTouchDragEnter, "enter"},
                 {UIControlEventTouchDragExit, "exit"},
                 {UIControlEventTouchUpInside, "upIn"},
                 {UIControlEventTouchUpOutside, "upOut"},
                 {UIControlEventTouchCancel, "cancel"}}) {
            control->addTarget(target, name, [this, name = name](UIControl& c, UIEvent*) {
                events.push_back(name + (c.isHighlighted() ? "+" : ""));
            }, event);
        }
    }
    void TearDown() override {
        window->setHidden(true);
        UIApplication::sharedApplication()->resetForTesting();
        ManualClock::uninstall();
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIControl> control;
    std::shared_ptr<NSObject> target = std::make_shared<NSObject>();
    std::vector<std::string> events;
};

TEST_F(TouchTest, TouchSequencesBecomeControlEvents) {
    struct Case {
        const char* name;
        std::vector<CGPoint> path;  // down, moves..., up
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"tap inside", {{150, 125}, {150, 125}}, {"down+", "upIn"}},
        {"drag out beyond the slop and back", {{150, 125}, {300, 125}, {150, 125}, {150, 125}},
         {"down+", "dragOut", "exit", "dragIn+", "enter+", "upIn"}},
        {"within the slop still counts as inside", {{150, 125}, {250, 125}, {250, 125}}, {"down+", "dragIn+", "upIn"}},
        {"release outside", {{150, 125}, {330, 300}, {330, 300}}, {"down+", "dragOut", "exit", "upOut"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        ManualClock::advance(1);  // no multi-tap between cases
        auto touch = UITouchInjection::touchDown(c.path.front());
        EXPECT_TRUE(control->isTracking());
        for (std::size_t i = 1; i + 1 < c.path.size(); ++i) UITouchInjection::touchMove(touch, c.path[i]);
        UITouchInjection::touchUp(touch, c.path.back());
        EXPECT_EQ(events, c.expected);
        EXPECT_FALSE(control->isHighlighted());
        EXPECT_FALSE(control->isTracking());
    }
    // Quick second tap: a repeat.
    events.clear();
    UITouchInjection::tap({150, 125});
    UITouchInjection::tap({152, 125});
    EXPECT_EQ(events, (std::vector<std::string>{"down+", "upIn", "down+", "repeat+", "upIn"}));
    // Disabled: no events, touches fall through.
    events.clear();
    control->setEnabled(false);
    EXPECT_EQ(control->state(), UIControlStateDisabled);
    UITouchInjection::tap({150, 125});
    EXPECT_TRUE(events.empty());
}

TEST_F(TouchTest, TargetsAreListedAndNotHeld) {
    EXPECT_EQ(control->allTargets(), std::set<std::shared_ptr<NSObject>>{target});
    EXPECT_EQ(control->actionsForTarget(target, UIControlEventTouchUpInside), std::vector<std::string>{"upIn"});
    EXPECT_TRUE(control->actionsForTarget(target, UIControlEventValueChanged).empty());
    control->removeTarget(target, "upIn", UIControlEventTouchUpInside);
    EXPECT_TRUE(control->actionsForTarget(target, UIControlEventTouchUpInside).empty());
    int anonymous = 0;
    control->addTarget(nullptr, "any", [&](UIControl&, UIEvent*) { ++anonymous; }, UIControlEventValueChanged);
    control->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(anonymous, 1);
    std::weak_ptr<NSObject> weak = target;
    target.reset();
    EXPECT_TRUE(weak.expired());
    events.clear();
    control->sendActionsForControlEvents(UIControlEventTouchDown);
    EXPECT_TRUE(events.empty());  // a released target's actions do not run
}

struct StateObserver : NSObject {
    std::vector<int64_t> states;
    void observeValueForKeyPath(const std::string&, NSObject* object, const Value&, void*) override {
        states.push_back(object->valueForKey("state").integerValue());
    }
};

TEST_F(TouchTest, TapRecognizerCancelsTheViewsTouchesAndIsObservable) {
    int taps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>(nullptr, "tapped", [&](UIGestureRecognizer& r) {
        ++taps;
        EXPECT_EQ(r.state(), UIGestureRecognizerStateEnded);
        auto p = r.locationInView(control.get());
        EXPECT_NEAR(p.x, 50, 1e-9);
    });
    control->addGestureRecognizer(tap);
    auto observer = std::make_shared<StateObserver>();
    tap->addObserver(*observer, "state", NSKeyValueObservingOptionNew);
    ManualClock::advance(1);
    UITouchInjection::tap({150, 125});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"down+", "cancel"}));
    EXPECT_EQ(observer->states, (std::vector<int64_t>{UIGestureRecognizerStateEnded, UIGestureRecognizerStatePossible}));

    // Moving too far is no tap.
    ManualClock::advance(1);
    UITouchInjection::drag({150, 125}, {190, 125}, 4);
    EXPECT_EQ(taps, 1);
    // Disabled recognizers see nothing.
    tap->setEnabled(false);
    ManualClock::advance(1);
    UITouchInjection::tap({150, 125});
    EXPECT_EQ(taps, 1);
    tap->setEnabled(true);
    tap->setCancelsTouchesInView(false);
    events.clear();
    ManualClock::advance(1);
    UITouchInjection::tap({150, 125});
    EXPECT_EQ(taps, 2);
    EXPECT_EQ(events, (std::vector<std::string>{"down+", "upIn"}));
    tap->removeObserver(*observer, "state");
}

class Refusing : public UIGestureRecognizerDelegate {
public:
    bool begin = true;
    bool gestureRecognizerShouldBegin(UIGestureRecognizer&) override { return begin; }
};

TEST_F(TouchTest, PanAndEdgePanFollowTheFinger) {
    auto surface = std::make_shared<UIView>(CGRectMake(0, 300, 375, 300));
    window->addSubview(surface);
    std::vector<std::pair<int64_t, CGPoint>> seen;
    auto pan = std::make_shared<UIPanGestureRecognizer>(nullptr, "pan", [&](UIGestureRecognizer& r) {
        auto& p = static_cast<UIPanGestureRecognizer&>(r);
        seen.emplace_back(p.state(), p.translationInView(surface.get()));
    });
    surface->addGestureRecognizer(pan);
    UITouchInjection::drag({100, 400}, {160, 440}, 3);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].first, UIGestureRecognizerStateBegan);
    EXPECT_NEAR(seen[0].second.x, 20, 1e-9);
    EXPECT_NEAR(seen[0].second.y, 40.0 / 3, 1e-9);
    EXPECT_EQ(seen[2].first, UIGestureRecognizerStateChanged);
    EXPECT_EQ(seen[3].first, UIGestureRecognizerStateEnded);
    EXPECT_NEAR(seen[3].second.x, 60, 1e-9);
    EXPECT_NEAR(seen[3].second.y, 40, 1e-9);
    EXPECT_EQ(pan->state(), UIGestureRecognizerStatePossible);  // reset after the sequence

    // A delegate that refuses makes it fail; small moves never begin.
    auto refusing = std::make_shared<Refusing>();
    refusing->begin = false;
    pan->setDelegate(refusing);
    seen.clear();
    UITouchInjection::drag({100, 400}, {160, 440}, 3);
    EXPECT_TRUE(seen.empty());
    pan->setDelegate({});
    UITouchInjection::drag({100, 400}, {105, 402}, 3);
    EXPECT_TRUE(seen.empty());

    surface->removeGestureRecognizer(pan);
    int edges = 0;
    auto edge = std::make_shared<UIScreenEdgePanGestureRecognizer>(nullptr, "edge", [&](UIGestureRecognizer& r) {
        if (r.state() == UIGestureRecognizerStateEnded) ++edges;
    });
    edge->edges = UIRectEdgeLeft;
    surface->addGestureRecognizer(edge);
    UITouchInjection::drag({5, 400}, {120, 400}, 5);
    EXPECT_EQ(edges, 1);
    UITouchInjection::drag({60, 400}, {200, 400}, 5);  // not from the edge
    EXPECT_EQ(edges, 1);
}

}  // namespace
