#pragma once
// The device's screen: its size in points and its scale, read from APP_SCREEN
// ("<width>x<height>@<scale>", default "375x812@3"), plus the status-bar and
// safe-area heights that follow from its size, and the screen's trait
// collection (whose interface style can be switched at run time).
//
// The main screen is made on first use and lives for the process; its
// geometry may be read from any thread, the style switch is made on main.

#include <platform_runtime/Geometry.h>
#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

class UITraitCollection;

class UIScreen : public NSObject {
    NS_CLASS(UIScreen, NSObject)
public:
    static constexpr const char* kScreenEnvironmentVariable = "APP_SCREEN";
    static constexpr const char* kDefaultScreen = "375x812@3";

    static std::shared_ptr<UIScreen> mainScreen();
    // "375x812@3" -> bounds 375 × 812 points at scale 3; nothing for text of another shape.
    struct Spec {
        double width = 0, height = 0, scale = 0;
    };
    static std::optional<Spec> parseSpec(const std::string& text);
    // Tests: the main screen takes this spec (nullopt: APP_SCREEN again).
    static void setMainScreenSpecForTesting(std::optional<std::string> spec);

    CGRect bounds() const;
    double scale() const;
    CGRect nativeBounds() const;  // in pixels
    double nativeScale() const { return scale(); }

    // 44 on screens at least 812 points tall, else 20.
    double statusBarHeight() const;
    // Top: the status bar; bottom: 34 on screens at least 812 points tall, else 0.
    UIEdgeInsets safeAreaInsets() const;

    // The traits every window starts from: idiom, scale, style.
    std::shared_ptr<UITraitCollection> traitCollection() const;
    // Switches light (1) / dark (2) for the whole app: windows and their
    // views are told through traitCollectionDidChange, top down. Main thread.
    void setUserInterfaceStyle(int64_t style);

    UIScreen() = default;

private:
    mutable std::mutex m_;
    Spec spec_;
    int64_t style_ = 0;
    bool loaded_ = false;
    // The collection last handed out; handed out again while style, idiom and scale hold.
    mutable std::shared_ptr<UITraitCollection> traits_;
    void loadLocked() const;
};
