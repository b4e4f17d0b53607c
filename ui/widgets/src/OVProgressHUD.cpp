#include <ui_widgets/OVProgressHUD.h>
#include <ui_widgets/OVRingViews.h>

#include "WidgetImages.h"

#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/NSOperationQueue.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/UTF16.h>
#include <platform_uikit/CATransaction.h>
#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIKeyboard.h>
#include <platform_uikit/UITouch.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kVerticalSpacing = 12, kHorizontalSpacing = 12, kLabelSpacing = 8;

CGRect delegateWindowBounds() {
    auto delegate = UIApplication::sharedApplication()->delegate();
    auto window = delegate ? delegate->window() : nullptr;
    return window ? window->bounds() : CGRectZero;
}

std::shared_ptr<NSBundle> overlayBundle() {
    auto home = NSBundle::bundleForClass(OVProgressHUD::staticClassName());
    auto path = home ? home->pathForResource("OVProgressHUD", "bundle") : std::nullopt;
    return path ? NSBundle::bundleWithPath(*path) : nullptr;
}

CGPoint midPoint(CGRect r) { return CGPointMake(r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2); }

// The getters re-apply their styling on every access, mostly the values already there. Applying
// an equal value again would change nothing but still ask for redisplay and layout, and inside
// an animation block add an animation that shows nothing.
bool sameColor(const UIColorPtr& a, const UIColorPtr& b) { return a == b || (a && b && a->isEqual(*b)); }

void applyBackgroundColor(UIView& view, UIColorPtr color) {
    if (!sameColor(view.backgroundColor(), color)) view.setBackgroundColor(std::move(color));
}
}  // namespace

OVProgressHUD::OVProgressHUD() : UIView(delegateWindowBounds()) {}

OVProgressHUD::~OVProgressHUD() {
    if (graceTimer_) graceTimer_->invalidate();
    if (fadeOutTimer_) fadeOutTimer_->invalidate();
}

std::shared_ptr<OVProgressHUD> OVProgressHUD::sharedView() {
    static const std::shared_ptr<OVProgressHUD> shared = [] {
        auto view = std::make_shared<OVProgressHUD>();
        view->initialise();
        return view;
    }();
    return shared;
}

std::weak_ptr<OVProgressHUD> OVProgressHUD::weakShared() { return sharedView(); }

void OVProgressHUD::initialise() {
    initializing_ = true;
    setUserInteractionEnabled(false);
    activityCount_ = 0;
    style_ = OVProgressHUDStyleLight;
    maskType_ = activeMaskType_ = OVProgressHUDMaskTypeNone;
    animationType_ = OVProgressHUDAnimationTypeFlat;
    minimumSize_ = CGSizeZero;
    font_ = UIFont::preferredFontForTextStyle(UIFontTextStyleSubheadline);
    foregroundColor_ = UIColor::blackColor();
    backgroundColor_ = UIColor::whiteColor();
    backgroundLayerColor_ = UIColor::colorWithWhite(0, 0.4);
    imageViewSize_ = CGSizeMake(28, 28);
    shouldTintImages_ = true;
    auto bundle = overlayBundle();
    infoImage_ = widgets_detail::imageFromBundle(bundle, "info", "png");
    successImage_ = widgets_detail::imageFromBundle(bundle, "success", "png");
    errorImage_ = widgets_detail::imageFromBundle(bundle, "error", "png");
    ringThickness_ = 2;
    ringRadius_ = 18;
    ringNoTextRadius_ = 24;
    cornerRadius_ = 14;
    graceTimeInterval_ = 0;
    minimumDismissTimeInterval_ = 5.0;
    maximumDismissTimeInterval_ = DBL_MAX;
    fadeInDuration_ = fadeOutDuration_ = kFadeDuration;
    maxSupportedWindowLevel_ = UIWindowLevelNormal;
    hapticsEnabled_ = false;
    backgroundView()->setAlpha(0);
    imageView()->setAlpha(0);
    statusLabel()->setAlpha(0);
    indefiniteAnimatedView()->setAlpha(0);
    ringView()->setAlpha(0);
    backgroundRingView()->setAlpha(0);
    setAccessibilityIdentifier("OVProgressHUD");
    setIsAccessibilityElement(true);
    initializing_ = false;
}

// --- appearance setters (ignored while the shared view initialises) ---

#define OV_SETTER(name, field, type)                                     \
    void OVProgressHUD::name(type value) {                              \
        auto view = sharedView();                                       \
        if (!view->initializing_) view->field = std::move(value);       \
    }
