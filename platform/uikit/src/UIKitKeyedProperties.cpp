// Key-value coding keys of the UIKit classes that nibs and storyboards set
// (appearance, text, images, per-state button values, bar items, a
// controller's view and its stacks). Registered at class load; a class that
// already declares a key keeps its own.

#include <platform_uikit/CALayer.h>
#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIProgressView.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UITableViewCell.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIVisualEffectView.h>

#include <platform_runtime/ObjCDeclare.h>

#include <functional>

namespace {

// A property over two lambdas: get(self) -> T, set(self, T). No setter: read-only.
template <class Self, class T>
void keyed(const char* name, std::function<T(Self&)> get, std::function<void(Self&, T)> set = nullptr) {
    using Traits = ObjCPropertyTraits<T>;
    std::string attributes = "T" + Traits::encoding() + (set ? ",N" : ",R,N");
    ObjCProperty::Getter getter = [get](const NSObject& o) -> Value {
        return Traits::toValue(get(const_cast<Self&>(static_cast<const Self&>(o))));
    };
    ObjCProperty::Setter setter;
    if (set) {
        setter = [set](NSObject& o, Value&& v) -> bool {
            T t{};
            if (!Traits::fromValue(std::move(v), t)) return false;
            set(static_cast<Self&>(o), std::move(t));
            return true;
        };
    }
    Self::classObject().addProperty(ObjCProperty(name, std::move(attributes), {}, std::move(getter),
                                                 std::move(setter), Traits::scalar));
}

}  // namespace

NS_CLASS_LOAD(CALayer) {
    keyed<CALayer, double>("cornerRadius", [](CALayer& l) { return l.cornerRadius(); },
                           [](CALayer& l, double v) { l.setCornerRadius(v); });
    keyed<CALayer, bool>("masksToBounds", [](CALayer& l) { return l.masksToBounds(); },
                         [](CALayer& l, bool v) { l.setMasksToBounds(v); });
    keyed<CALayer, double>("borderWidth", [](CALayer& l) { return l.borderWidth(); },
                           [](CALayer& l, double v) { l.setBorderWidth(v); });
    keyed<CALayer, UIColorPtr>("borderColor", [](CALayer& l) { return l.borderColor(); },
                               [](CALayer& l, UIColorPtr v) { l.setBorderColor(std::move(v)); });
    keyed<CALayer, double>("zPosition", [](CALayer& l) { return l.zPosition(); },
                           [](CALayer& l, double v) { l.setZPosition(v); });
}

NS_CLASS_LOAD(UIView) {
    keyed<UIView, CALayerPtr>("layer", [](UIView& v) { return v.layer(); });
    keyed<UIView, UIColorPtr>("backgroundColor", [](UIView& v) { return v.backgroundColor(); },
                              [](UIView& v, UIColorPtr c) { v.setBackgroundColor(std::move(c)); });
    keyed<UIView, UIColorPtr>("tintColor", [](UIView& v) { return v.tintColor(); },
                              [](UIView& v, UIColorPtr c) { v.setTintColor(std::move(c)); });
    keyed<UIView, bool>("clipsToBounds", [](UIView& v) { return v.clipsToBounds(); },
                        [](UIView& v, bool b) { v.setClipsToBounds(b); });
    keyed<UIView, bool>("opaque", [](UIView& v) { return v.isOpaque(); }, [](UIView& v, bool b) { v.setOpaque(b); });
    keyed<UIView, bool>("userInteractionEnabled", [](UIView& v) { return v.isUserInteractionEnabled(); },
                        [](UIView& v, bool b) { v.setUserInteractionEnabled(b); });
    keyed<UIView, int64_t>("contentMode", [](UIView& v) { return static_cast<int64_t>(v.contentMode()); },
                           [](UIView& v, int64_t m) { v.setContentMode(static_cast<UIViewContentMode>(m)); });
    keyed<UIView, uint64_t>("autoresizingMask", [](UIView& v) { return v.autoresizingMask(); },
                            [](UIView& v, uint64_t m) { v.setAutoresizingMask(m); });
    keyed<UIView, std::string>("accessibilityIdentifier", [](UIView& v) { return v.accessibilityIdentifier(); },
                               [](UIView& v, std::string s) { v.setAccessibilityIdentifier(std::move(s)); });
    keyed<UIView, std::string>("accessibilityLabel", [](UIView& v) { return v.accessibilityLabel(); },
                               [](UIView& v, std::string s) { v.setAccessibilityLabel(std::move(s)); });
}

