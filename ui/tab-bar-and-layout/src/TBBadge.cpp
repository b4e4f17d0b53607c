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

constexpr char kState[] = "tb_badgeState";
constexpr char kFrame[] = "tb_badgeFrame";

constexpr double kDefaultDot = 8.0;

// Everything the engine keeps on a host view but the frame record, in one
// associated object, so showing a value looks it up once.
class TBBadgeState : public NSObject {
    NS_CLASS(TBBadgeState, NSObject)
public:
    std::shared_ptr<UILabel> label;
    UIFontPtr font;
    // The measuring attributes of the font last measured with.
    UIFontPtr measuredFont;
    Value::Dictionary measuring;
    UIColorPtr background, text;
    CGPoint offset{};
    uint64_t animation = 0;
    int64_t maximum = 99;
    float radius = 0, margin = 8.0f, corner = 0;
};

TBBadgeState& state(UIView& view) {
    // The last view asked about: one show asks many times. The state dies with
    // its view, so an expired entry never answers for a new view at that address.
    thread_local const UIView* lastView = nullptr;
    thread_local std::weak_ptr<TBBadgeState> lastState;
    if (lastView == &view)
        if (auto cached = lastState.lock()) return *cached;
    std::shared_ptr<TBBadgeState> found = objc_getAssociatedObject(view, kState).objectAs<TBBadgeState>();
    if (!found) {
        found = std::make_shared<TBBadgeState>();
        objc_setAssociatedObject(view, kState, Value(found), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    lastView = &view;
    lastState = found;
    return *found;
}

const UIFontPtr& defaultFont() {
    static const UIFontPtr font = UIFont::boldSystemFontOfSize(9.0);
    return font;
}

std::shared_ptr<UILabel> label(UIView& view) { return state(view).label; }

CGPoint centerOffset(const TBBadgeState& st) {
    return CGPointMake(static_cast<float>(st.offset.x), static_cast<float>(st.offset.y));
}

UIFontPtr fontOf(const TBBadgeState& st) { return st.font ? st.font : defaultFont(); }

// The badge's centre: the view's top-right corner, two points out, plus the offset.
CGPoint badgeCentre(UIView& view, const TBBadgeState& st) {
    const CGPoint offset = centerOffset(st);
    return CGPointMake(view.frame().size.width + 2.0 + offset.x, offset.y);
}

void centreLabel(UIView& view, const TBBadgeState& st, UILabel& badge) { badge.setCenter(badgeCentre(view, st)); }

void centreLabel(UIView& view, UILabel& badge) { centreLabel(view, state(view), badge); }

void resetRedDotFrame(UIView& view, UILabel& badge) {
    const float radius = tb_badgeRadius(view);
    const double d = radius != 0 ? 2.0 * radius : kDefaultDot;
    badge.setFrame(CGRectMake(view.frame().size.width, -d, d, d));
    centreLabel(view, badge);
}

// Creates the label when the view has none (and stores the default colours).
std::shared_ptr<UILabel> badgeInit(UIView& view, TBBadgeState& st) {
    if (!st.background) st.background = UIColor::redColor();
    if (!st.text) st.text = UIColor::whiteColor();
    if (st.label) return st.label;
    auto badge = std::make_shared<UILabel>();
    st.label = badge;
    resetRedDotFrame(view, *badge);
    badge->setTextAlignment(NSTextAlignmentCenter);
    badge->setBackgroundColor(st.background);
    badge->setTextColor(st.text);
    badge->setText("");
    badge->layer()->setCornerRadius(badge->frame().size.width / 2);
    badge->setClipsToBounds(true);
    badge->setHidden(true);
    badge->layer()->setZPosition(TBFloatMax);
    view.addSubview(badge);
    view.bringSubviewToFront(badge);
    return badge;
}

std::shared_ptr<UILabel> badgeInit(UIView& view) { return badgeInit(view, state(view)); }

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

CGSize labelSize(TBBadgeState& st, UILabel& badge) {
    if (st.measuredFont != badge.font()) {
        st.measuredFont = badge.font();
        st.measuring.clear();
        st.measuring[Value(NSFontAttributeName)] = Value(st.measuredFont);
    }
    const double width = UIScreen::mainScreen()->bounds().size.width;
    CGRect box = NSString::boundingRectWithSize(
        badge.text(), CGSizeMake(width, DBL_MAX), NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading,
        st.measuring);
    return CGSizeMake(std::ceil(static_cast<float>(box.size.width)), std::ceil(static_cast<float>(box.size.height)));
}

// The text's size plus the margin (never narrower than tall), centred on badgeCentre. The
// frame is set around the centre already, so setting the centre after it only corrects
// rounding; the centre set last is what counts, as for a label with a transform, whose
// frame change moves it without resizing it.
void fitLabel(UIView& view, TBBadgeState& st, UILabel& badge) {
    if (badge.numberOfLines() != 0) badge.setNumberOfLines(0);
    const CGSize text = labelSize(st, badge);
    const double m = st.margin;
    const double h = text.height + m, w = text.width + m;
    const CGSize size = CGSizeMake(w < h ? h : w, h);
    const CGPoint centre = badgeCentre(view, st);
    badge.setFrame(CGRectMake(centre.x - size.width / 2, centre.y - size.height / 2, size.width, size.height));
    badge.setCenter(centre);
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

// The view's badge state is looked up once by the caller: a show reads it many times.
void showText(UIView& view, TBBadgeState& st, const std::string& text) {
    if (text.empty()) {
        if (st.label) st.label->setHidden(true);
        return;
    }
    auto badge = badgeInit(view, st);
    badge->setTag(TBBadgeStyleText);
    badge->setText(text);
    // The text change has already asked for measuring, display and layout again.
    if (const UIFontPtr& font = fontOf(st); badge->font() != font) badge->setFont(font);
    fitLabel(view, st, *badge);
    const float corner = st.corner;
    // An unchanged radius is left alone, as layers leave an unchanged position or bounds.
    const double radius = corner != 0 ? corner : badge->frame().size.height / 2;
    if (badge->layer()->cornerRadius() != radius) badge->layer()->setCornerRadius(radius);
    badge->setHidden(false);
}

void showNew(UIView& view, TBBadgeState& st, const std::string& text) {
    auto badge = badgeInit(view, st);
    Value::Dictionary attributes;
    attributes[Value(NSFontAttributeName)] = Value(tb_badgeFont(view));
    const double height = std::ceil(NSString::sizeWithAttributes(text, attributes).height);
    tb_setBadgeCornerRadius(view, (tb_badgeMargin(view) + static_cast<float>(height)) / 3.0f);
    showText(view, st, text);
}

void showNumber(UIView& view, TBBadgeState& st, int64_t value) {
    if (value < 1) {
        if (st.label) st.label->setHidden(true);
        return;
    }
    badgeInit(view, st)->setHidden(false);
    const int64_t maximum = st.maximum;
    showText(view, st, value <= maximum ? std::to_string(value) : std::to_string(maximum) + "+");
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

void setAnimationType(UIView& view, TBBadgeState& st, uint64_t type) {
    const uint64_t before = st.animation;
    st.animation = type;
    auto badge = badgeInit(view, st);
    // Nothing runs and nothing is to run: the layer stays as it is.
    if (before == 0 && type == 0 && badge->layer()->animationKeys().empty()) return;
    removeAnimation(view);
    beginAnimation(view);
}

void showWithValue(UIView& view, TBBadgeState& st, const std::optional<std::string>& value) {
    if (!value) return;
    if (allDigits(*value)) showNumber(view, st, integerOf(*value));
    else if (value->empty()) showRedDot(view);
    else if (*value == "new" || *value == "NEW") showNew(view, st, *value);
    else showText(view, st, *value);
}

}  // namespace

bool tb_isShowBadge(UIView& view) {
    auto badge = label(view);
    return badge && !badge->isHidden();
}

void tb_showBadge(UIView& view) { tb_showBadgeValue(view, std::string(), 0); }

void tb_showBadgeValue(UIView& view, const std::optional<std::string>& value, uint64_t animationType) {
    TBBadgeState& st = state(view);
    if (st.label)
        for (auto sub : std::vector<UIViewPtr>(st.label->subviews())) sub->removeFromSuperview();
    setAnimationType(view, st, animationType);
    showWithValue(view, st, value);
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
void tb_setBadge(UIView& view, std::shared_ptr<UILabel> badge) { state(view).label = std::move(badge); }

UIFontPtr tb_badgeFont(UIView& view) { return fontOf(state(view)); }
void tb_setBadgeFont(UIView& view, UIFontPtr font) {
    state(view).font = std::move(font);
    badgeInit(view)->setFont(tb_badgeFont(view));
}

UIColorPtr tb_badgeBackgroundColor(UIView& view) { return state(view).background; }
void tb_setBadgeBackgroundColor(UIView& view, UIColorPtr color) {
    state(view).background = color;
    badgeInit(view)->setBackgroundColor(std::move(color));
}

UIColorPtr tb_badgeTextColor(UIView& view) { return state(view).text; }
void tb_setBadgeTextColor(UIView& view, UIColorPtr color) {
    state(view).text = color;
    badgeInit(view)->setTextColor(std::move(color));
}

CGRect tb_badgeFrame(UIView& view) {
    Value record = objc_getAssociatedObject(view, kFrame);
    if (!record.isDictionary() || record.count() != 4) return CGRectZero;
    auto f = [&](const char* k) { return static_cast<double>(record.objectForKey(Value(k)).floatValue()); };
    return CGRectMake(f("x"), f("y"), f("width"), f("height"));
}
void tb_setBadgeFrame(UIView& view, CGRect frame) {
    objc_setAssociatedObject(view, kFrame,
                             Value::dict({{"x", frame.origin.x}, {"y", frame.origin.y}, {"width", frame.size.width},
                                          {"height", frame.size.height}}),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    badgeInit(view)->setFrame(frame);
}

CGPoint tb_badgeCenterOffset(UIView& view) { return centerOffset(state(view)); }
void tb_setBadgeCenterOffset(UIView& view, CGPoint offset) {
    state(view).offset = offset;
    centreLabel(view, *badgeInit(view));
}

uint64_t tb_badgeAnimationType(UIView& view) { return state(view).animation; }
void tb_setBadgeAnimationType(UIView& view, uint64_t type) { setAnimationType(view, state(view), type); }

int64_t tb_badgeMaximumBadgeNumber(UIView& view) { return state(view).maximum; }
void tb_setBadgeMaximumBadgeNumber(UIView& view, int64_t maximum) {
    state(view).maximum = maximum;
    badgeInit(view);
}

float tb_badgeRadius(UIView& view) { return state(view).radius; }
void tb_setBadgeRadius(UIView& view, float radius) {
    state(view).radius = radius;
    badgeInit(view);
}

float tb_badgeMargin(UIView& view) { return state(view).margin; }
void tb_setBadgeMargin(UIView& view, float margin) {
    state(view).margin = margin;
    badgeInit(view);
}

float tb_badgeCornerRadius(UIView& view) { return state(view).corner; }
void tb_setBadgeCornerRadius(UIView& view, float radius) { state(view).corner = radius; }

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