OV_SETTER(setDefaultStyle, style_, int64_t)
OV_SETTER(setDefaultMaskType, maskType_, uint64_t)
OV_SETTER(setDefaultAnimationType, animationType_, uint64_t)
OV_SETTER(setMinimumSize, minimumSize_, CGSize)
OV_SETTER(setRingThickness, ringThickness_, double)
OV_SETTER(setRingRadius, ringRadius_, double)
OV_SETTER(setRingNoTextRadius, ringNoTextRadius_, double)
OV_SETTER(setCornerRadius, cornerRadius_, double)
OV_SETTER(setFont, font_, UIFontPtr)
OV_SETTER(setBackgroundLayerColor, backgroundLayerColor_, UIColorPtr)
OV_SETTER(setShouldTintImages, shouldTintImages_, bool)
OV_SETTER(setInfoImage, infoImage_, UIImagePtr)
OV_SETTER(setSuccessImage, successImage_, UIImagePtr)
OV_SETTER(setErrorImage, errorImage_, UIImagePtr)
OV_SETTER(setMinimumDismissTimeInterval, minimumDismissTimeInterval_, double)
OV_SETTER(setFadeInAnimationDuration, fadeInDuration_, double)
OV_SETTER(setFadeOutAnimationDuration, fadeOutDuration_, double)
OV_SETTER(setMaxSupportedWindowLevel, maxSupportedWindowLevel_, UIWindowLevel)
OV_SETTER(setOffsetFromCenter, offsetFromCenter_, UIOffset)
#undef OV_SETTER

void OVProgressHUD::setContainerView(const std::shared_ptr<UIView>& view) {
    auto shared = sharedView();
    if (!shared->initializing_) shared->containerView_ = view;
}
void OVProgressHUD::setImageViewSize(CGSize size) { sharedView()->imageViewSize_ = size; }
void OVProgressHUD::setGraceTimeInterval(double seconds) { sharedView()->graceTimeInterval_ = seconds; }
void OVProgressHUD::setMaximumDismissTimeInterval(double seconds) { sharedView()->maximumDismissTimeInterval_ = seconds; }
void OVProgressHUD::setHapticsEnabled(bool on) { sharedView()->hapticsEnabled_ = on; }
void OVProgressHUD::resetOffsetFromCenter() { setOffsetFromCenter(UIOffsetZero); }

void OVProgressHUD::setForegroundColor(UIColorPtr color) {
    auto view = sharedView();
    if (view->initializing_) return;
    view->foregroundColor_ = std::move(color);
    setDefaultStyle(OVProgressHUDStyleCustom);
}

void OVProgressHUD::setHudBackgroundColor(UIColorPtr color) {
    auto view = sharedView();
    if (view->initializing_) return;
    view->backgroundColor_ = std::move(color);
    setDefaultStyle(OVProgressHUDStyleCustom);
}

void OVProgressHUD::setBorderColor(UIColorPtr color) { sharedView()->hudView()->layer()->setBorderColor(std::move(color)); }
void OVProgressHUD::setBorderWidth(double width) { sharedView()->hudView()->layer()->setBorderWidth(width); }

void OVProgressHUD::setStatus(const std::optional<std::string>& status) {
    auto view = sharedView();
    auto label = view->statusLabel();
    label->setText(status.value_or(""));
    label->setHidden(!status || status->empty());
    view->updateHUDFrame();
}

UIColorPtr OVProgressHUD::foregroundColorForStyle() const {
    if (style_ == OVProgressHUDStyleLight) return UIColor::blackColor();
    if (style_ == OVProgressHUDStyleDark) return UIColor::whiteColor();
    return foregroundColor_;
}

UIColorPtr OVProgressHUD::backgroundColorForStyle() const {
    if (style_ == OVProgressHUDStyleLight) return UIColor::whiteColor();
    if (style_ == OVProgressHUDStyleDark) return UIColor::blackColor();
    return backgroundColor_;
}

// --- class operations: showing and dismissing ---

void OVProgressHUD::onMainQueue(std::function<void(OVProgressHUD&)> work) {
    std::weak_ptr<OVProgressHUD> weak = weakShared();
    NSOperationQueue::mainQueue()->addOperationWithBlock([weak, work = std::move(work)] {
        if (auto view = weak.lock()) work(*view);
    });
}

void OVProgressHUD::show() { showWithStatus(std::nullopt); }
void OVProgressHUD::showWithMaskType(uint64_t maskType) { showProgress(float(kUndefinedProgress), std::nullopt, maskType); }
void OVProgressHUD::showWithStatus(const std::optional<std::string>& status) { showProgress(float(kUndefinedProgress), status); }
void OVProgressHUD::showWithStatus(const std::optional<std::string>& status, uint64_t maskType) {
    showProgress(float(kUndefinedProgress), status, maskType);
}
void OVProgressHUD::showProgress(float progress) { showProgress(progress, std::nullopt); }
void OVProgressHUD::showProgress(float progress, uint64_t maskType) { showProgress(progress, std::nullopt, maskType); }
void OVProgressHUD::showProgress(float progress, const std::optional<std::string>& status) {
    sharedView()->showProgressWithStatus(double(progress), status);
}
void OVProgressHUD::showProgress(float progress, const std::optional<std::string>& status, uint64_t maskType) {
    // The queued show carries the requested mask; the stored default stays as it was.
    sharedView()->showProgressWithStatus(double(progress), status, maskType);
}

