// The controller's top and bottom layout guides.
#include <platform_uikit/UIViewController.h>

namespace {

const std::shared_ptr<UILayoutGuide>& guideFor(std::shared_ptr<UILayoutGuide>& slot, UILayoutGuide::Kind kind,
                                               const UIViewPtr& view) {
    if (!slot || slot->owningView() != view) slot = std::make_shared<UILayoutGuide>(kind, view);
    return slot;
}

}  // namespace

const std::shared_ptr<UILayoutGuide>& UIViewController::topLayoutGuide() {
    return guideFor(topGuide_, UILayoutGuide::Kind::TopLayoutGuide, view());
}

const std::shared_ptr<UILayoutGuide>& UIViewController::bottomLayoutGuide() {
    return guideFor(bottomGuide_, UILayoutGuide::Kind::BottomLayoutGuide, view());
}
