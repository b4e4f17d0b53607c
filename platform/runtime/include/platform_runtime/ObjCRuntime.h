#pragma once
// Runtime functions by name: class lookup, property lists, method add / replace / exchange,
// typed calls through method slots, and Value-argument calls that answer "not handled".

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/ObjCMethod.h>
#include <platform_runtime/Value.h>

// --- classes ---
// The registered class of that name; nullptr when there is none (an absent optional module).
ObjCClass* NSClassFromString(std::string_view name);
// The class's name; "" for nullptr.
std::string NSStringFromClass(const ObjCClass* cls);
ObjCClass* class_getSuperclass(const ObjCClass* cls);
bool class_conformsToProtocol(const ObjCClass* cls, std::string_view protocol);
// Whether instances of cls respond to selector.
bool class_respondsToSelector(const ObjCClass* cls, std::string_view selector);

// --- properties ---
// Own properties in declaration order; empty for nullptr.
std::vector<const ObjCProperty*> class_copyPropertyList(const ObjCClass* cls);
const ObjCProperty* class_getProperty(const ObjCClass* cls, std::string_view name);
const char* property_getName(const ObjCProperty* property);
const char* property_getAttributes(const ObjCProperty* property);

// --- methods ---
ObjCMethod* class_getInstanceMethod(const ObjCClass* cls, std::string_view selector);
ObjCMethod* class_getClassMethod(const ObjCClass* cls, std::string_view selector);
bool class_addMethod(ObjCClass* cls, std::string_view selector, IMP imp, std::string_view types);
IMP class_replaceMethod(ObjCClass* cls, std::string_view selector, IMP imp, std::string_view types);
IMP method_getImplementation(const ObjCMethod* method);
IMP method_setImplementation(ObjCMethod* method, IMP imp);
const char* method_getTypeEncoding(const ObjCMethod* method);
// Swaps the two implementations (and nothing else); nothing for a nullptr.
void method_exchangeImplementations(ObjCMethod* a, ObjCMethod* b);

namespace objc_detail {
IMP instanceImp(const NSObject& self, std::string_view selector);
IMP classImp(const ObjCClass& cls, std::string_view selector);
// NSInvalidArgumentException "-[Class sel]: unrecognized selector sent to instance 0x..."
// (or "+[Class sel]: unrecognized selector sent to class 0x...").
[[noreturn]] void raiseUnrecognizedSelector(const std::string& className, const void* receiver, bool classSide,
                                            std::string_view selector);
}  // namespace objc_detail

// Calls the instance method `selector` of self's class through its current implementation,
// which must have the call signature F = R(Args...). A missing method or a different
// signature raises NSInvalidArgumentException (an unrecognised selector).
//   invokeMethod<void()>(task, "resume");
//   invokeMethod<void(bool)>(controller, "viewDidAppear:", animated);
template <class F>
struct ObjCCall;
template <class R, class... Args>
struct ObjCCall<R(Args...)> {
    template <class... A>
    static R instance(NSObject& self, std::string_view selector, A&&... args) {
        IMP imp = objc_detail::instanceImp(self, selector);
        auto* typed = dynamic_cast<const ObjCTypedImp<R(NSObject&, Args...)>*>(imp.get());
        if (!typed) objc_detail::raiseUnrecognizedSelector(self.className(), &self, false, selector);
        return (*typed)(self, std::forward<A>(args)...);
    }
    template <class... A>
    static R classSide(ObjCClass& cls, std::string_view selector, A&&... args) {
        IMP imp = objc_detail::classImp(cls, selector);
        auto* typed = dynamic_cast<const ObjCTypedImp<R(ObjCClass&, Args...)>*>(imp.get());
        if (!typed) objc_detail::raiseUnrecognizedSelector(cls.name(), &cls, true, selector);
        return (*typed)(cls, std::forward<A>(args)...);
    }
};

template <class F, class... A>
auto invokeMethod(NSObject& self, std::string_view selector, A&&... args) {
    return ObjCCall<F>::instance(self, selector, std::forward<A>(args)...);
}

// The same for a class method: invokeClassMethod<std::shared_ptr<NSURLSession>()>(cls, "sharedSession").
template <class F, class... A>
auto invokeClassMethod(ObjCClass& cls, std::string_view selector, A&&... args) {
    return ObjCCall<F>::classSide(cls, selector, std::forward<A>(args)...);
}

// Value-argument calls of operations registered with addInstanceOperation /
// addClassOperation. nullopt ("not handled") when the target or class is absent, or it has
// no such operation (a typed method of another signature counts as absent).
std::optional<Value> performSelector(NSObject* target, std::string_view selector, const Value::Array& args = {});
std::optional<Value> performClassSelector(ObjCClass* cls, std::string_view selector, const Value::Array& args = {});
std::optional<Value> performClassSelector(std::string_view className, std::string_view selector,
                                          const Value::Array& args = {});