NS_CLASS_LOAD(UILabel) {
    keyed<UILabel, UIFontPtr>("font", [](UILabel& l) { return l.font(); },
                              [](UILabel& l, UIFontPtr f) { l.setFont(std::move(f)); });
    keyed<UILabel, UIColorPtr>("textColor", [](UILabel& l) { return l.textColor(); },
                               [](UILabel& l, UIColorPtr c) { l.setTextColor(std::move(c)); });
    keyed<UILabel, UIColorPtr>("highlightedTextColor", [](UILabel& l) { return l.highlightedTextColor(); },
                               [](UILabel& l, UIColorPtr c) { l.setHighlightedTextColor(std::move(c)); });
    keyed<UILabel, NSAttributedStringPtr>("attributedText", [](UILabel& l) { return l.attributedText(); },
                                          [](UILabel& l, NSAttributedStringPtr t) { l.setAttributedText(std::move(t)); });
    keyed<UILabel, int64_t>("textAlignment", [](UILabel& l) { return static_cast<int64_t>(l.textAlignment()); },
                            [](UILabel& l, int64_t a) { l.setTextAlignment(static_cast<NSTextAlignment>(a)); });
    keyed<UILabel, int64_t>("numberOfLines", [](UILabel& l) { return l.numberOfLines(); },
                            [](UILabel& l, int64_t n) { l.setNumberOfLines(n); });
    keyed<UILabel, int64_t>("lineBreakMode", [](UILabel& l) { return static_cast<int64_t>(l.lineBreakMode()); },
                            [](UILabel& l, int64_t m) { l.setLineBreakMode(static_cast<NSLineBreakMode>(m)); });
    keyed<UILabel, bool>("adjustsFontSizeToFitWidth", [](UILabel& l) { return l.adjustsFontSizeToFitWidth(); },
                         [](UILabel& l, bool b) { l.setAdjustsFontSizeToFitWidth(b); });
    keyed<UILabel, double>("minimumScaleFactor", [](UILabel& l) { return l.minimumScaleFactor(); },
                           [](UILabel& l, double s) { l.setMinimumScaleFactor(s); });
    keyed<UILabel, bool>("enabled", [](UILabel& l) { return l.isEnabled(); },
                         [](UILabel& l, bool b) { l.setEnabled(b); });
    keyed<UILabel, bool>("highlighted", [](UILabel& l) { return l.isHighlighted(); },
                         [](UILabel& l, bool b) { l.setHighlighted(b); });
}

NS_CLASS_LOAD(UIImageView) {
    keyed<UIImageView, UIImagePtr>("highlightedImage", [](UIImageView& v) { return v.highlightedImage(); },
                                   [](UIImageView& v, UIImagePtr i) { v.setHighlightedImage(std::move(i)); });
    keyed<UIImageView, bool>("highlighted", [](UIImageView& v) { return v.isHighlighted(); },
                             [](UIImageView& v, bool b) { v.setHighlighted(b); });
}

NS_CLASS_LOAD(UIControl) {
    keyed<UIControl, bool>("enabled", [](UIControl& c) { return c.isEnabled(); },
                           [](UIControl& c, bool b) { c.setEnabled(b); });
    keyed<UIControl, bool>("selected", [](UIControl& c) { return c.isSelected(); },
                           [](UIControl& c, bool b) { c.setSelected(b); });
    keyed<UIControl, bool>("highlighted", [](UIControl& c) { return c.isHighlighted(); },
                           [](UIControl& c, bool b) { c.setHighlighted(b); });
}

