#include <ui_tab_bar_and_layout/TBBadge.h>

#include <ui_tab_bar_and_layout/TBBadgeAnimations.h>
#include <ui_tab_bar_and_layout/TBTabRegistry.h>

#include <platform_runtime/AssociatedObjects.h>
#include <platform_uikit/CALayer.h>
#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIScreen.h>

#include <cfloat>
#include <cmath>

namespace {

constexpr char kLabel[] = "tb_badge";
constexpr char kFont[] = "tb_badgeFont";
constexpr char kBackground[] = "tb_badgeBackgroundColor";
constexpr char kText[] = "tb_badgeTextColor";
constexpr char kFrame[] = "tb_badgeFrame";
constexpr char kOffset[] = "tb_badgeCenterOffset";
constexpr char kAnimation[] = "tb_badgeAnimationType";
constexpr char kMaximum[] = "tb_badgeMaximumBadgeNumber";
constexpr char kRadius[] = "tb_badgeRadius";
constexpr char kMargin[] = "tb_badgeMargin";
constexpr char kCorner[] = "tb_badgeCornerRadius";

constexpr double kDefaultDot = 8.0;

Value get(UIView& view, std::string_view key) { return objc_getAssociatedObject(view, key); }
void put(UIView& view, std::string_view key, const Value& value) {
    objc_setAssociatedObject(view, key, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

std::shared_ptr<UILabel> label(UIView& view) { return get(view, kLabel).objectAs<UILabel>(); }

void centreLabel(UIView& view, UILabel& badge) {
    const CGPoint offset = tb_badgeCenterOffset(view);
    badge.setCenter(CGPointMake(view.frame().size.width + 2.0 + offset.x, offset.y));
}

void resetRedDotFrame(UIView& view, UILabel& badge) {
    const float radius = tb_badgeRadius(view);
    const double d = radius != 0 ? 2.0 * radius : kDefaultDot;
    badge.setFrame(CGRectMake(view.frame().size.width, -d, d, d));
    centreLabel(view, badge);
}

// Creates the label when the view has none (and stores the default colours).
std::shared_ptr<UILabel> badgeInit(UIView& view) {
    if (get(view, kBackground).isNull()) put(view, kBackground, Value(UIColor::redColor()));
    if (get(view, kText).isNull()) put(view, kText, Value(UIColor::whiteColor()));
    if (auto existing = label(view)) return existing;
    auto badge = std::make_shared<UILabel>();
    put(view, kLabel, Value(badge));
    resetRedDotFrame(view, *badge);
    badge->setTextAlignment(NSTextAlignmentCenter);
    badge->setBackgroundColor(tb_badgeBackgroundColor(view));
    badge->setTextColor(tb_badgeTextColor(view));
    badge->setText("");
    badge->layer()->setCornerRadius(badge->frame().size.width / 2);
    badge->setClipsToBounds(true);
    badge->setHidden(true);
    badge->layer()->setZPosition(TBFloatMax);
    view.addSubview(badge);
    view.bringSubviewToFront(badge);
    return badge;
}

void beginAnimation(UIView& view) {
    auto badge = label(view);
    if (!badge) return;
    CAAnimationPtr animation;
    const char* key = nullptr;
    switch (tb_badgeAnimationType(view)) {
    case TBBadgeAnimationTypeScale: animation = tb_scaleFrom(1.4, 0.6, 1.0f, FLT_MAX), key = "scale"; break;
    case TBBadgeAnimationTypeShake:
        animation = tb_shake_AnimationRepeatTimes(HUGE_VALF, 1.0f, badge->layer()), key = "shake";
        break;
    case TBBadgeAnimationTypeBounce:
        animation = tb_bounce_AnimationRepeatTimes(HUGE_VALF, 1.0f, badge->layer()), key = "bounce";
        break;
    case TBBadgeAnimationTypeBreathe: animation = tb_opacityForever_Animation(1.4f), key = "breathe"; break;
    default: return;
    }
    badge->layer()->addAnimation(animation, key);
}

void removeAnimation(UIView& view) {
    if (auto badge = label(view)) badge->layer()->removeAllAnimations();
}

CGSize labelSize(UILabel& badge) {
    Value::Dictionary attributes;
    attributes[Value(NSFontAttributeName)] = Value(badge.font());
    const double width = UIScreen::mainScreen()->bounds().size.width;
    CGRect box = NSString::boundingRectWithSize(
        badge.text(), CGSizeMake(width, DBL_MAX), NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading,
        attributes);
    return CGSizeMake(std::ceil(static_cast<float>(box.size.width)), std::ceil(static_cast<float>(box.size.height)));
}

void adjustLabelWidth(UILabel& badge) {
    badge.setNumberOfLines(0);
    CGRect f = badge.frame();
    f.size = labelSize(badge);
    badge.setFrame(f);
}

void addMargin(UIView& view, UILabel& badge) {
    CGRect f = badge.frame();
    const double m = tb_badgeMargin(view);
    const double h = f.size.height + m, w = f.size.width + m;
    badge.setFrame(CGRectMake(f.origin.x, f.origin.y, w < h ? h : w, h));
}

void showRedDot(UIView& view) {
    auto badge = badgeInit(view);
    if (badge->tag() != TBBadgeStyleRedDot) {
        badge->setText("");
        badge->setTag(TBBadgeStyleRedDot);
        resetRedDotFrame(view, *badge);
        badge->layer()->setCornerRadius(badge->frame().size.width / 2);
    }
    badge->setHidden(false);
}

void showText(UIView& view, const std::string& text) {
    if (text.empty()) {
        if (auto badge = label(view)) badge->setHidden(true);
        return;
    }
    auto badge = badgeInit(view);
    badge->setTag(TBBadgeStyleText);
    badge->setText(text);
    badge->setFont(tb_badgeFont(view));
    adjustLabelWidth(*badge);
    addMargin(view, *badge);
    centreLabel(view, *badge);
    const float corner = tb_badgeCornerRadius(view);
    badge->layer()->setCornerRadius(corner != 0 ? corner : badge->frame().size.height / 2);
    badge->setHidden(false);
}

void showNew(UIView& view, const std::string& text) {
    auto badge = badgeInit(view);
    Value::Dictionary attributes;
    attributes[Value(NSFontAttributeName)] = Value(tb_badgeFont(view));
    const double height = std::ceil(NSString::sizeWithAttributes(text, attributes).height);
    tb_setBadgeCornerRadius(view, (tb_badgeMargin(view) + static_cast<float>(height)) / 3.0f);
    showText(view, text);
}

void showNumber(UIView& view, int64_t value) {
    if (value < 1) {
        if (auto badge = label(view)) badge->setHidden(true);
        return;
    }
    badgeInit(view)->setHidden(false);
    const int64_t maximum = tb_badgeMaximumBadgeNumber(view);
    showText(view, value <= maximum ? std::to_string(value) : std::to_string(maximum) + "+");
}

bool allDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int64_t integerOf(const std::string& digits) {
    int64_t v = 0;
    for (char c : digits) {
        if (v > (INT64_MAX - (c - '0')) / 10) return INT64_MAX;
        v = v * 10 + (c - '0');
    }
    return v;
}

void showWithValue(UIView& view, const std::optional<std::string>& value) {
    if (!value) return;
    if (allDigits(*value)) showNumber(view, integerOf(*value));
    else if (value->empty()) showRedDot(view);
    else if (*value == "new" || *value == "NEW") showNew(view, *value);
    else showText(view, *value);
}

}  // namespace

bool tb_isShowBadge(UIView& view) {
    auto badge = label(view);
    return badge && !badge->isHidden();
}

void tb_showBadge(UIView& view) { tb_showBadgeValue(view, std::string(), 0); }

void tb_showBadgeValue(UIView& view, const std::optional<std::string>& value, uint64_t animationType) {
    if (auto badge = label(view))
        for (auto sub : std::vector<UIViewPtr>(badge->subviews())) sub->removeFromSuperview();
    tb_setBadgeAnimationType(view, animationType);
    showWithValue(view, value);
    if (animationType != 0) beginAnimation(view);
}

void tb_clearBadge(UIView& view) {
    if (auto badge = label(view)) badge->setHidden(true);
}

void tb_resumeBadge(UIView& view) {
    if (tb_isPauseBadge(view)) label(view)->setHidden(false);
}

bool tb_isPauseBadge(UIView& view) {
    auto badge = label(view);
    return badge && badge->isHidden();
}

std::shared_ptr<UILabel> tb_badge(UIView& view) { return label(view); }
void tb_setBadge(UIView& view, std::shared_ptr<UILabel> badge) { put(view, kLabel, Value(std::move(badge))); }

UIFontPtr tb_badgeFont(UIView& view) {
    auto font = get(view, kFont).objectAs<UIFont>();
    return font ? font : UIFont::boldSystemFontOfSize(9.0);
}
void tb_setBadgeFont(UIView& view, UIFontPtr font) {
    put(view, kFont, Value(font));
    badgeInit(view)->setFont(tb_badgeFont(view));
}

UIColorPtr tb_badgeBackgroundColor(UIView& view) { return get(view, kBackground).objectAs<UIColor>(); }
void tb_setBadgeBackgroundColor(UIView& view, UIColorPtr color) {
    put(view, kBackground, Value(color));
    badgeInit(view)->setBackgroundColor(color);
}

UIColorPtr tb_badgeTextColor(UIView& view) { return get(view, kText).objectAs<UIColor>(); }
void tb_setBadgeTextColor(UIView& view, UIColorPtr color) {
    put(view, kText, Value(color));
    badgeInit(view)->setTextColor(color);
}

CGRect tb_badgeFrame(UIView& view) {
    Value record = get(view, kFrame);
    if (!record.isDictionary() || record.count() != 4) return CGRectZero;
    auto f = [&](const char* k) { return static_cast<double>(record.objectForKey(Value(k)).floatValue()); };
    return CGRectMake(f("x"), f("y"), f("width"), f("height"));
}
void tb_setBadgeFrame(UIView& view, CGRect frame) {
    put(view, kFrame,
        Value::dict({{"x", frame.origin.x}, {"y", frame.origin.y}, {"width", frame.size.width},
                     {"height", frame.size.height}}));
    badgeInit(view)->setFrame(frame);
}

CGPoint tb_badgeCenterOffset(UIView& view) {
    Value record = get(view, kOffset);
    if (!record.isDictionary() || record.count() != 2) return CGPointZero;
    return CGPointMake(record.objectForKey(Value("x")).floatValue(), record.objectForKey(Value("y")).floatValue());
}
void tb_setBadgeCenterOffset(UIView& view, CGPoint offset) {
    put(view, kOffset, Value::dict({{"x", offset.x}, {"y", offset.y}}));
    centreLabel(view, *badgeInit(view));
}

uint64_t tb_badgeAnimationType(UIView& view) {
    Value v = get(view, kAnimation);
    return v.isNumber() ? v.unsignedIntegerValue() : 0;
}
void tb_setBadgeAnimationType(UIView& view, uint64_t type) {
    put(view, kAnimation, Value(type));
    badgeInit(view);
    removeAnimation(view);
    beginAnimation(view);
}

int64_t tb_badgeMaximumBadgeNumber(UIView& view) {
    Value v = get(view, kMaximum);
    return v.isNumber() ? v.integerValue() : 99;
}
void tb_setBadgeMaximumBadgeNumber(UIView& view, int64_t maximum) {
    put(view, kMaximum, Value(maximum));
    badgeInit(view);
}

float tb_badgeRadius(UIView& view) { return get(view, kRadius).floatValue(); }
void tb_setBadgeRadius(UIView& view, float radius) {
    put(view, kRadius, Value(radius));
    badgeInit(view);
}

float tb_badgeMargin(UIView& view) {
    Value v = get(view, kMargin);
    return v.isNumber() ? v.floatValue() : 8.0f;
}
void tb_setBadgeMargin(UIView& view, float margin) {
    put(view, kMargin, Value(margin));
    badgeInit(view);
}

float tb_badgeCornerRadius(UIView& view) { return get(view, kCorner).floatValue(); }
void tb_setBadgeCornerRadius(UIView& view, float radius) { put(view, kCorner, Value(radius)); }

UIViewPtr tb_tabBadgePointViewWithClolor(UIColorPtr color, double radius) {
    auto dot = std::make_shared<UIView>();
    dot->setHidden(true);
    dot->setBackgroundColor(std::move(color));
    dot->layer()->setCornerRadius(radius);
    dot->setClipsToBounds(true);
    dot->setTranslatesAutoresizingMaskIntoConstraints(false);
    dot->addConstraint(NSLayoutConstraint::constraintWithItem(dot, NSLayoutAttributeWidth, NSLayoutRelationEqual,
                                                              nullptr, NSLayoutAttributeNotAnAttribute, 1, 2 * radius));
    dot->addConstraint(NSLayoutConstraint::constraintWithItem(dot, NSLayoutAttributeHeight, NSLayoutRelationEqual,
                                                              nullptr, NSLayoutAttributeNotAnAttribute, 1, 2 * radius));
    return dot;
}
