// UIView's constraint API; the engine is in LayoutEngine.
#include "layout/LayoutEngine.h"

#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UILayoutGuide.h>
#include <platform_uikit/UIView.h>

#include <algorithm>

using uikit_layout::LayoutEngine;
using uikit_layout::ViewLayoutState;

ViewLayoutState& UIView::layoutState() const {
    auto& slot = const_cast<UIView*>(this)->layout_;
    if (!slot) {
        slot.reset(new ViewLayoutState);
        slot->view = const_cast<UIView*>(this);
    }
    return *slot;
}

const std::vector<NSLayoutConstraintPtr>& UIView::constraints() const {
    static const std::vector<NSLayoutConstraintPtr> none;
    return layout_ ? layout_->constraints : none;
}

void UIView::addConstraint(const NSLayoutConstraintPtr& constraint) {
    if (!constraint) return;
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    if (auto holder = constraint->installedView()) {
        if (holder == self) return;
        holder->removeConstraint(constraint);
    }
    layoutState().constraints.push_back(constraint);
    constraint->installedView_ = self;
    LayoutEngine::shared().constraintAdded(*this, constraint);
}

void UIView::addConstraints(const std::vector<NSLayoutConstraintPtr>& constraints) {
    for (const auto& c : constraints) addConstraint(c);
}

void UIView::removeConstraint(const NSLayoutConstraintPtr& constraint) {
    if (!constraint || !layout_) return;
    auto& list = layout_->constraints;
    auto it = std::find(list.begin(), list.end(), constraint);
    if (it == list.end()) return;
    auto keep = constraint;  // the list may hold the last reference
    list.erase(it);
    LayoutEngine::shared().constraintRemoved(*keep);
    keep->installedView_.reset();
}

void UIView::removeConstraints(const std::vector<NSLayoutConstraintPtr>& constraints) {
    for (const auto& c : constraints) removeConstraint(c);
}

bool UIView::translatesAutoresizingMaskIntoConstraints() const { return !layout_ || layout_->translates; }

void UIView::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    auto& state = layoutState();
    if (state.translates == translates) return;
    state.translates = translates;
    LayoutEngine::shared().translationChanged(state);
    setNeedsLayout();
    if (auto parent = superview()) parent->setNeedsLayout();
}

float UIView::contentHuggingPriorityForAxis(int64_t axis) const { return layoutState().hugging[axis ? 1 : 0]; }
float UIView::contentCompressionResistancePriorityForAxis(int64_t axis) const {
    return layoutState().compression[axis ? 1 : 0];
}

void UIView::setContentHuggingPriority(float priority, int64_t axis) {
    auto& state = layoutState();
    if (state.hugging[axis ? 1 : 0] == priority) return;
    state.hugging[axis ? 1 : 0] = priority;
    LayoutEngine::shared().translationChanged(state);  // re-enters the intrinsic constraints at their new weights
}

void UIView::setContentCompressionResistancePriority(float priority, int64_t axis) {
    auto& state = layoutState();
    if (state.compression[axis ? 1 : 0] == priority) return;
    state.compression[axis ? 1 : 0] = priority;
    LayoutEngine::shared().translationChanged(state);
}

void UIView::invalidateIntrinsicContentSize() {
    if (layout_) LayoutEngine::shared().intrinsicSizeInvalidated(*layout_);
}

void UIView::setNeedsUpdateConstraints() {
    layoutState().needsUpdateConstraints = true;
    setNeedsLayout();
}

bool UIView::needsUpdateConstraints() const { return layout_ && layout_->needsUpdateConstraints; }

void UIView::updateConstraintsIfNeeded() {
    for (const auto& sub : subviews()) sub->updateConstraintsIfNeeded();
    if (layout_ && layout_->needsUpdateConstraints) {
        layout_->needsUpdateConstraints = false;
        updateConstraints();
    }
}

void UIView::updateConstraints() {}

const std::shared_ptr<UILayoutGuide>& UIView::safeAreaLayoutGuide() {
    auto& state = layoutState();
    if (!state.safeArea)
        state.safeArea = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::SafeArea,
                                                         std::static_pointer_cast<UIView>(shared_from_this()));
    return state.safeArea;
}
