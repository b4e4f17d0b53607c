#pragma once
// The chainable constraint: attribute steps, one relation step, then
// modifiers in any order; every step answers the constraint the chain
// continues with (a different object when a step turns one constraint into a
// group). Steps that take a value answer a closure that takes it. The
// abstract operations raise NSInternalInconsistencyException ("You must
// override %@ in a subclass.") unless a subclass provides them.
//
// Main thread. Closures keep their constraint alive; the delegate is weak.

#include <platform_uikit/NSLayoutConstraint.h>

#include <platform_runtime/Value.h>

#include <functional>
#include <memory>

class LCConstraint;
using LCConstraintPtr = std::shared_ptr<LCConstraint>;

// Answers chain steps that add an attribute, and replaces a constraint in its list.
class LCConstraintDelegate {
public:
    virtual ~LCConstraintDelegate() = default;
    virtual void constraintShouldBeReplacedWithConstraint(const LCConstraintPtr& constraint,
                                                          const LCConstraintPtr& replacement) = 0;
    virtual LCConstraintPtr constraintAddConstraintWithLayoutAttribute(const LCConstraintPtr& constraint,
                                                                       NSLayoutAttribute attribute) = 0;
};

class LCConstraint : public NSObject {
    NS_CLASS(LCConstraint, NSObject)
public:
    using Step = std::function<LCConstraintPtr()>;
    using ValueStep = std::function<LCConstraintPtr(const Value&)>;
    using DoubleStep = std::function<LCConstraintPtr(double)>;

    LCConstraint() = default;

    // --- relation (a number, a point/size/insets value, a view, a LCViewAttribute, or a list of them) ---
    ValueStep equalTo() { return relationStep(NSLayoutRelationEqual); }
    ValueStep lc_equalTo() { return relationStep(NSLayoutRelationEqual); }
    ValueStep greaterThanOrEqualTo() { return relationStep(NSLayoutRelationGreaterThanOrEqual); }
    ValueStep lc_greaterThanOrEqualTo() { return relationStep(NSLayoutRelationGreaterThanOrEqual); }
    ValueStep lessThanOrEqualTo() { return relationStep(NSLayoutRelationLessThanOrEqual); }
    ValueStep lc_lessThanOrEqualTo() { return relationStep(NSLayoutRelationLessThanOrEqual); }

    // --- modifiers ---
    Step priorityLow();
    Step priorityMedium();
    Step priorityHigh();
    std::function<LCConstraintPtr(UIEdgeInsets)> insets();
    DoubleStep inset();
    std::function<LCConstraintPtr(CGSize)> sizeOffset();
    std::function<LCConstraintPtr(CGPoint)> centerOffset();
    DoubleStep offset();
    // The same as offset.
    DoubleStep lc_offset() { return offset(); }
    ValueStep valueOffset();
    // By the value's kind: a number → offset, a point → centre offset, a size
    // → size offset, edge insets → insets; anything else changes nothing.
    void setLayoutConstantWithValue(const Value& value);

    // Words for readability; answer the receiver.
    LCConstraintPtr with() { return self(); }
    LCConstraintPtr and_() { return self(); }

    // --- attributes chained onto a constraint ---
    virtual LCConstraintPtr addConstraintWithLayoutAttribute(NSLayoutAttribute attribute);
    LCConstraintPtr left() { return addConstraintWithLayoutAttribute(NSLayoutAttributeLeft); }
    LCConstraintPtr top() { return addConstraintWithLayoutAttribute(NSLayoutAttributeTop); }
    LCConstraintPtr right() { return addConstraintWithLayoutAttribute(NSLayoutAttributeRight); }
    LCConstraintPtr bottom() { return addConstraintWithLayoutAttribute(NSLayoutAttributeBottom); }
    LCConstraintPtr leading() { return addConstraintWithLayoutAttribute(NSLayoutAttributeLeading); }
    LCConstraintPtr trailing() { return addConstraintWithLayoutAttribute(NSLayoutAttributeTrailing); }
    LCConstraintPtr width() { return addConstraintWithLayoutAttribute(NSLayoutAttributeWidth); }
    LCConstraintPtr height() { return addConstraintWithLayoutAttribute(NSLayoutAttributeHeight); }
    LCConstraintPtr centerX() { return addConstraintWithLayoutAttribute(NSLayoutAttributeCenterX); }
    LCConstraintPtr centerY() { return addConstraintWithLayoutAttribute(NSLayoutAttributeCenterY); }
    LCConstraintPtr baseline() { return addConstraintWithLayoutAttribute(NSLayoutAttributeBaseline); }

    // --- abstract ---
    virtual DoubleStep multipliedBy();
    virtual DoubleStep dividedBy();
    virtual std::function<LCConstraintPtr(float)> priority();
    virtual std::function<LCConstraintPtr(const Value&, NSLayoutRelation)> equalToWithRelation();
    // A debugging key, shown by constraint descriptions.
    virtual ValueStep key();
    virtual void setInsets(UIEdgeInsets insets);
    virtual void setInset(double inset);
    virtual void setSizeOffset(CGSize offset);
    virtual void setCenterOffset(CGPoint offset);
    virtual void setOffset(double offset);
    virtual void activate();
    virtual void deactivate();
    virtual void install();
    virtual void uninstall();

    bool updateExisting() const { return updateExisting_; }
    void setUpdateExisting(bool on) { updateExisting_ = on; }
    std::shared_ptr<LCConstraintDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<LCConstraintDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    LCConstraintPtr self() { return std::static_pointer_cast<LCConstraint>(shared_from_this()); }
    [[noreturn]] void mustOverride(const char* selector) const;

private:
    ValueStep relationStep(NSLayoutRelation relation);
    bool updateExisting_ = false;
    std::weak_ptr<LCConstraintDelegate> delegate_;
};