void OVProgressHUD::showImage(UIImagePtr image, const std::optional<std::string>& status) {
    sharedView()->showImage(std::move(image), status, displayDurationForString(status));
}
void OVProgressHUD::showImage(UIImagePtr image, const std::optional<std::string>& status, uint64_t maskType) {
    sharedView()->showImage(std::move(image), status, displayDurationForString(status), maskType);
}

void OVProgressHUD::showImageWithHaptic(UIImagePtr image, const std::optional<std::string>& status, int64_t haptic) {
    showImage(std::move(image), status);
    if (!UIKitIsAvailable(10)) return;
    std::weak_ptr<OVProgressHUD> weak = weakShared();
    dispatch_async(dispatch_get_main_queue(), [weak, haptic] {
        auto view = weak.lock();
        if (!view) return;
        if (auto generator = view->hapticGenerator())
            generator->notificationOccurred(UINotificationFeedbackType(haptic));
    });
}

void OVProgressHUD::showInfoWithStatus(const std::optional<std::string>& status) {
    showImageWithHaptic(sharedView()->infoImage_, status, UINotificationFeedbackTypeWarning);
}
void OVProgressHUD::showSuccessWithStatus(const std::optional<std::string>& status) {
    showImageWithHaptic(sharedView()->successImage_, status, UINotificationFeedbackTypeSuccess);
}
void OVProgressHUD::showErrorWithStatus(const std::optional<std::string>& status) {
    showImageWithHaptic(sharedView()->errorImage_, status, UINotificationFeedbackTypeError);
}

namespace {
void hapticOnMain(int64_t type) {
    std::weak_ptr<OVProgressHUD> weak = OVProgressHUD::sharedView();
    dispatch_async(dispatch_get_main_queue(), [weak, type] {
        auto view = weak.lock();
        if (!view) return;
        if (auto generator = view->hapticGenerator()) generator->notificationOccurred(UINotificationFeedbackType(type));
    });
}
}  // namespace

void OVProgressHUD::showInfoWithStatus(const std::optional<std::string>& status, uint64_t maskType) {
    sharedView()->showImage(sharedView()->infoImage_, status, displayDurationForString(status), maskType);
    if (UIKitIsAvailable(10)) hapticOnMain(UINotificationFeedbackTypeWarning);
}
void OVProgressHUD::showSuccessWithStatus(const std::optional<std::string>& status, uint64_t maskType) {
    sharedView()->showImage(sharedView()->successImage_, status, displayDurationForString(status), maskType);
    if (UIKitIsAvailable(10)) hapticOnMain(UINotificationFeedbackTypeSuccess);
    if (UIKitIsAvailable(10)) hapticOnMain(UINotificationFeedbackTypeSuccess);
}
void OVProgressHUD::showErrorWithStatus(const std::optional<std::string>& status, uint64_t maskType) {
    sharedView()->showImage(sharedView()->errorImage_, status, displayDurationForString(status), maskType);
    if (UIKitIsAvailable(10)) hapticOnMain(UINotificationFeedbackTypeError);
    if (UIKitIsAvailable(10)) hapticOnMain(UINotificationFeedbackTypeError);
}

void OVProgressHUD::popActivity() {
    auto view = sharedView();
    if (view->activityCount_ > 0) --view->activityCount_;
    if (view->activityCount_ == 0) view->dismissAfterDelay(0, nullptr);
}

void OVProgressHUD::dismiss() { dismissWithDelay(0, nullptr); }
void OVProgressHUD::dismissWithCompletion(Completion completion) { dismissWithDelay(0, std::move(completion)); }
void OVProgressHUD::dismissWithDelay(double delay) { dismissWithDelay(delay, nullptr); }
void OVProgressHUD::dismissWithDelay(double delay, Completion completion) {
    sharedView()->dismissAfterDelay(delay, std::move(completion));
}

bool OVProgressHUD::isVisible() { return sharedView()->backgroundView()->alpha() > 0; }

double OVProgressHUD::displayDurationForString(const std::optional<std::string>& string) {
    auto view = sharedView();
    double length = string ? double(utf16Length(*string)) : 0;
    double seconds = std::max(length * 0.06 + 0.5, view->minimumDismissTimeInterval_);
    return std::min(seconds, view->maximumDismissTimeInterval_);
}

// --- views ---

std::shared_ptr<UIControl> OVProgressHUD::controlView() {
    if (!controlView_) {
        controlView_ = std::make_shared<UIControl>();
        controlView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        controlView_->setBackgroundColor(UIColor::clearColor());
        controlView_->setUserInteractionEnabled(true);
        std::weak_ptr<OVProgressHUD> weak = std::static_pointer_cast<OVProgressHUD>(shared_from_this());
        controlView_->addTarget(
            nullptr, "controlViewDidReceiveTouchEvent:forEvent:",
            [weak](UIControl&, UIEvent* event) {
                if (auto self = weak.lock()) self->controlViewDidReceiveTouchEvent(event);
            },
            UIControlEventTouchDown);
    }
    controlView_->setFrame(delegateWindowBounds());
    return controlView_;
}

