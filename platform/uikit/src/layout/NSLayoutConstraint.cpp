#include <platform_uikit/NSLayoutConstraint.h>

#include <platform_uikit/UILayoutGuide.h>
#include <platform_uikit/UIView.h>

#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include "layout/LayoutEngine.h"

#include <cmath>
#include <cstdio>

NS_CLASS_LOAD(NSLayoutConstraint) {
    cls.addMethod("description", makeInstanceImp<std::string()>([](NSObject& self) {
                      return static_cast<NSLayoutConstraint&>(self).defaultDescription();
                  }),
                  "@16@0:8");
}

namespace {

bool isLocation(NSLayoutAttribute a) {
    return a != NSLayoutAttributeNotAnAttribute && a != NSLayoutAttributeWidth && a != NSLayoutAttributeHeight;
}

const char* kFactory =
    "+[NSLayoutConstraint constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:]";

std::shared_ptr<UIView> viewOf(const std::shared_ptr<NSObject>& item) {
    if (auto view = std::dynamic_pointer_cast<UIView>(item)) return view;
    if (auto guide = std::dynamic_pointer_cast<UILayoutGuide>(item)) return guide->owningView();
    return nullptr;
}

}  // namespace

std::string NSLayoutObjectName(const NSObject* object) {
    if (!object) return "(null)";
    char address[32];
    std::snprintf(address, sizeof address, ":0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object)));
    return object->className() + address;
}

const char* NSLayoutAttributeName(NSLayoutAttribute attribute) {
    static const char* const names[] = {"notAnAttribute", "left",     "right", "top",     "bottom",  "leading",
                                        "trailing",       "width",    "height", "centerX", "centerY", "lastBaseline"};
    return attribute >= 0 && attribute <= 11 ? names[attribute] : "unknown";
}

NSLayoutConstraint::~NSLayoutConstraint() {
    if (solverId_ != UINT32_MAX) uikit_layout::LayoutEngine::shared().constraintRemoved(*this);
}

NSLayoutConstraintPtr NSLayoutConstraint::constraintWithItem(const std::shared_ptr<NSObject>& item,
                                                             NSLayoutAttribute attribute, NSLayoutRelation relation,
                                                             const std::shared_ptr<NSObject>& toItem,
                                                             NSLayoutAttribute toAttribute, double multiplier,
                                                             double constant) {
    auto c = std::make_shared<NSLayoutConstraint>();
    c->initWithItem(item, attribute, relation, toItem, toAttribute, multiplier, constant);
    return c;
}

void NSLayoutConstraint::initWithItem(const std::shared_ptr<NSObject>& item, NSLayoutAttribute attribute,
                                      NSLayoutRelation relation, const std::shared_ptr<NSObject>& toItem,
                                      NSLayoutAttribute toAttribute, double multiplier, double constant) {
    if (!item || !viewOf(item))
        NSException::raise(NSInvalidArgumentException,
                           std::string("*** ") + kFactory + ": Constraint items must each be a view or layout guide.");
    if (toItem && !viewOf(toItem))
        NSException::raise(NSInvalidArgumentException,
                           std::string("*** ") + kFactory + ": Constraint items must each be a view or layout guide.");
    if (!std::isfinite(multiplier))
        NSException::raise(NSInvalidArgumentException,
                           NSStringWithFormat("*** %s: A multiplier of %g is not finite! That's illegal.", kFactory,
                                              multiplier));
    if (!std::isfinite(constant))
        NSException::raise(NSInvalidArgumentException,
                           NSStringWithFormat("*** %s: A constant of %g is not finite! That's illegal.", kFactory,
                                              constant));
    if (isLocation(attribute) && (multiplier == 0 || !toItem || toAttribute == NSLayoutAttributeNotAnAttribute))
        NSException::raise(NSInvalidArgumentException,
                           std::string("*** ") + kFactory +
                               ": A multiplier of 0 or a nil second item together with a location for the first "
                               "attribute creates an illegal constraint of a location equal to a constant. Location "
                               "attributes must be specified in pairs.");
    if (toItem && toAttribute != NSLayoutAttributeNotAnAttribute && isLocation(attribute) != isLocation(toAttribute))
        NSException::raise(NSInvalidArgumentException,
                           std::string("*** ") + kFactory + ": Invalid pairing of layout attributes.");
    firstItem_ = item;
    firstAttribute_ = attribute;
    relation_ = relation;
    secondItem_ = toAttribute == NSLayoutAttributeNotAnAttribute ? std::shared_ptr<NSObject>() : toItem;
    secondAttribute_ = toItem ? toAttribute : NSLayoutAttributeNotAnAttribute;
    multiplier_ = multiplier;
    constant_ = constant;
}

void NSLayoutConstraint::setConstant(double constant) {
    if (!std::isfinite(constant))
        NSException::raise(NSInvalidArgumentException,
                           NSStringWithFormat("-[NSLayoutConstraint setConstant:]: A constant of %g is not finite! "
                                              "That's illegal.",
                                              constant));
    if (constant == constant_) return;
    constant_ = constant;
    uikit_layout::LayoutEngine::shared().constantChanged(*this);
}

void NSLayoutConstraint::setPriority(UILayoutPriority priority) {
    if (!(priority > 0 && priority <= UILayoutPriorityRequired))
        NSException::raise(NSInvalidArgumentException,
                           NSStringWithFormat("A priority must be greater than 0 and less or equal to "
                                              "NSLayoutPriorityRequired, which is 1000.000000. You passed priority %g.",
                                              static_cast<double>(priority)));
    bool wasRequired = priority_ >= UILayoutPriorityRequired, required = priority >= UILayoutPriorityRequired;
    if (isActive() && wasRequired != required)
        NSException::raise(NSInternalInconsistencyException,
                           NSStringWithFormat("Mutating a priority from required to not on an installed constraint "
                                              "(or vice-versa) is not supported.  You passed priority %g and the "
                                              "existing priority was %g.",
                                              static_cast<double>(priority), static_cast<double>(priority_)));
    if (priority == priority_) return;
    priority_ = priority;
    if (auto holder = installedView()) {
        // Optional to optional: enters again at its new weight.
        auto self = std::static_pointer_cast<NSLayoutConstraint>(shared_from_this());
        holder->removeConstraint(self);
        holder->addConstraint(self);
    }
}

void NSLayoutConstraint::setActive(bool active) {
    if (active == isActive()) return;
    auto self = std::static_pointer_cast<NSLayoutConstraint>(shared_from_this());
    if (!active) {
        if (auto holder = installedView()) holder->removeConstraint(self);
        return;
    }
    auto first = viewOf(firstItem());
    auto second = viewOf(secondItem());
    std::shared_ptr<UIView> common;
    if (!second) {
        common = first;
    } else {
        for (auto s = second; s && !common; s = s->superview())
            for (auto r = first; r; r = r->superview())
                if (r == s) {
                    common = s;
                    break;
                }
    }
    if (!common) {
        NSLogv("Unable to activate constraint with anchors " + NSLayoutObjectName(firstItem().get()) + " and " +
               NSLayoutObjectName(secondItem().get()) +
               " because they have no common ancestor. Does the constraint or its anchors reference items in "
               "different view hierarchies? That's illegal.");
        return;
    }
    common->addConstraint(self);
}

void NSLayoutConstraint::activateConstraints(const std::vector<NSLayoutConstraintPtr>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(true);
}

void NSLayoutConstraint::deactivateConstraints(const std::vector<NSLayoutConstraintPtr>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(false);
}

std::string NSLayoutConstraint::description() const {
    return invokeMethod<std::string()>(const_cast<NSLayoutConstraint&>(*this), "description");
}

// <NSLayoutConstraint:0x… UILabel:0x….left == UIView:0x….left + 60>
std::string NSLayoutConstraint::defaultDescription() const {
    static const char* const relations[] = {"<=", "==", ">="};
    std::string text = "<" + NSLayoutObjectName(this) + " " + NSLayoutObjectName(firstItem().get());
    if (firstAttribute_ != NSLayoutAttributeNotAnAttribute) text += std::string(".") + NSLayoutAttributeName(firstAttribute_);
    text += std::string(" ") + (relation_ >= -1 && relation_ <= 1 ? relations[relation_ + 1] : "?");
    if (auto second = secondItem()) {
        text += " " + NSLayoutObjectName(second.get());
        if (secondAttribute_ != NSLayoutAttributeNotAnAttribute)
            text += std::string(".") + NSLayoutAttributeName(secondAttribute_);
        if (multiplier_ != 1) text += NSStringWithFormat(" * %g", multiplier_);
        if (constant_ != 0) text += NSStringWithFormat(" %s %g", constant_ < 0 ? "-" : "+", std::fabs(constant_));
    } else {
        text += NSStringWithFormat(" %g", constant_);
    }
    if (priority_ != UILayoutPriorityRequired) text += NSStringWithFormat(" @%g", static_cast<double>(priority_));
    return text + ">";
}
