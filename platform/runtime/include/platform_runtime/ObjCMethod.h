#pragma once
// Method implementations (IMPs) with a checked C++ signature, and the method entries of a class.
//
// An instance-method IMP is a callable R(NSObject& self, Args...); a class-method IMP is
// R(ObjCClass& cls, Args...). Exchanging or replacing moves IMPs between entries; a call
// checks that the IMP has exactly the signature the caller expects.

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>

class NSObject;
class ObjCClass;

class ObjCImp {
public:
    virtual ~ObjCImp() = default;
    // The full signature, self parameter included.
    virtual std::type_index signature() const = 0;
};

template <class F>
class ObjCTypedImp;

template <class R, class... Args>
class ObjCTypedImp<R(Args...)> final : public ObjCImp {
public:
    explicit ObjCTypedImp(std::function<R(Args...)> fn) : fn_(std::move(fn)) {}
    std::type_index signature() const override { return typeid(R(Args...)); }
    R operator()(Args... args) const { return fn_(std::forward<Args>(args)...); }

private:
    std::function<R(Args...)> fn_;
};

using IMP = std::shared_ptr<const ObjCImp>;

// An instance-method IMP: fn(NSObject& self, args...) -> R, for a call signature R(Args...).
template <class F, class Fn>
IMP makeInstanceImp(Fn&& fn);
template <class R, class... Args, class Fn>
IMP makeInstanceImpImpl(Fn&& fn, R (*)(Args...)) {
    return std::make_shared<ObjCTypedImp<R(NSObject&, Args...)>>(std::function<R(NSObject&, Args...)>(std::forward<Fn>(fn)));
}
template <class F, class Fn>
IMP makeInstanceImp(Fn&& fn) {
    return makeInstanceImpImpl(std::forward<Fn>(fn), static_cast<F*>(nullptr));
}

// A class-method IMP: fn(ObjCClass& cls, args...) -> R, for a call signature R(Args...).
template <class R, class... Args, class Fn>
IMP makeClassImpImpl(Fn&& fn, R (*)(Args...)) {
    return std::make_shared<ObjCTypedImp<R(ObjCClass&, Args...)>>(std::function<R(ObjCClass&, Args...)>(std::forward<Fn>(fn)));
}
template <class F, class Fn>
IMP makeClassImp(Fn&& fn) {
    return makeClassImpImpl(std::forward<Fn>(fn), static_cast<F*>(nullptr));
}

// An instance-method IMP that calls a member function of C on self (self must be a C).
template <class C, class R, class... Args>
IMP makeMemberImp(R (C::*member)(Args...)) {
    return std::make_shared<ObjCTypedImp<R(NSObject&, Args...)>>(
        std::function<R(NSObject&, Args...)>([member](NSObject& self, Args... args) -> R {
            return (dynamic_cast<C&>(self).*member)(std::forward<Args>(args)...);
        }));
}

// One method of one class: selector, type encoding and the current implementation.
// Entries live as long as their class; the pointer is stable.
class ObjCMethod {
public:
    ObjCMethod(std::string selector, std::string typeEncoding, IMP imp)
        : selector_(std::move(selector)), types_(std::move(typeEncoding)), imp_(std::move(imp)) {}

    const std::string& selector() const { return selector_; }
    const std::string& typeEncoding() const { return types_; }
    // The current implementation (a snapshot: exchanges after this call do not change it).
    IMP implementation() const;
    // Installs imp and answers the previous one.
    IMP setImplementation(IMP imp);

private:
    friend class ObjCClass;
    friend void method_exchangeImplementations(ObjCMethod* a, ObjCMethod* b);
    std::string selector_;
    std::string types_;
    IMP imp_;
};
