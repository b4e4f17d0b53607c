#pragma once
// Visual effects: a blur of a style, a vibrancy over a blur, and the view
// that shows one with its content view on top.
//
// Main thread.

#include <platform_uikit/UIView.h>

#include <memory>

enum UIBlurEffectStyle : int64_t {
    UIBlurEffectStyleExtraLight = 0,
    UIBlurEffectStyleLight = 1,
    UIBlurEffectStyleDark = 2,
    UIBlurEffectStyleRegular = 4,
    UIBlurEffectStyleProminent = 5,
    UIBlurEffectStyleSystemUltraThinMaterial = 6,
    UIBlurEffectStyleSystemThinMaterial = 7,
    UIBlurEffectStyleSystemMaterial = 8,
    UIBlurEffectStyleSystemThickMaterial = 9,
    UIBlurEffectStyleSystemChromeMaterial = 10,
};

class UIVisualEffect : public NSObject {
    NS_CLASS(UIVisualEffect, NSObject)
};

class UIBlurEffect : public UIVisualEffect {
    NS_CLASS(UIBlurEffect, UIVisualEffect)
public:
    static std::shared_ptr<UIBlurEffect> effectWithStyle(UIBlurEffectStyle style);
    UIBlurEffectStyle style() const { return style_; }

private:
    UIBlurEffectStyle style_ = UIBlurEffectStyleLight;
};

class UIVibrancyEffect : public UIVisualEffect {
    NS_CLASS(UIVibrancyEffect, UIVisualEffect)
public:
    static std::shared_ptr<UIVibrancyEffect> effectForBlurEffect(std::shared_ptr<UIBlurEffect> blur);
    const std::shared_ptr<UIBlurEffect>& blurEffect() const { return blur_; }

private:
    std::shared_ptr<UIBlurEffect> blur_;
};

// The view an effect view shows its content in.
class _UIVisualEffectContentView : public UIView {
    NS_CLASS(_UIVisualEffectContentView, UIView)
};

class UIVisualEffectView : public UIView {
    NS_CLASS(UIVisualEffectView, UIView)
public:
    explicit UIVisualEffectView(std::shared_ptr<UIVisualEffect> effect = nullptr);
    const std::shared_ptr<UIVisualEffect>& effect() const { return effect_; }
    void setEffect(std::shared_ptr<UIVisualEffect> effect) { effect_ = std::move(effect); }
    // Where subviews go; it fills the effect view.
    std::shared_ptr<UIView> contentView();
    void layoutSubviews() override;

private:
    std::shared_ptr<UIVisualEffect> effect_;
    std::shared_ptr<UIView> content_ = std::make_shared<_UIVisualEffectContentView>();
};
