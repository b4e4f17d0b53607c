#pragma once
// A layout constraint: first item's attribute  relation  multiplier × second
// item's attribute + constant, at a priority. Items are views or layout
// guides, held weakly. A constraint is active while a view holds it in its
// `constraints` list; the layout engine then keeps it satisfied (required,
// priority 1000) or as close as its priority allows.
//
// `description` runs through the class's exchangeable "description" slot.
// Main thread.

#include <platform_runtime/ObjCDeclare.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class UIView;

enum NSLayoutAttribute : int64_t {
    NSLayoutAttributeNotAnAttribute = 0,
    NSLayoutAttributeLeft = 1,
    NSLayoutAttributeRight = 2,
    NSLayoutAttributeTop = 3,
    NSLayoutAttributeBottom = 4,
    NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6,
    NSLayoutAttributeWidth = 7,
    NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,
    NSLayoutAttributeCenterY = 10,
    NSLayoutAttributeLastBaseline = 11,
    NSLayoutAttributeBaseline = NSLayoutAttributeLastBaseline,
};

enum NSLayoutRelation : int64_t {
    NSLayoutRelationLessThanOrEqual = -1,
    NSLayoutRelationEqual = 0,
    NSLayoutRelationGreaterThanOrEqual = 1,
};

enum UILayoutConstraintAxis : int64_t {
    UILayoutConstraintAxisHorizontal = 0,
    UILayoutConstraintAxisVertical = 1,
};

using UILayoutPriority = float;
inline constexpr UILayoutPriority UILayoutPriorityRequired = 1000;
inline constexpr UILayoutPriority UILayoutPriorityDefaultHigh = 750;
inline constexpr UILayoutPriority UILayoutPriorityDefaultLow = 250;
inline constexpr UILayoutPriority UILayoutPriorityFittingSizeLevel = 50;

namespace uikit_layout {
class LayoutEngine;
}

class NSLayoutConstraint : public NSObject {
    NS_CLASS(NSLayoutConstraint, NSObject)
public:
    NSLayoutConstraint() = default;
    ~NSLayoutConstraint() override;

    // Raises NSInvalidArgumentException for a non-finite multiplier or
    // constant, a location attribute with multiplier 0 or without second
    // item, or a location paired with a size.
    static std::shared_ptr<NSLayoutConstraint> constraintWithItem(const std::shared_ptr<NSObject>& item,
                                                                  NSLayoutAttribute attribute,
                                                                  NSLayoutRelation relation,
                                                                  const std::shared_ptr<NSObject>& toItem,
                                                                  NSLayoutAttribute toAttribute, double multiplier,
                                                                  double constant);
    // The same checks, filling a constraint made by a subclass.
    void initWithItem(const std::shared_ptr<NSObject>& item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                      const std::shared_ptr<NSObject>& toItem, NSLayoutAttribute toAttribute, double multiplier,
                      double constant);

    std::shared_ptr<NSObject> firstItem() const { return firstItem_.lock(); }
    std::shared_ptr<NSObject> secondItem() const { return secondItem_.lock(); }
    NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
    NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
    NSLayoutRelation relation() const { return relation_; }
    double multiplier() const { return multiplier_; }
    double constant() const { return constant_; }
    // Applied in place to an active constraint; a non-finite value raises NSInvalidArgumentException.
    void setConstant(double constant);
    UILayoutPriority priority() const { return priority_; }
    // Outside (0, 1000] raises NSInvalidArgumentException; switching an active
    // constraint between required and optional raises NSInternalInconsistencyException.
    void setPriority(UILayoutPriority priority);
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // Held by a view's constraint list.
    bool isActive() const { return !installedView_.expired(); }
    // YES adds the constraint to the closest common ancestor of its items;
    // NO removes it from the view that holds it.
    void setActive(bool active);
    static void activateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    // The view whose list holds the constraint.
    std::shared_ptr<UIView> installedView() const { return installedView_.lock(); }
    // Refused by the engine as unsatisfiable: still listed, not laid out.
    bool isBroken() const { return broken_; }

    std::string description() const override;
    // What the "description" slot runs by default.
    std::string defaultDescription() const;

private:
    friend class uikit_layout::LayoutEngine;
    friend class UIView;
    std::weak_ptr<NSObject> firstItem_, secondItem_;
    NSLayoutAttribute firstAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutAttribute secondAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation relation_ = NSLayoutRelationEqual;
    double multiplier_ = 1;
    double constant_ = 0;
    UILayoutPriority priority_ = UILayoutPriorityRequired;
    std::string identifier_;
    std::weak_ptr<UIView> installedView_;
    // Engine state: the solver's constraint while it is laid out.
    uint32_t solverId_ = UINT32_MAX;
    double solverOffset_ = 0;  // the part of the solver constant that is not -constant
    bool broken_ = false;
    bool usesGuides_ = false;
};
using NSLayoutConstraintPtr = std::shared_ptr<NSLayoutConstraint>;

// "Class:0x1a2b" for logs.
std::string NSLayoutObjectName(const NSObject* object);
// "left", "width", ... ("notAnAttribute" for 0).
const char* NSLayoutAttributeName(NSLayoutAttribute attribute);
