#include <platform_uikit/UIScreen.h>

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UITraitCollection.h>

#include "TraitPropagation.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

std::mutex specMutex;
std::optional<std::string> testSpec;

// Digits with an optional fraction ("375", "2.5") at the front of `rest`, which moves past them.
std::optional<double> takeNumber(std::string_view& rest) {
    auto digits = [&rest](std::size_t from) {
        std::size_t n = from;
        while (n < rest.size() && std::isdigit(static_cast<unsigned char>(rest[n]))) ++n;
        return n;
    };
    std::size_t end = digits(0);
    if (end == 0) return std::nullopt;
    if (end < rest.size() && rest[end] == '.') {
        std::size_t fraction = digits(end + 1);
        if (fraction == end + 1) return std::nullopt;
        end = fraction;
    }
    const double value = std::strtod(std::string(rest.substr(0, end)).c_str(), nullptr);
    rest.remove_prefix(end);
    // Too many digits give infinity: no screen has that size.
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

bool takeChar(std::string_view& rest, char c) {
    if (rest.empty() || rest.front() != c) return false;
    rest.remove_prefix(1);
    return true;
}

}  // namespace

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
    static auto* screen = new std::shared_ptr<UIScreen>(std::make_shared<UIScreen>());
    return *screen;
}

std::optional<UIScreen::Spec> UIScreen::parseSpec(const std::string& text) {
    // "<width>x<height>@<scale>", blanks around it allowed.
    std::string_view rest(text);
    auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    while (!rest.empty() && isBlank(rest.back())) rest.remove_suffix(1);
    auto width = takeNumber(rest);
    if (!width || !takeChar(rest, 'x')) return std::nullopt;
    auto height = takeNumber(rest);
    if (!height || !takeChar(rest, '@')) return std::nullopt;
    auto scale = takeNumber(rest);
    if (!scale || !rest.empty()) return std::nullopt;
    Spec spec{*width, *height, *scale};
    if (spec.width <= 0 || spec.height <= 0 || spec.scale <= 0) return std::nullopt;
    return spec;
}

void UIScreen::setMainScreenSpecForTesting(std::optional<std::string> spec) {
    {
        std::lock_guard lock(specMutex);
        testSpec = std::move(spec);
    }
    auto screen = mainScreen();
    std::lock_guard lock(screen->m_);
    screen->loaded_ = false;
}

void UIScreen::loadLocked() const {
    if (loaded_) return;
    std::string text = kDefaultScreen;
    {
        std::lock_guard lock(specMutex);
        if (testSpec) {
            text = *testSpec;
        } else if (const char* env = std::getenv(kScreenEnvironmentVariable)) {
            text = env;
        }
    }
    auto spec = parseSpec(text);
    auto& self = const_cast<UIScreen&>(*this);
    self.spec_ = spec ? *spec : *parseSpec(kDefaultScreen);
    if (style_ == UIUserInterfaceStyleUnspecified) self.style_ = UITraitCollection::styleFromEnvironment();
    self.loaded_ = true;
}

CGRect UIScreen::bounds() const {
    std::lock_guard lock(m_);
    loadLocked();
    return CGRectMake(0, 0, spec_.width, spec_.height);
}

double UIScreen::scale() const {
    std::lock_guard lock(m_);
    loadLocked();
    return spec_.scale;
}

CGRect UIScreen::nativeBounds() const {
    std::lock_guard lock(m_);
    loadLocked();
    return CGRectMake(0, 0, spec_.width * spec_.scale, spec_.height * spec_.scale);
}

double UIScreen::statusBarHeight() const { return bounds().size.height >= 812 ? 44 : 20; }

UIEdgeInsets UIScreen::safeAreaInsets() const {
    bool tall = bounds().size.height >= 812;
    return UIEdgeInsetsMake(tall ? 44 : 20, 0, tall ? 34 : 0, 0);
}

std::shared_ptr<UITraitCollection> UIScreen::traitCollection() const {
    // The idiom follows the environment, so it is read each time; a collection is immutable,
    // so the last one serves again while nothing it was made from has changed.
    auto idiom = UIDevice::currentDevice()->userInterfaceIdiom();
    std::lock_guard lock(m_);
    loadLocked();
    const auto style = static_cast<UIUserInterfaceStyle>(style_);
    if (traits_ && traits_->userInterfaceStyle() == style && traits_->userInterfaceIdiom() == idiom &&
        traits_->displayScale() == spec_.scale)
        return traits_;
    bool pad = idiom == UIUserInterfaceIdiomPad;
    traits_ = std::make_shared<UITraitCollection>(style, idiom, spec_.scale,
                                                  pad ? UIUserInterfaceSizeClassRegular : UIUserInterfaceSizeClassCompact,
                                                  UIUserInterfaceSizeClassRegular);
    return traits_;
}

void UIScreen::setUserInterfaceStyle(int64_t style) {
    if (style != UIUserInterfaceStyleLight && style != UIUserInterfaceStyleDark) return;
    auto previous = traitCollection();
    {
        std::lock_guard lock(m_);
        if (style_ == style) return;
        style_ = style;
    }
    uikit_detail::screenTraitsDidChange(previous);
}
