#pragma once
// The progress overlay: one shared view floating above the app's front
// window that shows an indefinite spinner, a progress ring or an image, each
// with an optional status text, and fades in and out. Every show and
// dismissal is queued onto the main operation queue (also from the main
// thread) and runs there in order; display and fade-out timers and the grace
// timer run on the main run loop. It posts "OVProgressHUDWillAppear…",
// "…DidAppear…", "…WillDisappear…", "…DidDisappear…",
// "…DidReceiveTouchEvent…" and "…DidTouchDownInside…" notifications with the
// status under "OVProgressHUDStatusUserInfoKey".
//
// Class operations may be called from any thread; setters, `setStatus` and
// `isVisible` act at once on the caller's thread (use them from main).

#include <platform_foundation/NSBundle.h>
#include <platform_runtime/Value.h>
#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIControl.h>
#include <platform_uikit/UIFeedbackGenerator.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIVisualEffectView.h>
#include <platform_uikit/UIWindow.h>

#include <cfloat>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSTimer;
class NSNotification;
class OVProgressAnimatedView;
class OVRadialGradientLayer;

enum OVProgressHUDStyle : int64_t { OVProgressHUDStyleLight = 0, OVProgressHUDStyleDark = 1, OVProgressHUDStyleCustom = 2 };
enum OVProgressHUDMaskType : uint64_t {
    OVProgressHUDMaskTypeNone = 1,
    OVProgressHUDMaskTypeClear = 2,
    OVProgressHUDMaskTypeBlack = 3,
    OVProgressHUDMaskTypeGradient = 4,
    OVProgressHUDMaskTypeCustom = 5,
};
enum OVProgressHUDAnimationType : uint64_t { OVProgressHUDAnimationTypeFlat = 0, OVProgressHUDAnimationTypeNative = 1 };

inline constexpr char OVProgressHUDWillAppearNotification[] = "OVProgressHUDWillAppearNotification";
inline constexpr char OVProgressHUDDidAppearNotification[] = "OVProgressHUDDidAppearNotification";
inline constexpr char OVProgressHUDWillDisappearNotification[] = "OVProgressHUDWillDisappearNotification";
inline constexpr char OVProgressHUDDidDisappearNotification[] = "OVProgressHUDDidDisappearNotification";
inline constexpr char OVProgressHUDDidReceiveTouchEventNotification[] = "OVProgressHUDDidReceiveTouchEventNotification";
inline constexpr char OVProgressHUDDidTouchDownInsideNotification[] = "OVProgressHUDDidTouchDownInsideNotification";
inline constexpr char OVProgressHUDStatusUserInfoKey[] = "OVProgressHUDStatusUserInfoKey";

class OVProgressHUD : public UIView {
    NS_CLASS(OVProgressHUD, UIView)
public:
    using Completion = std::function<void()>;
    // The single-precision constants the overlay's timings and scales are made of.
    static constexpr double kFadeDuration = double(0.15f);
    static constexpr double kUndefinedProgress = -1;

    // The shared overlay, made once with the bounds of the app delegate's window.
    static std::shared_ptr<OVProgressHUD> sharedView();

    // --- class operations: appearance (stored on the shared view) ---
    static void setStatus(const std::optional<std::string>& status);
    static void setDefaultStyle(int64_t style);
    static void setDefaultMaskType(uint64_t maskType);
    static void setDefaultAnimationType(uint64_t type);
    static void setContainerView(const std::shared_ptr<UIView>& view);
    static void setMinimumSize(CGSize size);
    static void setRingThickness(double thickness);
    static void setRingRadius(double radius);
    static void setRingNoTextRadius(double radius);
    static void setCornerRadius(double radius);
    static void setBorderColor(UIColorPtr color);
    static void setBorderWidth(double width);
    static void setFont(UIFontPtr font);
    static void setForegroundColor(UIColorPtr color);
    // The class-side `setBackgroundColor:` (the view's own background setter keeps its name).
    static void setHudBackgroundColor(UIColorPtr color);
    static void setBackgroundLayerColor(UIColorPtr color);
    static void setImageViewSize(CGSize size);
    static void setShouldTintImages(bool on);
    static void setInfoImage(UIImagePtr image);
    static void setSuccessImage(UIImagePtr image);
    static void setErrorImage(UIImagePtr image);
    static void setGraceTimeInterval(double seconds);
    static void setMinimumDismissTimeInterval(double seconds);
    static void setMaximumDismissTimeInterval(double seconds);
    static void setFadeInAnimationDuration(double seconds);
    static void setFadeOutAnimationDuration(double seconds);
    static void setMaxSupportedWindowLevel(UIWindowLevel level);
    static void setHapticsEnabled(bool on);
    static void setOffsetFromCenter(UIOffset offset);
    static void resetOffsetFromCenter();