std::shared_ptr<UIView> OVProgressHUD::backgroundView() {
    if (!backgroundView_) {
        backgroundView_ = std::make_shared<UIView>();
        backgroundView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    }
    if (!backgroundView_->superview()) insertSubviewBelowSubview(backgroundView_, hudView());
    if (activeMaskType_ == OVProgressHUDMaskTypeGradient) {
        if (!gradient_) gradient_ = std::make_shared<OVRadialGradientLayer>();
        gradient_->setFrame(bounds());
        CGPoint center = midPoint(bounds());
        center.y = (bounds().size.height - visibleKeyboardHeight()) / 2;
        gradient_->setGradientCenter(center);
        gradient_->setNeedsDisplay();
        if (gradient_->superlayer() != backgroundView_->layer()) backgroundView_->layer()->insertSublayerAtIndex(gradient_, 0);
        applyBackgroundColor(*backgroundView_, UIColor::clearColor());
    } else {
        if (gradient_ && gradient_->superlayer()) {
            gradient_->removeFromSuperlayer();
            gradient_.reset();
        }
        if (activeMaskType_ == OVProgressHUDMaskTypeBlack)
            applyBackgroundColor(*backgroundView_, UIColor::colorWithWhite(0, 0.4));
        else if (activeMaskType_ == OVProgressHUDMaskTypeCustom)
            applyBackgroundColor(*backgroundView_, backgroundLayerColor_);
        else
            applyBackgroundColor(*backgroundView_, UIColor::clearColor());
    }
    backgroundView_->setFrame(bounds());
    return backgroundView_;
}

std::shared_ptr<UIVisualEffectView> OVProgressHUD::hudView() {
    if (!hudView_) {
        hudView_ = std::make_shared<UIVisualEffectView>();
        hudView_->layer()->setMasksToBounds(true);
        hudView_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                      UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    }
    if (!hudView_->superview()) addSubview(hudView_);
    if (hudView_->layer()->cornerRadius() != cornerRadius_) hudView_->layer()->setCornerRadius(cornerRadius_);
    return hudView_;
}

std::shared_ptr<UILabel> OVProgressHUD::statusLabel() {
    if (!statusLabel_) {
        statusLabel_ = std::make_shared<UILabel>();
        statusLabel_->setBackgroundColor(UIColor::clearColor());
        statusLabel_->setAdjustsFontSizeToFitWidth(true);
        statusLabel_->setTextAlignment(NSTextAlignmentCenter);
        statusLabel_->setNumberOfLines(0);
    }
    if (!statusLabel_->superview()) hudView()->contentView()->addSubview(statusLabel_);
    if (auto color = foregroundColorForStyle(); !sameColor(statusLabel_->textColor(), color))
        statusLabel_->setTextColor(std::move(color));
    if (statusLabel_->font() != font_ || !font_) statusLabel_->setFont(font_);
    return statusLabel_;
}

std::shared_ptr<UIImageView> OVProgressHUD::imageView() {
    if (imageView_ && imageView_->bounds().size != imageViewSize_) {
        imageView_->removeFromSuperview();
        imageView_.reset();
    }
    if (!imageView_) imageView_ = std::make_shared<UIImageView>(CGRectMake(0, 0, imageViewSize_.width, imageViewSize_.height));
    if (!imageView_->superview()) hudView()->contentView()->addSubview(imageView_);
    return imageView_;
}

std::shared_ptr<UIView> OVProgressHUD::indefiniteAnimatedView() {
    double radius = statusLabel()->hasText() ? ringRadius_ : ringNoTextRadius_;
    if (animationType_ == OVProgressHUDAnimationTypeFlat) {
        auto flat = std::dynamic_pointer_cast<OVIndefiniteAnimatedView>(indefinite_);
        if (!flat) {
            if (indefinite_) indefinite_->removeFromSuperview();
            flat = std::make_shared<OVIndefiniteAnimatedView>();
            indefinite_ = flat;
        }
        flat->setStrokeColor(foregroundColorForStyle());
        flat->setStrokeThickness(ringThickness_);
        flat->setRadius(radius);
    } else {
        auto native = std::dynamic_pointer_cast<UIActivityIndicatorView>(indefinite_);
        if (!native) {
            if (indefinite_) indefinite_->removeFromSuperview();
            native = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
            indefinite_ = native;
        }
        native->setColor(foregroundColorForStyle());
    }
    CGSize size = indefinite_->sizeThatFits(CGSizeZero);
    CGPoint center = indefinite_->center();
    indefinite_->setBounds(CGRectMake(0, 0, size.width, size.height));
    indefinite_->setCenter(center);
    if (auto ring = std::dynamic_pointer_cast<OVRingView>(indefinite_); ring && ring->superview()) ring->layoutAnimatedLayer();
    return indefinite_;
}

