#include <ui_tab_bar_and_layout/LCViewConstraint.h>

#include <ui_tab_bar_and_layout/LCCompositeConstraint.h>
#include <ui_tab_bar_and_layout/LCViewExtensions.h>

std::vector<LCViewConstraintPtr> LCViewConstraint::installedConstraintsForView(const UIViewPtr& view) {
    return view ? lc_installedConstraints(*view) : std::vector<LCViewConstraintPtr>{};
}

LCConstraintPtr LCViewConstraint::addConstraintWithLayoutAttribute(NSLayoutAttribute attribute) {
    auto delegate = this->delegate();
    return delegate ? delegate->constraintAddConstraintWithLayoutAttribute(self(), attribute) : nullptr;
}

LCConstraint::DoubleStep LCViewConstraint::multipliedBy() {
    auto me = std::static_pointer_cast<LCViewConstraint>(self());
    return [me](double m) -> LCConstraintPtr {
        me->multiplier_ = m;
        return me;
    };
}

LCConstraint::DoubleStep LCViewConstraint::dividedBy() {
    auto me = std::static_pointer_cast<LCViewConstraint>(self());
    return [me](double d) -> LCConstraintPtr {
        me->multiplier_ = 1.0 / d;
        return me;
    };
}

std::function<LCConstraintPtr(float)> LCViewConstraint::priority() {
    auto me = std::static_pointer_cast<LCViewConstraint>(self());
    return [me](float p) -> LCConstraintPtr {
        me->priority_ = p;
        return me;
    };
}

std::function<LCConstraintPtr(const Value&, NSLayoutRelation)> LCViewConstraint::equalToWithRelation() {
    auto me = std::static_pointer_cast<LCViewConstraint>(self());
    return [me](const Value& target, NSLayoutRelation relation) -> LCConstraintPtr {
        if (!target.isArray()) {
            me->setLayoutRelation(relation);
            me->setSecondViewAttribute(target);
            return me;
        }
        std::vector<LCConstraintPtr> children;
        for (const auto& element : target.asArray()) {
            auto copy = me->copy();
            copy->setLayoutRelation(relation);
            copy->setSecondViewAttribute(element);
            children.push_back(copy);
        }
        auto composite = LCCompositeConstraint::withChildren(std::move(children));
        composite->setDelegate(me->delegate());
        if (auto delegate = me->delegate()) delegate->constraintShouldBeReplacedWithConstraint(me, composite);
        return composite;
    };
}

LCConstraint::ValueStep LCViewConstraint::key() {
    auto me = std::static_pointer_cast<LCViewConstraint>(self());
    return [me](const Value& key) -> LCConstraintPtr {
        me->key_ = key;
        return me;
    };
}

void LCViewConstraint::setInsets(UIEdgeInsets insets) {
    switch (first_->layoutAttribute()) {
        case NSLayoutAttributeLeft:
        case NSLayoutAttributeLeading: setLayoutConstant(insets.left); break;
        case NSLayoutAttributeRight:
        case NSLayoutAttributeTrailing: setLayoutConstant(-insets.right); break;
        case NSLayoutAttributeTop: setLayoutConstant(insets.top); break;
        case NSLayoutAttributeBottom: setLayoutConstant(-insets.bottom); break;
        default: break;
    }
}

void LCViewConstraint::setInset(double inset) { setInsets(UIEdgeInsetsMake(inset, inset, inset, inset)); }

void LCViewConstraint::setSizeOffset(CGSize offset) {
    if (first_->layoutAttribute() == NSLayoutAttributeWidth) setLayoutConstant(offset.width);
    if (first_->layoutAttribute() == NSLayoutAttributeHeight) setLayoutConstant(offset.height);
}

void LCViewConstraint::setCenterOffset(CGPoint offset) {
    if (first_->layoutAttribute() == NSLayoutAttributeCenterX) setLayoutConstant(offset.x);
    if (first_->layoutAttribute() == NSLayoutAttributeCenterY) setLayoutConstant(offset.y);
}

void LCViewConstraint::setOffset(double offset) { setLayoutConstant(offset); }

void LCViewConstraint::setLayoutConstant(double constant) {
    constant_ = constant;
    if (auto held = layoutConstraint_.lock()) held->setConstant(constant);
}

