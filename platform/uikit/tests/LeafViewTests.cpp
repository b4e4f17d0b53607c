#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIFeedbackGenerator.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIProgressView.h>
#include <platform_uikit/UITouch.h>
#include <platform_uikit/UIRefreshControl.h>
#include <platform_uikit/UIVisualEffectView.h>
#include <platform_uikit/WKWebView.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURL.h>

#include <gtest/gtest.h>

namespace {

UIImagePtr solid(std::size_t w, std::size_t h, std::array<uint8_t, 4> rgba, double scale = 1) {
    std::vector<uint8_t> px;
    for (std::size_t i = 0; i < w * h; ++i) px.insert(px.end(), rgba.begin(), rgba.end());
    return UIImage::imageWithCGImage(
        std::make_shared<CGImage>(w, h, 8, kCGColorSpaceModelRGB, kCGImageAlphaLast, std::move(px)), scale,
        UIImageOrientationUp);
}

TEST(UILabel, MeasuresWrapsShrinksAndRecordsWhatItDrew) {
    auto label = std::make_shared<UILabel>(CGRectMake(0, 0, 60, 40));
    label->setFont(UIFont::systemFontOfSize(10));  // 6 per character, lines 12
    label->setText("hello world");
    EXPECT_EQ(label->intrinsicContentSize(), CGSizeMake(66, 12));
    EXPECT_EQ(label->layoutInRect(label->bounds()).text(), "hello wor\u2026");
    label->setNumberOfLines(0);
    EXPECT_EQ(label->layoutInRect(label->bounds()).text(), "hello \nworld");
    EXPECT_EQ(label->sizeThatFits(CGSizeMake(40, 0)), CGSizeMake(30, 24));
    label->drawRect(label->bounds());
    ASSERT_TRUE(label->lastDrawnTextRect());
    EXPECT_EQ(*label->lastDrawnTextRect(), CGRectMake(0, 0, 60, 40));
    EXPECT_EQ(label->lastDrawnText().lines.size(), 2u);

    // Shrinking: one line scaled down to the width, not below the minimum.
    label->setNumberOfLines(1);
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.5);
    label->setText("abcdefghij");  // 60 wide at 10 pt
    label->setFrame(CGRectMake(0, 0, 45, 20));
    EXPECT_NEAR(label->effectiveFont()->pointSize(), 7.5, 1e-9);
    label->setFrame(CGRectMake(0, 0, 15, 20));
    EXPECT_NEAR(label->effectiveFont()->pointSize(), 5, 1e-9);

    // Attributed text with an attachment and a larger run.
    auto text = std::make_shared<NSMutableAttributedString>("ab");
    auto attachment = std::make_shared<NSTextAttachment>();
    attachment->bounds = CGRectMake(0, 0, 20, 30);
    text->appendAttributedString(*NSAttributedString::attributedStringWithAttachment(attachment));
    text->appendAttributedString(NSAttributedString("cd"));
    text->addAttribute(NSFontAttributeName, Value(UIFont::systemFontOfSize(20)), NSMakeRange(3, 1));
    EXPECT_EQ(text->length(), 5u);
    EXPECT_EQ(text->runs().size(), 4u);
    EXPECT_TRUE(text->attributesAtIndex(3).count(Value(NSFontAttributeName)));
    label->setAdjustsFontSizeToFitWidth(false);
    label->setAttributedText(text);
    EXPECT_EQ(label->text(), "ab\uFFFCcd");
    auto size = label->sizeThatFits(CGSizeZero);
    EXPECT_EQ(size, CGSizeMake(6 + 6 + 20 + 12 + 6, 30));

    EXPECT_EQ(NSString::sizeWithAttributes("abc", {{Value(NSFontAttributeName), Value(UIFont::systemFontOfSize(10))}}),
              CGSizeMake(18, 12));
    EXPECT_EQ(NSString::boundingRectWithSize("aa bb", CGSizeMake(20, 100), NSStringDrawingUsesLineFragmentOrigin,
                                            {{Value(NSFontAttributeName), Value(UIFont::systemFontOfSize(10))}})
                  .size,
              CGSizeMake(12, 24));
}

// Measuring finds the font among other attributes, whatever their keys, and only under its own name.
TEST(NSString, MeasuringFindsTheFontAmongOtherAttributes) {
    const Value font(UIFont::systemFontOfSize(10));
    struct Case {
        const char* name;
        Value::Dictionary attributes;
        CGSize size;
    };
    const Case cases[] = {
        {"font alone", {{Value(NSFontAttributeName), font}}, CGSizeMake(18, 12)},
        {"font among others",
         {{Value(NSForegroundColorAttributeName), Value(UIColor::redColor())},
          {Value(1), Value("number key")},
          {Value(NSFontAttributeName), font},
          {Value("NSKern"), Value(2)}},
         CGSizeMake(18, 12)},
        {"a name differing in case", {{Value("nsfont"), font}}, NSString::sizeWithAttributes("abc", {})},
        {"no attributes", {}, NSString::sizeWithAttributes("abc", {})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NSString::boundingRectWithSize("abc", CGSizeMake(100, 100), NSStringDrawingUsesLineFragmentOrigin,
                                                c.attributes)
                      .size,
                  c.size);
    }
    EXPECT_NE(NSString::sizeWithAttributes("abc", {}), CGSizeMake(18, 12));
}