std::shared_ptr<OVProgressAnimatedView> OVProgressHUD::ringView() {
    if (!ring_) ring_ = std::make_shared<OVProgressAnimatedView>();
    ring_->setStrokeColor(foregroundColorForStyle());
    ring_->setStrokeThickness(ringThickness_);
    ring_->setRadius(statusLabel()->hasText() ? ringRadius_ : ringNoTextRadius_);
    return ring_;
}

std::shared_ptr<OVProgressAnimatedView> OVProgressHUD::backgroundRingView() {
    if (!backgroundRing_) {
        backgroundRing_ = std::make_shared<OVProgressAnimatedView>();
        backgroundRing_->setStrokeEnd(1.0);
    }
    auto color = foregroundColorForStyle();
    auto rgba = color ? color->rgba() : std::array<double, 4>{0, 0, 0, 1};
    backgroundRing_->setStrokeColor(UIColor::colorWithRed(rgba[0], rgba[1], rgba[2], double(0.1f)));
    backgroundRing_->setStrokeThickness(ringThickness_);
    backgroundRing_->setRadius(statusLabel()->hasText() ? ringRadius_ : ringNoTextRadius_);
    return backgroundRing_;
}

std::shared_ptr<UINotificationFeedbackGenerator> OVProgressHUD::hapticGenerator() {
    if (!hapticsEnabled_) return nullptr;
    if (!hapticGenerator_) hapticGenerator_ = std::make_shared<UINotificationFeedbackGenerator>();
    return hapticGenerator_;
}

// --- timers ---

void OVProgressHUD::setGraceTimer(std::shared_ptr<NSTimer> timer) {
    if (graceTimer_) graceTimer_->invalidate();
    graceTimer_ = std::move(timer);
}

void OVProgressHUD::setFadeOutTimer(std::shared_ptr<NSTimer> timer) {
    if (fadeOutTimer_) fadeOutTimer_->invalidate();
    fadeOutTimer_ = std::move(timer);
}

void OVProgressHUD::scheduleFadeOut(double seconds) {
    auto timer = NSTimer::timerWithTimeInterval(seconds, false, [](const std::shared_ptr<NSTimer>&) { dismiss(); });
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
    setFadeOutTimer(timer);
}

// --- instance operations ---

void OVProgressHUD::showProgressWithStatus(double progress, const std::optional<std::string>& status,
                                           std::optional<uint64_t> maskType) {
    onMainQueue([progress, status, maskType](OVProgressHUD& self) {
        self.activeMaskType_ = maskType.value_or(self.maskType_);
        if (self.fadeOutTimer_) self.activityCount_ = 0;
        self.setFadeOutTimer(nullptr);
        self.setGraceTimer(nullptr);
        self.updateViewHierarchy();
        self.imageView()->setHidden(true);
        self.imageView()->setImage(nullptr);
        auto label = self.statusLabel();
        label->setHidden(!status || status->empty());
        label->setText(status.value_or(""));
        self.progress_ = progress;
        if (progress >= 0) {
            self.cancelIndefiniteAnimatedViewAnimation();
            auto content = self.hudView()->contentView();
            if (!self.ringView()->superview()) content->addSubview(self.ring_);
            if (!self.backgroundRingView()->superview()) content->addSubview(self.backgroundRing_);
            CATransaction::begin();
            CATransaction::setDisableActions(true);
            self.ring_->setStrokeEnd(progress);
            CATransaction::commit();
        } else {
            self.cancelRingLayerAnimation();
            auto spinner = self.indefiniteAnimatedView();
            self.hudView()->contentView()->addSubview(spinner);
            if (auto native = std::dynamic_pointer_cast<UIActivityIndicatorView>(spinner)) native->startAnimating();
        }
        if (progress < 0 || progress == 0) ++self.activityCount_;
        if (self.graceTimeInterval_ > 0 && self.backgroundView()->alpha() == 0) {
            std::weak_ptr<OVProgressHUD> weak = std::static_pointer_cast<OVProgressHUD>(self.shared_from_this());
            auto timer = NSTimer::timerWithTimeInterval(self.graceTimeInterval_, false, [weak](const std::shared_ptr<NSTimer>&) {
                if (auto view = weak.lock()) view->fadeIn(std::nullopt);
            });
            NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
            self.setGraceTimer(timer);
        } else {
            self.fadeIn(std::nullopt);
        }
        if (UIKitIsAvailable(10))
            if (auto generator = self.hapticGenerator()) generator->prepare();
    });
}

