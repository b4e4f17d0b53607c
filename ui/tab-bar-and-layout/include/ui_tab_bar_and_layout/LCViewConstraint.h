#pragma once
// One constraint between a first view attribute and an optional second one,
// with relation, multiplier, constant, priority and key. `install` makes (or,
// with updateExisting, adopts) one platform constraint and adds it to the
// closest common superview; `uninstall` switches it off. Constant setters
// also move the platform constraint it holds.
//
// Main thread. The platform constraint and the installed view are held
// weakly: the view that holds the platform constraint owns it.

#include <ui_tab_bar_and_layout/LCConstraint.h>
#include <ui_tab_bar_and_layout/LCLayoutConstraint.h>
#include <ui_tab_bar_and_layout/LCViewAttribute.h>

#include <vector>

class LCViewConstraint;
using LCViewConstraintPtr = std::shared_ptr<LCViewConstraint>;

class LCViewConstraint : public LCConstraint {
    NS_CLASS(LCViewConstraint, LCConstraint)
public:
    // initWithFirstViewAttribute:
    explicit LCViewConstraint(LCViewAttributePtr first) : first_(std::move(first)) {}

    // A snapshot of the view's installed set (order unspecified).
    static std::vector<LCViewConstraintPtr> installedConstraintsForView(const UIViewPtr& view);

    LCConstraintPtr addConstraintWithLayoutAttribute(NSLayoutAttribute attribute) override;
    DoubleStep multipliedBy() override;
    DoubleStep dividedBy() override;
    std::function<LCConstraintPtr(float)> priority() override;
    std::function<LCConstraintPtr(const Value&, NSLayoutRelation)> equalToWithRelation() override;
    ValueStep key() override;
    void setInsets(UIEdgeInsets insets) override;
    void setInset(double inset) override;
    void setSizeOffset(CGSize offset) override;
    void setCenterOffset(CGPoint offset) override;
    void setOffset(double offset) override;
    void activate() override { install(); }
    void deactivate() override { uninstall(); }
    void install() override;
    void uninstall() override;

    // Stores the constant and sets it on the platform constraint held.
    void setLayoutConstant(double constant);
    void setLayoutRelation(NSLayoutRelation relation) { relation_ = relation; }
    // A view, a LCViewAttribute or a boxed value (→ constant); anything else is ignored.
    void setSecondViewAttribute(const Value& target);
    bool supportsActiveProperty() const;
    bool isActive() const;
    bool hasBeenInstalled() const;
    // The newest builder-made constraint on the installed view equal to this one but for the constant.
    LCLayoutConstraintPtr layoutConstraintSimilarTo(const LCLayoutConstraint& constraint) const;
    // Shares the first attribute; copies constant, relation, priority, multiplier and delegate.
    LCViewConstraintPtr copy() const;

    const LCViewAttributePtr& firstViewAttribute() const { return first_; }
    const LCViewAttributePtr& secondViewAttribute() const { return second_; }
    float layoutPriority() const { return priority_; }
    NSLayoutRelation layoutRelation() const { return relation_; }
    double layoutMultiplier() const { return multiplier_; }
    double layoutConstant() const { return constant_; }
    const Value& lc_key() const { return key_; }
    void setLc_key(Value key) { key_ = std::move(key); }
    UIViewPtr installedView() const { return installedView_.lock(); }
    LCLayoutConstraintPtr layoutConstraint() const { return layoutConstraint_.lock(); }

private:
    LCViewAttributePtr first_, second_;
    float priority_ = UILayoutPriorityRequired;
    std::weak_ptr<UIView> installedView_;
    std::weak_ptr<LCLayoutConstraint> layoutConstraint_;
    NSLayoutRelation relation_ = NSLayoutRelationEqual;
    double multiplier_ = 1.0;
    double constant_ = 0;
    Value key_;
};
