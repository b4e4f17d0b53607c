#include "TraitPropagation.h"

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UITraitCollection.h>
#include <platform_uikit/UIWindow.h>

#include "EndOfTurnPass.h"

namespace uikit_detail {

void screenTraitsDidChange(const std::shared_ptr<UITraitCollection>& previous) {
    if (!previous) return;
    for (auto& window : UIApplication::sharedApplication()->windows()) propagateTraitChange(*window, *previous);
}

}  // namespace uikit_detail