// A button's per-state values through keys name the normal state's.
NS_CLASS_LOAD(UIButton) {
    keyed<UIButton, std::optional<std::string>>(
        "title", [](UIButton& b) { return b.titleForState(UIControlStateNormal); },
        [](UIButton& b, std::optional<std::string> t) { b.setTitle(std::move(t), UIControlStateNormal); });
    keyed<UIButton, UIColorPtr>("titleColor", [](UIButton& b) { return b.titleColorForState(UIControlStateNormal); },
                                [](UIButton& b, UIColorPtr c) { b.setTitleColor(std::move(c), UIControlStateNormal); });
    keyed<UIButton, UIImagePtr>("image", [](UIButton& b) { return b.imageForState(UIControlStateNormal); },
                                [](UIButton& b, UIImagePtr i) { b.setImage(std::move(i), UIControlStateNormal); });
    keyed<UIButton, UIImagePtr>(
        "backgroundImage", [](UIButton& b) { return b.backgroundImageForState(UIControlStateNormal); },
        [](UIButton& b, UIImagePtr i) { b.setBackgroundImage(std::move(i), UIControlStateNormal); });
    keyed<UIButton, std::shared_ptr<UILabel>>("titleLabel", [](UIButton& b) { return b.titleLabel(); });
    keyed<UIButton, std::shared_ptr<UIImageView>>("imageView", [](UIButton& b) { return b.imageView(); });
    keyed<UIButton, UIEdgeInsets>("contentEdgeInsets", [](UIButton& b) { return b.contentEdgeInsets(); },
                                  [](UIButton& b, UIEdgeInsets i) { b.setContentEdgeInsets(i); });
    keyed<UIButton, UIEdgeInsets>("titleEdgeInsets", [](UIButton& b) { return b.titleEdgeInsets(); },
                                  [](UIButton& b, UIEdgeInsets i) { b.setTitleEdgeInsets(i); });
    keyed<UIButton, UIEdgeInsets>("imageEdgeInsets", [](UIButton& b) { return b.imageEdgeInsets(); },
                                  [](UIButton& b, UIEdgeInsets i) { b.setImageEdgeInsets(i); });
}

NS_CLASS_LOAD(UIActivityIndicatorView) {
    keyed<UIActivityIndicatorView, bool>("hidesWhenStopped", [](UIActivityIndicatorView& v) { return v.hidesWhenStopped(); },
                                         [](UIActivityIndicatorView& v, bool b) { v.setHidesWhenStopped(b); });
    keyed<UIActivityIndicatorView, UIColorPtr>("color", [](UIActivityIndicatorView& v) { return v.color(); },
                                               [](UIActivityIndicatorView& v, UIColorPtr c) { v.setColor(std::move(c)); });
    keyed<UIActivityIndicatorView, int64_t>(
        "activityIndicatorViewStyle",
        [](UIActivityIndicatorView& v) { return static_cast<int64_t>(v.activityIndicatorViewStyle()); },
        [](UIActivityIndicatorView& v, int64_t s) {
            v.setActivityIndicatorViewStyle(static_cast<UIActivityIndicatorViewStyle>(s));
        });
}

NS_CLASS_LOAD(UIProgressView) {
    keyed<UIProgressView, UIColorPtr>("progressTintColor", [](UIProgressView& v) { return v.progressTintColor(); },
                                      [](UIProgressView& v, UIColorPtr c) { v.setProgressTintColor(std::move(c)); });
    keyed<UIProgressView, UIColorPtr>("trackTintColor", [](UIProgressView& v) { return v.trackTintColor(); },
                                      [](UIProgressView& v, UIColorPtr c) { v.setTrackTintColor(std::move(c)); });
}

