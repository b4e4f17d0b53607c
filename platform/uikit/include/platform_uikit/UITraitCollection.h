#pragma once
// The traits a view is shown with: interface style (light / dark), idiom,
// display scale and size classes. Immutable once made; dynamic colours and
// images resolve against the current trait collection of the calling thread.

#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <string>

enum UIUserInterfaceStyle : int64_t {
    UIUserInterfaceStyleUnspecified = 0,
    UIUserInterfaceStyleLight = 1,
    UIUserInterfaceStyleDark = 2,
};

enum UIUserInterfaceIdiom : int64_t {
    UIUserInterfaceIdiomUnspecified = -1,
    UIUserInterfaceIdiomPhone = 0,
    UIUserInterfaceIdiomPad = 1,
};

enum UIUserInterfaceSizeClass : int64_t {
    UIUserInterfaceSizeClassUnspecified = 0,
    UIUserInterfaceSizeClassCompact = 1,
    UIUserInterfaceSizeClassRegular = 2,
};

class UITraitCollection;
using UITraitCollectionPtr = std::shared_ptr<UITraitCollection>;

class UITraitCollection : public NSObject {
    NS_CLASS(UITraitCollection, NSObject)
public:
    static constexpr const char* kStyleEnvironmentVariable = "APP_INTERFACE_STYLE";  // "light" / "dark"

    UITraitCollection() = default;
    UITraitCollection(UIUserInterfaceStyle style, UIUserInterfaceIdiom idiom, double scale,
                      UIUserInterfaceSizeClass horizontal, UIUserInterfaceSizeClass vertical);

    static UITraitCollectionPtr traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyle style);
    // Copy of `base` with the given style.
    static UITraitCollectionPtr withStyle(const UITraitCollection& base, UIUserInterfaceStyle style);

    // The calling thread's current traits (what dynamic colours resolve
    // against): those set by the innermost Scope, else the main screen's.
    static UITraitCollectionPtr currentTraitCollection();
    static void setCurrentTraitCollection(UITraitCollectionPtr traits);
    // Makes `traits` current for the lifetime of the scope (this thread).
    class Scope {
    public:
        explicit Scope(UITraitCollectionPtr traits);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        UITraitCollectionPtr previous_;
    };

    // The style APP_INTERFACE_STYLE names (light unless "dark").
    static UIUserInterfaceStyle styleFromEnvironment();

    UIUserInterfaceStyle userInterfaceStyle() const { return style_; }
    UIUserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }
    double displayScale() const { return scale_; }
    UIUserInterfaceSizeClass horizontalSizeClass() const { return horizontal_; }
    UIUserInterfaceSizeClass verticalSizeClass() const { return vertical_; }

    // Whether a colour resolved against this and `other` could differ.
    bool hasDifferentColorAppearanceComparedToTraitCollection(const UITraitCollection* other) const;
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

private:
    UIUserInterfaceStyle style_ = UIUserInterfaceStyleUnspecified;
    UIUserInterfaceIdiom idiom_ = UIUserInterfaceIdiomUnspecified;
    double scale_ = 0;
    UIUserInterfaceSizeClass horizontal_ = UIUserInterfaceSizeClassUnspecified;
    UIUserInterfaceSizeClass vertical_ = UIUserInterfaceSizeClassUnspecified;
};
