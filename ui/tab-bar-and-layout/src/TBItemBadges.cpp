#include <ui_tab_bar_and_layout/TBItemBadges.h>

#include <ui_tab_bar_and_layout/TBControlExtension.h>
#include <ui_tab_bar_and_layout/TBTabSubviews.h>

#include <platform_runtime/ObjCRuntime.h>

namespace {

// The tab bar item's badge view of the button, shown or hidden around the custom badge.
void setPlatformBadgeHidden(const UITabBarItem& item, bool hidden) {
    if (auto button = tb_tabButton(item))
        if (auto badge = tb_tabBadgeView(button)) badge->setHidden(hidden);
}

template <class F>
auto onHost(const UIViewPtr& host, F f, decltype(f(std::declval<UIView&>())) fallback = {}) {
    return host ? f(*host) : fallback;
}

[[maybe_unused]] const bool swizzledAtLoad = (tb_swizzleSetBadgeValue(), true);

}  // namespace

std::shared_ptr<UIControl> tb_tabButton(const UITabBarItem& item) {
    return std::dynamic_pointer_cast<UIControl>(item.itemView());
}

UIViewPtr tb_getActualBadgeSuperView(const UITabBarItem& item) {
    auto button = tb_tabButton(item);
    if (!button) return nullptr;
    UIViewPtr image = tb_tabImageView(button);
    UIViewPtr motion = tb_motionAnimationView(*button);
    if (motion) motion->setClipsToBounds(false);
    if (image && (!motion || !tb_isInvisiable(*image))) return image;
    if (motion && !tb_isInvisiable(*motion)) return motion;
    return image;
}

UIViewPtr tb_getActualBadgeSuperView(const UIBarButtonItem& item) { return item.itemView(); }

bool tb_isShowBadge(const UITabBarItem& item) {
    return onHost(tb_getActualBadgeSuperView(item), [](UIView& v) { return tb_isShowBadge(v); });
}
void tb_showBadge(const UITabBarItem& item) { tb_showBadgeValue(item, std::string(), 0); }
void tb_showBadgeValue(const UITabBarItem& item, const std::optional<std::string>& value, uint64_t type) {
    if (auto host = tb_getActualBadgeSuperView(item)) tb_showBadgeValue(*host, value, type);
    setPlatformBadgeHidden(item, true);
}
void tb_clearBadge(const UITabBarItem& item) {
    if (auto host = tb_getActualBadgeSuperView(item)) tb_clearBadge(*host);
    setPlatformBadgeHidden(item, false);
}
void tb_resumeBadge(const UITabBarItem& item) {
    if (auto host = tb_getActualBadgeSuperView(item)) tb_resumeBadge(*host);
    setPlatformBadgeHidden(item, true);
}
bool tb_isPauseBadge(const UITabBarItem& item) {
    return onHost(tb_getActualBadgeSuperView(item), [](UIView& v) { return tb_isPauseBadge(v); });
}

bool tb_isShowBadge(const UIBarButtonItem& item) {
    return onHost(tb_getActualBadgeSuperView(item), [](UIView& v) { return tb_isShowBadge(v); });
}
void tb_showBadge(const UIBarButtonItem& item) {
    if (auto host = tb_getActualBadgeSuperView(item)) tb_showBadge(*host);
}
void tb_showBadgeValue(const UIBarButtonItem& item, const std::optional<std::string>& value, uint64_t type) {
    if (auto host = tb_getActualBadgeSuperView(item)) tb_showBadgeValue(*host, value, type);
}
void tb_clearBadge(const UIBarButtonItem& item) {
    if (auto host = tb_getActualBadgeSuperView(item)) tb_clearBadge(*host);
}
void tb_resumeBadge(const UIBarButtonItem& item) {
    if (auto host = tb_getActualBadgeSuperView(item)) tb_resumeBadge(*host);
}
bool tb_isPauseBadge(const UIBarButtonItem& item) {
    return onHost(tb_getActualBadgeSuperView(item), [](UIView& v) { return tb_isPauseBadge(v); });
}

bool TBSwizzleInstanceMethod(ObjCClass& cls, const std::string& first, const std::string& second) {
    (void)cls.exchangeInstanceMethods(first, second);
    return true;
}

void tb_swizzleSetBadgeValue() {
    static bool done = false;
    if (done) return;
    ObjCClass& cls = UITabBarItem::classObject();
    // The platform registers its setter at load too; until it has, try again later.
    if (!cls.instanceMethod("setBadgeValue:")) return;
    done = true;
    cls.addMethod("tb_setBadgeValue:",
                  makeInstanceImp<void(std::optional<std::string>)>([](NSObject& self, std::optional<std::string> value) {
                      auto& item = static_cast<UITabBarItem&>(self);
                      if (auto button = tb_tabButton(item)) tb_removeTabBadgePoint(*button);
                      tb_clearBadge(item);
                      // After the exchange the platform's own setter answers to this name.
                      invokeMethod<void(std::optional<std::string>)>(self, "tb_setBadgeValue:", std::move(value));
                  }),
                  "v24@0:8@16");
    TBSwizzleInstanceMethod(cls, "setBadgeValue:", "tb_setBadgeValue:");
}
