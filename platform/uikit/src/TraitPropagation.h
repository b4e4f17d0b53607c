#pragma once
// How a change of the screen's traits reaches the windows and their views.

#include <memory>

class UITraitCollection;

namespace uikit_detail {
// Tells every window of the application, top down, that its traits changed
// from `previous`. Main thread.
void screenTraitsDidChange(const std::shared_ptr<UITraitCollection>& previous);
}  // namespace uikit_detail