void OVProgressHUD::showImage(UIImagePtr image, const std::optional<std::string>& status, double duration,
                              std::optional<uint64_t> maskType) {
    onMainQueue([image, status, duration, maskType](OVProgressHUD& self) {
        self.activeMaskType_ = maskType.value_or(self.maskType_);
        self.setFadeOutTimer(nullptr);
        self.setGraceTimer(nullptr);
        self.updateViewHierarchy();
        self.progress_ = kUndefinedProgress;
        self.cancelRingLayerAnimation();
        self.cancelIndefiniteAnimatedViewAnimation();
        auto imageView = self.imageView();
        if (self.shouldTintImages_ && image) {
            imageView->setImage(image->isTemplate() ? image
                                                    : image->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate));
            imageView->setTintColor(self.foregroundColorForStyle());
        } else {
            imageView->setImage(image);
        }
        imageView->setHidden(false);
        auto label = self.statusLabel();
        label->setHidden(!status || status->empty());
        label->setText(status.value_or(""));
        if (self.graceTimeInterval_ > 0 && self.backgroundView()->alpha() == 0) {
            std::weak_ptr<OVProgressHUD> weak = std::static_pointer_cast<OVProgressHUD>(self.shared_from_this());
            auto timer = NSTimer::timerWithTimeInterval(
                self.graceTimeInterval_, false,
                [weak, duration](const std::shared_ptr<NSTimer>&) {
                    if (auto view = weak.lock()) view->fadeIn(duration);
                });
            NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
            self.setGraceTimer(timer);
        } else {
            self.fadeIn(duration);
        }
    });
}

void OVProgressHUD::updateAccessibility() {
    std::string text = statusLabel()->text();
    std::string label = text.empty() ? loadingText() : text;
    if (activeMaskType_ != OVProgressHUDMaskTypeNone) {
        controlView()->setUserInteractionEnabled(true);
        setAccessibilityLabel(label);
        setIsAccessibilityElement(true);
        hudView()->setIsAccessibilityElement(false);
    } else {
        controlView()->setUserInteractionEnabled(false);
        hudView()->setAccessibilityLabel(label);
        hudView()->setIsAccessibilityElement(true);
        setIsAccessibilityElement(false);
    }
}

// Looked up again only when the main bundle or the preferred languages change:
// listing the bundle's localizations at every show cost more than the show.
const std::string& OVProgressHUD::loadingText() {
    auto bundle = NSBundle::mainBundle();
    auto languages = NSLocale::preferredLanguages();
    if (!loading_ || loading_->bundle != bundle || loading_->languages != languages) {
        std::string text = bundle->localizedStringForKey("Loading", "");
        loading_ = LoadingText{std::move(bundle), std::move(languages), std::move(text)};
    }
    return loading_->text;
}

void OVProgressHUD::fadeIn(std::optional<double> duration) {
    updateHUDFrame();
    positionHUD(nullptr);
    updateAccessibility();
    std::weak_ptr<OVProgressHUD> weak = std::static_pointer_cast<OVProgressHUD>(shared_from_this());
    auto announce = [weak, duration] {
        auto self = weak.lock();
        if (!self) return;
        UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification, Value());
        UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, Value(self->statusLabel()->text()));
        if (duration) self->scheduleFadeOut(*duration);
    };
    if (backgroundView()->alpha() == 1) {
        announce();
        return;
    }
    post(OVProgressHUDWillAppearNotification, true);
    hudView()->setTransform(CGAffineTransformScale(hudView()->transform(), double(1 / 1.5f), double(1 / 1.5f)));
    auto animations = [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->hudView()->setTransform(CGAffineTransformIdentity);
        self->fadeInEffects();
    };
    auto completion = [weak, announce](bool) {
        auto self = weak.lock();
        if (!self || self->backgroundView()->alpha() != 1) return;
        self->registerNotifications();
        self->post(OVProgressHUDDidAppearNotification, true);
        announce();
    };
    if (fadeInDuration_ > 0) {
        UIView::animateWithDuration(fadeInDuration_, 0,
                                    UIViewAnimationOptionLayoutSubviews | UIViewAnimationOptionAllowUserInteraction |
                                        UIViewAnimationOptionBeginFromCurrentState,
                                    animations, completion);
    } else {
        animations();
        completion(true);
    }
    setNeedsDisplay();
}

void OVProgressHUD::fadeInEffects() {
    if (style_ != OVProgressHUDStyleCustom) {
        hudView()->setEffect(UIBlurEffect::effectWithStyle(style_ == OVProgressHUDStyleDark ? UIBlurEffectStyleDark
                                                                                              : UIBlurEffectStyleLight));
        auto rgba = backgroundColorForStyle()->rgba();
        hudView()->setBackgroundColor(UIColor::colorWithRed(rgba[0], rgba[1], rgba[2], double(0.6f)));
    } else {
        hudView()->setBackgroundColor(backgroundColorForStyle());
    }
    backgroundView()->setAlpha(1);
    imageView()->setAlpha(1);
    statusLabel()->setAlpha(1);
    indefiniteAnimatedView()->setAlpha(1);
    ringView()->setAlpha(1);
    backgroundRingView()->setAlpha(1);
}

void OVProgressHUD::fadeOutEffects() {
    if (style_ != OVProgressHUDStyleCustom) hudView()->setEffect(nullptr);
    hudView()->setBackgroundColor(UIColor::clearColor());
    backgroundView()->setAlpha(0);
    imageView()->setAlpha(0);
    statusLabel()->setAlpha(0);
    indefiniteAnimatedView()->setAlpha(0);
    ringView()->setAlpha(0);
    backgroundRingView()->setAlpha(0);
}