    // --- class operations: showing and dismissing ---
    static void show();
    static void showWithMaskType(uint64_t maskType);
    static void showWithStatus(const std::optional<std::string>& status);
    static void showWithStatus(const std::optional<std::string>& status, uint64_t maskType);
    static void showProgress(float progress);
    static void showProgress(float progress, uint64_t maskType);
    static void showProgress(float progress, const std::optional<std::string>& status);
    static void showProgress(float progress, const std::optional<std::string>& status, uint64_t maskType);
    static void showInfoWithStatus(const std::optional<std::string>& status);
    static void showInfoWithStatus(const std::optional<std::string>& status, uint64_t maskType);
    static void showSuccessWithStatus(const std::optional<std::string>& status);
    static void showSuccessWithStatus(const std::optional<std::string>& status, uint64_t maskType);
    static void showErrorWithStatus(const std::optional<std::string>& status);
    static void showErrorWithStatus(const std::optional<std::string>& status, uint64_t maskType);
    static void showImage(UIImagePtr image, const std::optional<std::string>& status);
    static void showImage(UIImagePtr image, const std::optional<std::string>& status, uint64_t maskType);
    static void popActivity();
    static void dismiss();
    static void dismissWithCompletion(Completion completion);
    static void dismissWithDelay(double delay);
    static void dismissWithDelay(double delay, Completion completion);
    static bool isVisible();
    // min(max(length × 0.06 + 0.5, minimum), maximum), the length in UTF-16 units.
    static double displayDurationForString(const std::optional<std::string>& string);

    // --- the shared view's state (read) ---
    int64_t defaultStyle() const { return style_; }
    uint64_t defaultMaskType() const { return maskType_; }
    uint64_t defaultAnimationType() const { return animationType_; }
    CGSize minimumSize() const { return minimumSize_; }
    double ringThickness() const { return ringThickness_; }
    double ringRadius() const { return ringRadius_; }
    double ringNoTextRadius() const { return ringNoTextRadius_; }
    double cornerRadius() const { return cornerRadius_; }
    const UIFontPtr& font() const { return font_; }
    const UIImagePtr& infoImage() const { return infoImage_; }
    const UIImagePtr& successImage() const { return successImage_; }
    const UIImagePtr& errorImage() const { return errorImage_; }
    double graceTimeInterval() const { return graceTimeInterval_; }
    double minimumDismissTimeInterval() const { return minimumDismissTimeInterval_; }
    double maximumDismissTimeInterval() const { return maximumDismissTimeInterval_; }
    double fadeInAnimationDuration() const { return fadeInDuration_; }
    double fadeOutAnimationDuration() const { return fadeOutDuration_; }
    bool hapticsEnabled() const { return hapticsEnabled_; }
    uint64_t activityCount() const { return activityCount_; }
    double progress() const { return progress_; }
    UIColorPtr foregroundColorForStyle() const;
    UIColorPtr backgroundColorForStyle() const;

    // --- its views (made on first use, re-styled on each access) ---
    std::shared_ptr<UIControl> controlView();
    std::shared_ptr<UIView> backgroundView();
    std::shared_ptr<UIVisualEffectView> hudView();
    std::shared_ptr<UILabel> statusLabel();
    std::shared_ptr<UIImageView> imageView();
    std::shared_ptr<UIView> indefiniteAnimatedView();
    std::shared_ptr<OVProgressAnimatedView> ringView();
    std::shared_ptr<OVProgressAnimatedView> backgroundRingView();
    std::shared_ptr<OVRadialGradientLayer> gradientLayer() const { return gradient_; }
    // The generator while haptics are enabled; none otherwise.
    std::shared_ptr<UINotificationFeedbackGenerator> hapticGenerator();

