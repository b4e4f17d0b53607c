#pragma once
// A group of constraints that passes every chain step to each child.
//
// Main thread. Holds its children; each child's delegate is the composite.

#include <ui_tab_bar_and_layout/LCConstraint.h>

#include <vector>

class LCCompositeConstraint;
using LCCompositeConstraintPtr = std::shared_ptr<LCCompositeConstraint>;

class LCCompositeConstraint : public LCConstraint, public LCConstraintDelegate {
    NS_CLASS(LCCompositeConstraint, LCConstraint)
public:
    // initWithChildren: (sets every child's delegate to the composite).
    static LCCompositeConstraintPtr withChildren(std::vector<LCConstraintPtr> children);

    LCConstraintPtr addConstraintWithLayoutAttribute(NSLayoutAttribute attribute) override;
    DoubleStep multipliedBy() override;
    DoubleStep dividedBy() override;
    std::function<LCConstraintPtr(float)> priority() override;
    std::function<LCConstraintPtr(const Value&, NSLayoutRelation)> equalToWithRelation() override;
    // Its own key k; the children get "k[0]", "k[1]", ...
    ValueStep key() override;
    void setInsets(UIEdgeInsets insets) override;
    void setInset(double inset) override;
    void setSizeOffset(CGSize offset) override;
    void setCenterOffset(CGPoint offset) override;
    void setOffset(double offset) override;
    void activate() override;
    void deactivate() override;
    void install() override;
    void uninstall() override;

    void constraintShouldBeReplacedWithConstraint(const LCConstraintPtr& constraint,
                                                  const LCConstraintPtr& replacement) override;
    LCConstraintPtr constraintAddConstraintWithLayoutAttribute(const LCConstraintPtr& constraint,
                                                               NSLayoutAttribute attribute) override;

    const std::vector<LCConstraintPtr>& childConstraints() const { return children_; }
    const Value& lc_key() const { return key_; }

private:
    std::vector<LCConstraintPtr> children_;
    Value key_;
};