void LCViewConstraint::setSecondViewAttribute(const Value& target) {
    if (target.isNumber() || target.type() == Value::Type::Geometry) {
        setLayoutConstantWithValue(target);
    } else if (auto view = target.isObject() ? target.objectAs<UIView>() : nullptr) {
        second_ = std::make_shared<LCViewAttribute>(view, first_->layoutAttribute());
    } else if (auto attribute = target.isObject() ? target.objectAs<LCViewAttribute>() : nullptr) {
        second_ = attribute;
    }
}

// Every platform constraint here answers isActive.
bool LCViewConstraint::supportsActiveProperty() const { return layoutConstraint_.lock() != nullptr; }

bool LCViewConstraint::isActive() const {
    auto held = layoutConstraint_.lock();
    return held ? held->isActive() : true;
}

bool LCViewConstraint::hasBeenInstalled() const { return layoutConstraint_.lock() != nullptr && isActive(); }

void LCViewConstraint::install() {
    if (hasBeenInstalled()) return;
    auto me = std::static_pointer_cast<LCViewConstraint>(self());
    auto firstView = first_->view();
    if (supportsActiveProperty()) {
        layoutConstraint_.lock()->setActive(true);
        if (firstView) lc_addInstalledConstraint(*firstView, me);
        return;
    }
    std::shared_ptr<NSObject> firstItem = first_->item();
    NSLayoutAttribute firstAttribute = first_->layoutAttribute();
    std::shared_ptr<NSObject> secondItem = second_ ? second_->item() : nullptr;
    NSLayoutAttribute secondAttribute = second_ ? second_->layoutAttribute() : NSLayoutAttributeNotAnAttribute;
    if (!first_->isSizeAttribute() && !second_) {
        secondItem = firstView ? firstView->superview() : nullptr;
        secondAttribute = firstAttribute;
    }
    auto made = std::make_shared<LCLayoutConstraint>();
    made->initWithItem(firstItem, firstAttribute, relation_, secondItem, secondAttribute, multiplier_, constant_);
    made->setPriority(priority_);
    made->setLc_key(key_);

    UIViewPtr target;
    if (second_ && second_->view())
        target = lc_closestCommonSuperview(firstView, second_->view());
    else if (first_->isSizeAttribute())
        target = firstView;
    else
        target = firstView ? firstView->superview() : nullptr;
    installedView_ = target;

    if (updateExisting()) {
        if (auto existing = layoutConstraintSimilarTo(*made)) {
            existing->setConstant(made->constant());
            layoutConstraint_ = existing;
            return;
        }
    }
    if (target) target->addConstraint(made);
    layoutConstraint_ = made;
    if (firstView) lc_addInstalledConstraint(*firstView, me);
}

LCLayoutConstraintPtr LCViewConstraint::layoutConstraintSimilarTo(const LCLayoutConstraint& c) const {
    auto view = installedView_.lock();
    if (!view) return nullptr;
    const auto& list = view->constraints();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        auto existing = std::dynamic_pointer_cast<LCLayoutConstraint>(*it);
        if (!existing) continue;
        if (existing->firstItem() != c.firstItem() || existing->secondItem() != c.secondItem()) continue;
        if (existing->firstAttribute() != c.firstAttribute() || existing->secondAttribute() != c.secondAttribute())
            continue;
        if (existing->relation() != c.relation() || existing->multiplier() != c.multiplier() ||
            existing->priority() != c.priority())
            continue;
        return existing;
    }
    return nullptr;
}

void LCViewConstraint::uninstall() {
    if (supportsActiveProperty()) {
        layoutConstraint_.lock()->setActive(false);
    } else {
        if (auto view = installedView_.lock(); view && layoutConstraint_.lock())
            view->removeConstraint(layoutConstraint_.lock());
        layoutConstraint_.reset();
        installedView_.reset();
    }
    if (auto view = first_->view()) lc_removeInstalledConstraint(*view, this);
}

LCViewConstraintPtr LCViewConstraint::copy() const {
    auto c = std::make_shared<LCViewConstraint>(first_);
    c->constant_ = constant_;
    c->relation_ = relation_;
    c->priority_ = priority_;
    c->multiplier_ = multiplier_;
    c->setDelegate(delegate());
    return c;
}