TEST(UIButton, PerStateValuesFallBackToNormal) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    auto normal = solid(2, 2, {255, 0, 0, 255}), pressed = solid(2, 2, {0, 0, 255, 255});
    button->setTitle("Go", UIControlStateNormal);
    button->setTitle("Going", UIControlStateHighlighted);
    button->setImage(normal, UIControlStateNormal);
    button->setImage(pressed, UIControlStateSelected);
    button->setBackgroundImage(pressed, UIControlStateDisabled);
    struct Case {
        const char* name;
        bool highlighted, selected, enabled;
        const char* title;
        UIImagePtr image, background;
    };
    const Case cases[] = {
        {"normal", false, false, true, "Go", normal, nullptr},
        {"highlighted", true, false, true, "Going", normal, nullptr},
        {"selected", false, true, true, "Go", pressed, nullptr},
        {"highlighted and selected falls back to normal", true, true, true, "Go", normal, nullptr},
        {"disabled", false, false, false, "Go", normal, pressed},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        button->setEnabled(c.enabled);
        button->setSelected(c.selected);
        button->setHighlighted(c.highlighted);
        EXPECT_EQ(button->currentTitle().value_or(""), c.title);
        EXPECT_EQ(button->titleLabel()->text(), c.title);
        EXPECT_EQ(button->currentImage(), c.image);
        EXPECT_EQ(button->imageView()->image(), c.image);
        EXPECT_EQ(button->currentBackgroundImage(), c.background);
    }
    button->setEnabled(true);
    button->setHighlighted(false);
    button->setSelected(false);
    EXPECT_EQ(button->sizeThatFits(CGSizeZero), CGSizeMake(2 + 21, 21));  // "Go" at 17 pt is 20.4 × 20.4, rounded up
}

class Highlighting : public UIButton {
public:
    std::vector<bool> seen;
    void setHighlighted(bool h) override {
        seen.push_back(h);
        UIButton::setHighlighted(h);
    }
};

TEST(UIButton, SetHighlightedIsOverridable) {
    auto button = std::make_shared<Highlighting>();
    button->setFrame(CGRectMake(0, 0, 50, 50));
    UITouchSet none;
    auto touch = std::make_shared<UITouch>();
    touch->setView(button, nullptr);
    touch->update(UITouchPhaseBegan, CGPointMake(10, 10), 0);
    button->touchesBegan({touch}, nullptr);
    button->touchesEnded({touch}, nullptr);
    EXPECT_EQ(button->seen, (std::vector<bool>{true, false}));
}

TEST(UIImageView, AnimationImagesCycleOnTheClockAndTemplatesTakeTheTint) {
    ManualClock::Scope clock;
    auto red = solid(1, 1, {255, 0, 0, 255}), green = solid(1, 1, {0, 255, 0, 255});
    auto view = std::make_shared<UIImageView>(solid(4, 2, {0, 0, 0, 128}, 2));
    EXPECT_EQ(view->frame().size, CGSizeMake(2, 1));
    EXPECT_EQ(view->intrinsicContentSize(), CGSizeMake(2, 1));
    auto still = view->image();
    view->setAnimationImages({red, green});
    view->setAnimationDuration(1);
    view->setAnimationRepeatCount(2);
    view->startAnimating();
    EXPECT_EQ(view->displayedImage(), red);
    ManualClock::advance(0.5);
    EXPECT_EQ(view->displayedImage(), green);
    ManualClock::advance(1.0);
    EXPECT_TRUE(view->isAnimating());
    ManualClock::advance(0.5);
    EXPECT_FALSE(view->isAnimating());  // two cycles done
    EXPECT_EQ(view->displayedImage(), still);

    view->setImage(still->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate));
    view->setTintColor(UIColor::redColor());
    auto shown = view->renderedImage();
    EXPECT_EQ(shown->CGImage()->pixelAt(0, 0), (std::array<uint8_t, 4>{255, 0, 0, 128}));
    view->setImage(still);
    EXPECT_EQ(view->renderedImage(), still);
}

