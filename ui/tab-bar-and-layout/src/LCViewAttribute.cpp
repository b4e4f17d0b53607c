#include <ui_tab_bar_and_layout/LCViewAttribute.h>

bool LCViewAttribute::isEqual(const NSObject& other) const {
    if (&other == this) return true;
    auto* attribute = dynamic_cast<const LCViewAttribute*>(&other);
    if (!attribute) return false;
    auto mine = view_.lock(), theirs = attribute->view_.lock();
    return mine == theirs && attribute_ == attribute->attribute_;
}

std::size_t LCViewAttribute::hash() const {
    auto view = view_.lock();
    uint64_t h = view ? static_cast<uint64_t>(view->hash()) : 0;
    h = (h << 32) | (h >> 32);  // the two halves exchanged
    return static_cast<std::size_t>(h ^ static_cast<uint64_t>(attribute_));
}