void OVProgressHUD::dismissAfterDelay(double delay, Completion completion) {
    onMainQueue([delay, completion = std::move(completion)](OVProgressHUD& self) {
        self.setGraceTimer(nullptr);
        self.post(OVProgressHUDWillDisappearNotification, false);
        self.activityCount_ = 0;
        std::weak_ptr<OVProgressHUD> weak = std::static_pointer_cast<OVProgressHUD>(self.shared_from_this());
        auto animations = [weak] {
            auto view = weak.lock();
            if (!view) return;
            view->hudView()->setTransform(
                CGAffineTransformScale(view->hudView()->transform(), double(1 / 1.3f), double(1 / 1.3f)));
            view->fadeOutEffects();
        };
        auto finished = [weak, completion](bool) {
            auto view = weak.lock();
            if (!view || view->backgroundView()->alpha() != 0) return;
            view->controlView()->removeFromSuperview();
            view->backgroundView_->removeFromSuperview();
            view->hudView_->removeFromSuperview();
            view->removeFromSuperview();
            view->progress_ = kUndefinedProgress;
            view->cancelRingLayerAnimation();
            view->cancelIndefiniteAnimatedViewAnimation();
            NSNotificationCenter::defaultCenter()->removeObserver(view);
            view->observing_ = false;
            view->post(OVProgressHUDDidDisappearNotification, true);
            if (completion) completion();
        };
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, int64_t(delay * NSEC_PER_SEC)), dispatch_get_main_queue(),
                       [weak, animations, finished] {
                           auto view = weak.lock();
                           if (!view) return;
                           if (view->fadeOutDuration_ > 0) {
                               UIView::animateWithDuration(view->fadeOutDuration_, 0,
                                                           UIViewAnimationOptionAllowUserInteraction |
                                                               UIViewAnimationOptionBeginFromCurrentState,
                                                           animations, finished);
                           } else {
                               animations();
                               finished(true);
                           }
                       });
        self.setNeedsDisplay();
    });
}

void OVProgressHUD::cancelRingLayerAnimation() {
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    if (ring_) ring_->removeFromSuperview();
    if (backgroundRing_) backgroundRing_->removeFromSuperview();
    CATransaction::commit();
}

void OVProgressHUD::cancelIndefiniteAnimatedViewAnimation() {
    if (auto native = std::dynamic_pointer_cast<UIActivityIndicatorView>(indefinite_)) native->stopAnimating();
    if (indefinite_) indefinite_->removeFromSuperview();
}

std::shared_ptr<UIWindow> OVProgressHUD::frontWindow() const {
    auto windows = UIApplication::sharedApplication()->windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto& window = *it;
        if (!window->isHidden() && window->alpha() > 0 && window->windowLevel() >= UIWindowLevelNormal &&
            window->windowLevel() <= maxSupportedWindowLevel_ && window->isKeyWindow())
            return window;
    }
    return nullptr;
}

void OVProgressHUD::updateViewHierarchy() {
    auto control = controlView();
    if (auto parent = control->superview()) {
        parent->bringSubviewToFront(control);
    } else if (auto container = containerView_.lock()) {
        container->addSubview(control);
    } else if (auto window = frontWindow()) {
        window->addSubview(control);
    }
    if (!superview()) control->addSubview(std::static_pointer_cast<UIView>(shared_from_this()));
}

void OVProgressHUD::updateHUDFrame() {
    auto image = imageView();
    auto label = statusLabel();
    // Styled and sized once here: nothing below changes what that depends on.
    auto indefinite = indefiniteAnimatedView();
    bool imageUsed = image->image() && !image->isHidden();
    bool contentUsed = imageUsed || image->isHidden();
    CGRect labelRect = CGRectZero;
    if (label->hasText()) {
        Value::Dictionary attributes;
        attributes[Value(NSFontAttributeName)] = Value(label->font());
        labelRect = NSString::boundingRectWithSize(
            label->text(), CGSizeMake(200, 300),
            NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading | NSStringDrawingTruncatesLastVisibleLine,
            attributes);
    }
    double labelWidth = std::ceil(float(labelRect.size.width)), labelHeight = std::ceil(float(labelRect.size.height));
    labelRect.size = CGSizeMake(labelWidth, labelHeight);
    CGSize contentSize = CGSizeZero;
    if (imageUsed)
        contentSize = image->frame().size;
    else if (contentUsed)
        contentSize = indefinite->frame().size;
    double hudWidth = kHorizontalSpacing + std::max(labelWidth, contentSize.width) + kHorizontalSpacing;
    double hudHeight = kVerticalSpacing + labelHeight + contentSize.height + kVerticalSpacing;
    if (label->hasText() && contentUsed) hudHeight += kLabelSpacing;
    auto hud = hudView();
    hud->setBounds(CGRectMake(0, 0, std::max(minimumSize_.width, hudWidth), std::max(minimumSize_.height, hudHeight)));
    CGRect hb = hud->bounds();
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    double centerY = label->hasText()
                         ? contentSize.height / 2 +
                               std::max((minimumSize_.height - contentSize.height - kLabelSpacing - labelHeight) / 2,
                                        kVerticalSpacing)
                         : hb.size.height / 2;
    CGPoint contentCenter = CGPointMake(hb.size.width / 2, centerY);
    indefinite->setCenter(contentCenter);
    if (auto ring = std::dynamic_pointer_cast<OVRingView>(indefinite_); ring && ring->superview()) ring->layoutAnimatedLayer();
    image->setCenter(contentCenter);
    if (progress_ != kUndefinedProgress) {
        for (auto& r : {ringView(), backgroundRingView()}) {
            CGSize size = r->sizeThatFits(CGSizeZero);
            r->setRingFrame(CGRectMake(contentCenter.x - size.width / 2, contentCenter.y - size.height / 2, size.width,
                                       size.height));
        }
    }
    label->setFrame(labelRect);
    double labelY = hb.size.height / 2;
    if (contentUsed) {
        CGRect under = imageUsed ? image->frame() : indefinite->frame();
        labelY = under.origin.y + under.size.height + kLabelSpacing + labelHeight / 2;
    }
    label->setCenter(CGPointMake(hb.size.width / 2, labelY));
    CATransaction::commit();
}