    // --- instance operations ---
    // `maskType`: the mask this show uses; none reads the default when the queued work runs.
    void showProgressWithStatus(double progress, const std::optional<std::string>& status,
                                std::optional<uint64_t> maskType = std::nullopt);
    void showImage(UIImagePtr image, const std::optional<std::string>& status, double duration,
                   std::optional<uint64_t> maskType = std::nullopt);
    // The mask type of what is shown now.
    uint64_t activeMaskType() const { return activeMaskType_; }
    void dismissAfterDelay(double delay, Completion completion);
    void updateHUDFrame();
    void updateViewHierarchy();
    void positionHUD(const NSNotification* notification);
    void moveToPoint(CGPoint point, double angle);
    // No keyboard window here: 0.
    double visibleKeyboardHeight() const { return 0; }
    std::shared_ptr<UIWindow> frontWindow() const;
    Value notificationUserInfo();

    OVProgressHUD();
    ~OVProgressHUD() override;

private:
    void initialise();
    void fadeIn(std::optional<double> duration);
    void fadeInEffects();
    void fadeOutEffects();
    void registerNotifications();
    void scheduleFadeOut(double seconds);
    void setGraceTimer(std::shared_ptr<NSTimer> timer);
    void setFadeOutTimer(std::shared_ptr<NSTimer> timer);
    void cancelRingLayerAnimation();
    void cancelIndefiniteAnimatedViewAnimation();
    void controlViewDidReceiveTouchEvent(UIEvent* event);
    void post(const char* name, bool withSender);
    void updateAccessibility();
    const std::string& loadingText();
    static void showImageWithHaptic(UIImagePtr image, const std::optional<std::string>& status, int64_t haptic);
    static std::weak_ptr<OVProgressHUD> weakShared();
    static void onMainQueue(std::function<void(OVProgressHUD&)> work);

    bool initializing_ = true;
    int64_t style_ = OVProgressHUDStyleLight;
    uint64_t maskType_ = OVProgressHUDMaskTypeNone;
    uint64_t animationType_ = OVProgressHUDAnimationTypeFlat;
    std::weak_ptr<UIView> containerView_;
    CGSize minimumSize_{};
    double ringThickness_ = 2, ringRadius_ = 18, ringNoTextRadius_ = 24, cornerRadius_ = 14;
    UIFontPtr font_;
    UIColorPtr foregroundColor_, backgroundColor_, backgroundLayerColor_;
    CGSize imageViewSize_{28, 28};
    bool shouldTintImages_ = true;
    UIImagePtr infoImage_, successImage_, errorImage_;
    double graceTimeInterval_ = 0, minimumDismissTimeInterval_ = 5.0, maximumDismissTimeInterval_ = DBL_MAX;
    double fadeInDuration_ = kFadeDuration, fadeOutDuration_ = kFadeDuration;
    UIOffset offsetFromCenter_{};
    UIWindowLevel maxSupportedWindowLevel_ = UIWindowLevelNormal;
    bool hapticsEnabled_ = false;

    std::shared_ptr<NSTimer> graceTimer_, fadeOutTimer_;
    double progress_ = kUndefinedProgress;
    uint64_t activityCount_ = 0;
    std::shared_ptr<UINotificationFeedbackGenerator> hapticGenerator_;
    std::shared_ptr<UIControl> controlView_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<OVRadialGradientLayer> gradient_;
    std::shared_ptr<UIVisualEffectView> hudView_;
    std::shared_ptr<UILabel> statusLabel_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIView> indefinite_;
    std::shared_ptr<OVProgressAnimatedView> ring_, backgroundRing_;
    bool observing_ = false;
    uint64_t activeMaskType_ = OVProgressHUDMaskTypeNone;
    // The main bundle's "Loading" and what it was looked up with.
    struct LoadingText {
        std::shared_ptr<NSBundle> bundle;
        std::vector<std::string> languages;
        std::string text;
    };
    std::optional<LoadingText> loading_;
};
