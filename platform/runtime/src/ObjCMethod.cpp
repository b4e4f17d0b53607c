#include <platform_runtime/ObjCMethod.h>
#include <platform_runtime/ObjCRuntime.h>

#include <mutex>

#include "RuntimeLock.h"

IMP ObjCMethod::implementation() const {
    std::shared_lock lock(objc_detail::runtimeLock());
    return imp_;
}

IMP ObjCMethod::setImplementation(IMP imp) {
    std::unique_lock lock(objc_detail::runtimeLock());
    if (selector_ == "dealloc") objc_detail::noteDeallocSlotChange();
    std::swap(imp_, imp);
    return imp;
}

void method_exchangeImplementations(ObjCMethod* a, ObjCMethod* b) {
    if (!a || !b || a == b) return;
    std::unique_lock lock(objc_detail::runtimeLock());
    if (a->selector_ == "dealloc" || b->selector_ == "dealloc")
        objc_detail::noteDeallocSlotChange();
    std::swap(a->imp_, b->imp_);
}
