#pragma once
// The platform constraint the builder makes: an NSLayoutConstraint with a debugging key.
//
// Main thread.

#include <platform_uikit/NSLayoutConstraint.h>

#include <platform_runtime/Value.h>

class LCLayoutConstraint : public NSLayoutConstraint {
    NS_CLASS(LCLayoutConstraint, NSLayoutConstraint)
public:
    LCLayoutConstraint() = default;
    const Value& lc_key() const { return key_; }
    void setLc_key(Value key) { key_ = std::move(key); }

private:
    Value key_;
};
using LCLayoutConstraintPtr = std::shared_ptr<LCLayoutConstraint>;
