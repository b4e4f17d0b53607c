#include "TraitPropagation.h"

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UITraitCollection.h>

namespace uikit_detail {

void screenTraitsDidChange(const std::shared_ptr<UITraitCollection>& previous) {
    (void)previous;
    // Windows take the change down their trees once they exist.
}

}  // namespace uikit_detail
