#include <platform_uikit/UITraitCollection.h>

#include <platform_uikit/UIScreen.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace {
thread_local UITraitCollectionPtr tlsCurrent;
}

UITraitCollection::UITraitCollection(UIUserInterfaceStyle style, UIUserInterfaceIdiom idiom, double scale,
                                     UIUserInterfaceSizeClass horizontal, UIUserInterfaceSizeClass vertical)
    : style_(style), idiom_(idiom), scale_(scale), horizontal_(horizontal), vertical_(vertical) {}

UITraitCollectionPtr UITraitCollection::traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyle style) {
    auto traits = std::make_shared<UITraitCollection>();
    traits->style_ = style;
    return traits;
}

UITraitCollectionPtr UITraitCollection::withStyle(const UITraitCollection& base, UIUserInterfaceStyle style) {
    return std::make_shared<UITraitCollection>(style, base.idiom_, base.scale_, base.horizontal_, base.vertical_);
}

UITraitCollectionPtr UITraitCollection::currentTraitCollection() {
    if (tlsCurrent) return tlsCurrent;
    return UIScreen::mainScreen()->traitCollection();
}

void UITraitCollection::setCurrentTraitCollection(UITraitCollectionPtr traits) { tlsCurrent = std::move(traits); }

UITraitCollection::Scope::Scope(UITraitCollectionPtr traits) : previous_(tlsCurrent) {
    tlsCurrent = std::move(traits);
}

UITraitCollection::Scope::~Scope() { tlsCurrent = std::move(previous_); }

UIUserInterfaceStyle UITraitCollection::styleFromEnvironment() {
    const char* style = std::getenv(kStyleEnvironmentVariable);
    return style && std::string(style) == "dark" ? UIUserInterfaceStyleDark : UIUserInterfaceStyleLight;
}

bool UITraitCollection::hasDifferentColorAppearanceComparedToTraitCollection(const UITraitCollection* other) const {
    return !other || other->style_ != style_;
}

bool UITraitCollection::isEqual(const NSObject& other) const {
    auto* o = dynamic_cast<const UITraitCollection*>(&other);
    return o && o->style_ == style_ && o->idiom_ == idiom_ && o->scale_ == scale_ && o->horizontal_ == horizontal_ &&
           o->vertical_ == vertical_;
}

std::size_t UITraitCollection::hash() const {
    return std::hash<double>()(scale_) ^ (static_cast<std::size_t>(style_) << 1) ^
           (static_cast<std::size_t>(idiom_ + 1) << 3) ^ (static_cast<std::size_t>(horizontal_) << 5);
}
