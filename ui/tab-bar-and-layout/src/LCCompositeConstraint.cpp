#include <ui_tab_bar_and_layout/LCCompositeConstraint.h>

#include <platform_foundation/NSStringFormat.h>

#include <algorithm>

LCCompositeConstraintPtr LCCompositeConstraint::withChildren(std::vector<LCConstraintPtr> children) {
    auto composite = std::make_shared<LCCompositeConstraint>();
    composite->children_ = std::move(children);
    std::shared_ptr<LCConstraintDelegate> delegate = composite;
    for (const auto& child : composite->children_) child->setDelegate(delegate);
    return composite;
}

LCConstraintPtr LCCompositeConstraint::addConstraintWithLayoutAttribute(NSLayoutAttribute attribute) {
    (void)constraintAddConstraintWithLayoutAttribute(self(), attribute);
    return self();
}

LCConstraint::DoubleStep LCCompositeConstraint::multipliedBy() {
    auto me = self();
    return [me, this](double m) {
        for (const auto& child : children_) child->multipliedBy()(m);
        return me;
    };
}

LCConstraint::DoubleStep LCCompositeConstraint::dividedBy() {
    auto me = self();
    return [me, this](double d) {
        for (const auto& child : children_) child->dividedBy()(d);
        return me;
    };
}

std::function<LCConstraintPtr(float)> LCCompositeConstraint::priority() {
    auto me = self();
    return [me, this](float p) {
        for (const auto& child : children_) child->priority()(p);
        return me;
    };
}

std::function<LCConstraintPtr(const Value&, NSLayoutRelation)> LCCompositeConstraint::equalToWithRelation() {
    auto me = self();
    return [me, this](const Value& target, NSLayoutRelation relation) {
        // A child may replace itself here (a list target), so go over a snapshot.
        auto snapshot = children_;
        for (const auto& child : snapshot) child->equalToWithRelation()(target, relation);
        return me;
    };
}

LCConstraint::ValueStep LCCompositeConstraint::key() {
    auto me = self();
    return [me, this](const Value& key) {
        key_ = key;
        for (std::size_t i = 0; i < children_.size(); ++i)
            children_[i]->key()(Value(NSStringWithFormat("%@[%d]", key, static_cast<int>(i))));
        return me;
    };
}

void LCCompositeConstraint::setInsets(UIEdgeInsets insets) {
    for (const auto& child : children_) child->setInsets(insets);
}
void LCCompositeConstraint::setInset(double inset) {
    for (const auto& child : children_) child->setInset(inset);
}
void LCCompositeConstraint::setSizeOffset(CGSize offset) {
    for (const auto& child : children_) child->setSizeOffset(offset);
}
void LCCompositeConstraint::setCenterOffset(CGPoint offset) {
    for (const auto& child : children_) child->setCenterOffset(offset);
}
void LCCompositeConstraint::setOffset(double offset) {
    for (const auto& child : children_) child->setOffset(offset);
}
void LCCompositeConstraint::activate() {
    for (const auto& child : children_) child->activate();
}
void LCCompositeConstraint::deactivate() {
    for (const auto& child : children_) child->deactivate();
}
void LCCompositeConstraint::install() {
    for (const auto& child : children_) {
        child->setUpdateExisting(updateExisting());
        child->install();
    }
}
void LCCompositeConstraint::uninstall() {
    for (const auto& child : children_) child->uninstall();
}

void LCCompositeConstraint::constraintShouldBeReplacedWithConstraint(const LCConstraintPtr& constraint,
                                                                     const LCConstraintPtr& replacement) {
    auto it = std::find(children_.begin(), children_.end(), constraint);
    if (it != children_.end()) *it = replacement;
}

LCConstraintPtr LCCompositeConstraint::constraintAddConstraintWithLayoutAttribute(const LCConstraintPtr&,
                                                                                  NSLayoutAttribute attribute) {
    auto delegate = this->delegate();
    if (!delegate) return nullptr;
    auto made = delegate->constraintAddConstraintWithLayoutAttribute(self(), attribute);
    if (!made) return nullptr;
    made->setDelegate(std::static_pointer_cast<LCCompositeConstraint>(self()));
    children_.push_back(made);
    return made;
}