TEST(LeafViews, IndicatorRefreshProgressEffectsAndFeedback) {
    ManualClock::Scope clock;
    struct StyleCase {
        int64_t style;
        CGSize size;
    };
    for (auto c : {StyleCase{0, {37, 37}}, {1, {20, 20}}, {2, {20, 20}}, {100, {20, 20}}, {101, {37, 37}}, {55, {20, 20}}}) {
        SCOPED_TRACE(c.style);
        UIActivityIndicatorView view(static_cast<UIActivityIndicatorViewStyle>(c.style));
        EXPECT_EQ(view.intrinsicContentSize(), c.size);
    }
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleMedium);
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimating();
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_FALSE(spinner->isHidden());
    ManualClock::advance(0.25);
    EXPECT_NEAR(spinner->layer()->presentationLayer()->animatableValue("transform.rotation.z").doubleValue(), M_PI / 2,
                1e-6);
    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_TRUE(spinner->layer()->animationKeys().empty());
    spinner->setHidesWhenStopped(false);
    EXPECT_FALSE(spinner->isHidden());

    auto refresh = std::make_shared<UIRefreshControl>();
    int pulls = 0;
    refresh->addTarget(nullptr, "pulled", [&](UIControl&, UIEvent*) { ++pulls; }, UIControlEventValueChanged);
    refresh->beginRefreshing();
    EXPECT_TRUE(refresh->isRefreshing());
    EXPECT_EQ(pulls, 0);  // beginning in code tells no target
    refresh->endRefreshing();
    refresh->simulatePullToRefresh();
    EXPECT_EQ(pulls, 1);
    EXPECT_TRUE(refresh->valueForKey("refreshing").boolValue());

    auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
    progress->setProgress(0.25f, true);
    EXPECT_FLOAT_EQ(progress->progress(), 0.25f);
    EXPECT_TRUE(progress->lastChangeAnimated());
    EXPECT_NEAR(progress->barLayer()->bounds().size.width, 37.5, 1e-6);
    progress->setProgress(7);
    EXPECT_FLOAT_EQ(progress->progress(), 1);
    progress->setValue(Value(-1.0), "progress");
    EXPECT_FLOAT_EQ(progress->progress(), 0);

    auto blur = std::make_shared<UIVisualEffectView>(UIBlurEffect::effectWithStyle(UIBlurEffectStyleDark));
    blur->setFrame(CGRectMake(0, 0, 30, 30));
    auto content = blur->contentView();
    EXPECT_EQ(content->frame(), CGRectMake(0, 0, 30, 30));
    EXPECT_EQ(std::dynamic_pointer_cast<UIBlurEffect>(blur->effect())->style(), UIBlurEffectStyleDark);

    UIFeedbackGenerator::clearRecordedFeedback();
    UINotificationFeedbackGenerator generator;
    generator.prepare();
    generator.notificationOccurred(UINotificationFeedbackTypeError);
    EXPECT_EQ(UIFeedbackGenerator::recordedFeedback(), (std::vector<std::string>{"prepare", "notification 2"}));
}

struct NavigationLog : WKNavigationDelegate {
    std::vector<std::string> events;
    void webViewDidStartProvisionalNavigation(WKWebView&, WKNavigation*) override { events.push_back("start"); }
    void webViewDidFinishNavigation(WKWebView&, WKNavigation*) override { events.push_back("finish"); }
    void webViewDidFailNavigation(WKWebView&, WKNavigation*, const NSError& e) override {
        events.push_back("fail " + std::to_string(e.code()));
    }
};

TEST(WKWebView, KeepsTheDocumentAndTellsItsDelegate) {
    auto web = std::make_shared<WKWebView>(CGRectMake(0, 0, 100, 100));
    auto log = std::make_shared<NavigationLog>();
    web->setNavigationDelegate(log);
    std::string latin1 = "<html><title>Caf\xE9</title></html>";
    web->loadData(Value::Data(latin1.begin(), latin1.end()), "text/html", "ISO-8859-1",
                  NSURL::URLWithString("http://127.0.0.1/x"));
    EXPECT_EQ(web->title(), "Caf\u00E9");
    EXPECT_EQ(web->MIMEType(), "text/html");
    EXPECT_EQ(web->URL()->absoluteString(), "http://127.0.0.1/x");
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return log->events.size() == 2; }, 10));
    EXPECT_EQ(log->events, (std::vector<std::string>{"start", "finish"}));
    struct Case {
        const char* charset;
        Value::Data bytes;
        const char* text;
    };
    const Case cases[] = {
        {"", {0xFF, 'a'}, "\uFFFDa"},                  // bad UTF-8 reads as U+FFFD
        {"bogus-charset", {'o', 'k'}, "ok"},           // unknown names read as UTF-8
        {"windows-1252", {0x80, '1'}, "\u20AC1"},
        {"Shift_JIS", {0x82, 0xA0}, "\u3042"},
        {"KOI8-R", {0xC1}, "\u0430"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.charset);
        web->loadData(c.bytes, "text/plain", c.charset, nullptr);
        EXPECT_EQ(web->documentText(), c.text);
    }
    EXPECT_EQ(web->loadCount(), 6);
}

}  // namespace
