#include <ui_tab_bar_and_layout/LCConstraint.h>

#include <platform_runtime/NSException.h>

#include <cstring>

void LCConstraint::mustOverride(const char* selector) const {
    NSException::raise(NSInternalInconsistencyException,
                       std::string("You must override ") + selector + " in a subclass.");
}

LCConstraint::ValueStep LCConstraint::relationStep(NSLayoutRelation relation) {
    auto me = self();
    return [me, relation](const Value& target) { return me->equalToWithRelation()(target, relation); };
}

LCConstraint::Step LCConstraint::priorityLow() {
    auto me = self();
    return [me] { return me->priority()(UILayoutPriorityDefaultLow); };
}

LCConstraint::Step LCConstraint::priorityMedium() {
    auto me = self();
    return [me] { return me->priority()(500); };
}

LCConstraint::Step LCConstraint::priorityHigh() {
    auto me = self();
    return [me] { return me->priority()(UILayoutPriorityDefaultHigh); };
}

std::function<LCConstraintPtr(UIEdgeInsets)> LCConstraint::insets() {
    auto me = self();
    return [me](UIEdgeInsets insets) {
        me->setInsets(insets);
        return me;
    };
}

LCConstraint::DoubleStep LCConstraint::inset() {
    auto me = self();
    return [me](double inset) {
        me->setInset(inset);
        return me;
    };
}

std::function<LCConstraintPtr(CGSize)> LCConstraint::sizeOffset() {
    auto me = self();
    return [me](CGSize offset) {
        me->setSizeOffset(offset);
        return me;
    };
}

std::function<LCConstraintPtr(CGPoint)> LCConstraint::centerOffset() {
    auto me = self();
    return [me](CGPoint offset) {
        me->setCenterOffset(offset);
        return me;
    };
}

LCConstraint::DoubleStep LCConstraint::offset() {
    auto me = self();
    return [me](double offset) {
        me->setOffset(offset);
        return me;
    };
}

LCConstraint::ValueStep LCConstraint::valueOffset() {
    auto me = self();
    return [me](const Value& value) {
        me->setLayoutConstantWithValue(value);
        return me;
    };
}

void LCConstraint::setLayoutConstantWithValue(const Value& value) {
    if (value.isNumber()) {
        setOffset(value.doubleValue());
        return;
    }
    const char* type = value.geometryObjCType();
    if (std::strcmp(type, "{CGPoint=dd}") == 0)
        setCenterOffset(value.CGPointValue());
    else if (std::strcmp(type, "{CGSize=dd}") == 0)
        setSizeOffset(value.CGSizeValue());
    else if (std::strcmp(type, "{UIEdgeInsets=dddd}") == 0)
        setInsets(value.UIEdgeInsetsValue());
}

LCConstraintPtr LCConstraint::addConstraintWithLayoutAttribute(NSLayoutAttribute) {
    mustOverride("addConstraintWithLayoutAttribute:");
}
LCConstraint::DoubleStep LCConstraint::multipliedBy() { mustOverride("multipliedBy"); }
LCConstraint::DoubleStep LCConstraint::dividedBy() { mustOverride("dividedBy"); }
std::function<LCConstraintPtr(float)> LCConstraint::priority() { mustOverride("priority"); }
std::function<LCConstraintPtr(const Value&, NSLayoutRelation)> LCConstraint::equalToWithRelation() {
    mustOverride("equalToWithRelation");
}
LCConstraint::ValueStep LCConstraint::key() { mustOverride("key"); }
void LCConstraint::setInsets(UIEdgeInsets) { mustOverride("setInsets:"); }
void LCConstraint::setInset(double) { mustOverride("setInset:"); }
void LCConstraint::setSizeOffset(CGSize) { mustOverride("setSizeOffset:"); }
void LCConstraint::setCenterOffset(CGPoint) { mustOverride("setCenterOffset:"); }
void LCConstraint::setOffset(double) { mustOverride("setOffset:"); }
void LCConstraint::activate() { mustOverride("activate"); }
void LCConstraint::deactivate() { mustOverride("deactivate"); }
void LCConstraint::install() { mustOverride("install"); }
void LCConstraint::uninstall() { mustOverride("uninstall"); }