void OVProgressHUD::positionHUD(const NSNotification* notification) {
    setFrame(delegateWindowBounds());
    double keyboardHeight = 0, duration = 0;
    if (notification) {
        const Value& info = notification->userInfo();
        CGRect keyboard = info.objectForKey(Value(UIKeyboardFrameBeginUserInfoKey)).CGRectValue();
        duration = info.objectForKey(Value(UIKeyboardAnimationDurationUserInfoKey)).doubleValue();
        const std::string& name = notification->name();
        if (name == UIKeyboardWillShowNotification || name == UIKeyboardDidShowNotification)
            keyboardHeight = keyboard.size.height;  // portrait: the only orientation here
    } else {
        keyboardHeight = visibleKeyboardHeight();
    }
    double activeHeight = bounds().size.height;
    if (keyboardHeight > 0) activeHeight += 2 * UIApplication::sharedApplication()->statusBarFrame().size.height;
    activeHeight -= keyboardHeight;
    CGPoint target = CGPointMake(bounds().size.width / 2, std::floor(float(activeHeight * double(0.45f))));
    std::weak_ptr<OVProgressHUD> weak = std::static_pointer_cast<OVProgressHUD>(shared_from_this());
    if (notification) {
        UIView::animateWithDuration(
            duration, 0, UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
            [weak, target] {
                if (auto self = weak.lock()) {
                    self->moveToPoint(target, 0);
                    self->hudView()->setNeedsDisplay();
                }
            });
    } else {
        moveToPoint(target, 0);
    }
}

void OVProgressHUD::moveToPoint(CGPoint point, double angle) {
    auto hud = hudView();
    hud->setTransform(CGAffineTransformMakeRotation(angle));
    CGPoint center = point;
    if (auto container = containerView_.lock()) center = container->center();
    hud->setCenter(CGPointMake(center.x + offsetFromCenter_.horizontal, center.y + offsetFromCenter_.vertical));
}

void OVProgressHUD::registerNotifications() {
    if (observing_) return;
    observing_ = true;
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<OVProgressHUD> weak = std::static_pointer_cast<OVProgressHUD>(shared_from_this());
    for (const char* name : {UIApplicationDidChangeStatusBarOrientationNotification, UIKeyboardWillHideNotification,
                             UIKeyboardDidHideNotification, UIKeyboardWillShowNotification,
                             UIKeyboardDidShowNotification, UIApplicationDidBecomeActiveNotification}) {
        center->addObserver(
            shared_from_this(),
            [weak](const NSNotification& n) {
                if (auto self = weak.lock()) self->positionHUD(&n);
            },
            name, Value());
    }
}

Value OVProgressHUD::notificationUserInfo() {
    std::string text = statusLabel()->text();
    if (text.empty()) return Value();
    Value::Dictionary info;
    info[Value(OVProgressHUDStatusUserInfoKey)] = Value(text);
    return Value(std::move(info));
}

void OVProgressHUD::post(const char* name, bool withSender) {
    NSNotificationCenter::defaultCenter()->postNotificationName(name, withSender ? Value(shared_from_this()) : Value(),
                                                                notificationUserInfo());
}

void OVProgressHUD::controlViewDidReceiveTouchEvent(UIEvent* event) {
    post(OVProgressHUDDidReceiveTouchEventNotification, true);
    if (!event) return;
    for (auto& touch : event->allTouches()) {
        CGPoint location = touch->locationInView(this);
        CGRect hud = hudView()->frame();
        if (location.x >= hud.origin.x && location.x <= hud.origin.x + hud.size.width && location.y >= hud.origin.y &&
            location.y <= hud.origin.y + hud.size.height) {
            post(OVProgressHUDDidTouchDownInsideNotification, true);
            break;
        }
    }
}