NS_CLASS_LOAD(UIVisualEffectView) {
    keyed<UIVisualEffectView, std::shared_ptr<UIView>>("contentView",
                                                       [](UIVisualEffectView& v) { return v.contentView(); });
    keyed<UIVisualEffectView, std::shared_ptr<UIVisualEffect>>(
        "effect", [](UIVisualEffectView& v) { return v.effect(); },
        [](UIVisualEffectView& v, std::shared_ptr<UIVisualEffect> e) { v.setEffect(std::move(e)); });
}

NS_CLASS_LOAD(UINavigationItem) {
    keyed<UINavigationItem, std::optional<std::string>>(
        "title", [](UINavigationItem& i) { return i.title(); },
        [](UINavigationItem& i, std::optional<std::string> t) { i.setTitle(std::move(t)); });
}

NS_CLASS_LOAD(UITabBarItem) {
    keyed<UITabBarItem, std::optional<std::string>>(
        "title", [](UITabBarItem& i) { return i.title(); },
        [](UITabBarItem& i, std::optional<std::string> t) { i.setTitle(std::move(t)); });
    keyed<UITabBarItem, UIImagePtr>("image", [](UITabBarItem& i) { return i.image(); },
                                    [](UITabBarItem& i, UIImagePtr im) { i.setImage(std::move(im)); });
    keyed<UITabBarItem, int64_t>("tag", [](UITabBarItem& i) { return i.tag(); },
                                 [](UITabBarItem& i, int64_t t) { i.setTag(t); });
}

// A controller's "view" loads the view when read, as the platform's does.
NS_CLASS_LOAD(UIViewController) {
    keyed<UIViewController, UIViewPtr>("view", [](UIViewController& c) { return c.view(); },
                                       [](UIViewController& c, UIViewPtr v) { c.setView(std::move(v)); });
    keyed<UIViewController, UINavigationItemPtr>("navigationItem",
                                                 [](UIViewController& c) { return c.navigationItem(); });
    keyed<UIViewController, UITabBarItemPtr>("tabBarItem", [](UIViewController& c) { return c.tabBarItem(); },
                                             [](UIViewController& c, UITabBarItemPtr i) { c.setTabBarItem(std::move(i)); });
}

NS_CLASS_LOAD(UINavigationController) {
    keyed<UINavigationController, std::vector<UIViewControllerPtr>>(
        "viewControllers", [](UINavigationController& n) { return n.viewControllers(); },
        [](UINavigationController& n, std::vector<UIViewControllerPtr> v) { n.setViewControllers(v, false); });
}

NS_CLASS_LOAD(UITableViewCell) {
    keyed<UITableViewCell, UIViewPtr>("contentView", [](UITableViewCell& c) { return c.contentView(); });
    keyed<UITableViewCell, std::shared_ptr<UILabel>>("textLabel", [](UITableViewCell& c) { return c.textLabel(); });
    keyed<UITableViewCell, std::shared_ptr<UILabel>>("detailTextLabel",
                                                     [](UITableViewCell& c) { return c.detailTextLabel(); });
    keyed<UITableViewCell, std::shared_ptr<UIImageView>>("imageView", [](UITableViewCell& c) { return c.imageView(); });
}

NS_CLASS_LOAD(UITableView) {
    keyed<UITableView, UIViewPtr>("tableHeaderView", [](UITableView& t) { return t.tableHeaderView(); },
                                  [](UITableView& t, UIViewPtr v) { t.setTableHeaderView(std::move(v)); });
    keyed<UITableView, UIViewPtr>("tableFooterView", [](UITableView& t) { return t.tableFooterView(); },
                                  [](UITableView& t, UIViewPtr v) { t.setTableFooterView(std::move(v)); });
    keyed<UITableView, double>("sectionHeaderHeight", [](UITableView& t) { return t.sectionHeaderHeight(); },
                               [](UITableView& t, double h) { t.setSectionHeaderHeight(h); });
    keyed<UITableView, double>("sectionFooterHeight", [](UITableView& t) { return t.sectionFooterHeight(); },
                               [](UITableView& t, double h) { t.setSectionFooterHeight(h); });
}
