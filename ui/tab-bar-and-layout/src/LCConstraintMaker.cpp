#include <ui_tab_bar_and_layout/LCConstraintMaker.h>

#include <ui_tab_bar_and_layout/LCViewExtensions.h>

#include <algorithm>

LCConstraintMakerPtr LCConstraintMaker::withView(const UIViewPtr& view) {
    auto maker = std::make_shared<LCConstraintMaker>();
    maker->view_ = view;
    return maker;
}

std::vector<LCConstraintPtr> LCConstraintMaker::install() {
    if (removeExisting_)
        for (const auto& c : LCViewConstraint::installedConstraintsForView(view())) c->uninstall();
    auto snapshot = constraints_;
    for (const auto& c : snapshot) {
        c->setUpdateExisting(updateExisting_);
        c->install();
    }
    constraints_.clear();
    return snapshot;
}

void LCConstraintMaker::constraintShouldBeReplacedWithConstraint(const LCConstraintPtr& constraint,
                                                                 const LCConstraintPtr& replacement) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it != constraints_.end()) *it = replacement;
}

LCConstraintPtr LCConstraintMaker::constraintAddConstraintWithLayoutAttribute(const LCConstraintPtr& constraint,
                                                                              NSLayoutAttribute attribute) {
    auto made = std::make_shared<LCViewConstraint>(std::make_shared<LCViewAttribute>(view(), attribute));
    if (std::dynamic_pointer_cast<LCViewConstraint>(constraint)) {
        // A second attribute on a top-level constraint: both become one group in its place.
        auto composite = LCCompositeConstraint::withChildren({constraint, made});
        composite->setDelegate(asDelegate());
        constraintShouldBeReplacedWithConstraint(constraint, composite);
        return composite;
    }
    if (!constraint) {
        made->setDelegate(asDelegate());
        constraints_.push_back(made);
    }
    return made;
}

LCConstraintPtr LCConstraintMaker::addConstraintWithAttributes(LCAttributeMask mask) {
    static const NSLayoutAttribute order[] = {
        NSLayoutAttributeLeft,    NSLayoutAttributeRight,   NSLayoutAttributeTop,     NSLayoutAttributeBottom,
        NSLayoutAttributeLeading, NSLayoutAttributeTrailing, NSLayoutAttributeWidth,  NSLayoutAttributeHeight,
        NSLayoutAttributeCenterX, NSLayoutAttributeCenterY, NSLayoutAttributeBaseline};
    std::vector<LCConstraintPtr> children;
    auto view = this->view();
    for (auto attribute : order)
        if (mask & (LCAttributeMask{1} << attribute))
            children.push_back(std::make_shared<LCViewConstraint>(std::make_shared<LCViewAttribute>(view, attribute)));
    auto composite = LCCompositeConstraint::withChildren(std::move(children));
    composite->setDelegate(asDelegate());
    constraints_.push_back(composite);
    return composite;
}

std::function<LCConstraintPtr(LCAttributeMask)> LCConstraintMaker::attributes() {
    auto me = std::static_pointer_cast<LCConstraintMaker>(shared_from_this());
    return [me](LCAttributeMask mask) { return me->addConstraintWithAttributes(mask); };
}

std::function<LCConstraintPtr(const std::function<void()>&)> LCConstraintMaker::group() {
    auto me = std::static_pointer_cast<LCConstraintMaker>(shared_from_this());
    return [me](const std::function<void()>& block) -> LCConstraintPtr {
        std::size_t before = me->constraints_.size();
        if (block) block();
        std::vector<LCConstraintPtr> added(me->constraints_.begin() + static_cast<std::ptrdiff_t>(before),
                                           me->constraints_.end());
        auto composite = LCCompositeConstraint::withChildren(std::move(added));
        composite->setDelegate(me->asDelegate());
        return composite;
    };
}
