#include <platform_runtime/ObjCRuntime.h>

#include <platform_runtime/ObjCAvailability.h>

#include <cstdio>

#include <platform_runtime/NSException.h>

ObjCClass* NSClassFromString(std::string_view name) {
    ObjCClass* cls = name.empty() ? nullptr : ObjCClass::named(name);
    return cls && objc_isClassAvailable(cls) ? cls : nullptr;
}

std::string NSStringFromClass(const ObjCClass* cls) {
    return cls ? cls->name() : std::string();
}

ObjCClass* class_getSuperclass(const ObjCClass* cls) {
    return cls ? cls->superclass() : nullptr;
}

bool class_conformsToProtocol(const ObjCClass* cls, std::string_view protocol) {
    return cls && cls->conformsToProtocol(protocol);
}

bool class_respondsToSelector(const ObjCClass* cls, std::string_view selector) {
    return cls && cls->instancesRespondToSelector(selector);
}

std::vector<const ObjCProperty*> class_copyPropertyList(const ObjCClass* cls) {
    return cls ? cls->ownProperties() : std::vector<const ObjCProperty*>{};
}

const ObjCProperty* class_getProperty(const ObjCClass* cls, std::string_view name) {
    return cls ? cls->property(name) : nullptr;
}

const char* property_getName(const ObjCProperty* property) {
    return property ? property->name().c_str() : nullptr;
}

const char* property_getAttributes(const ObjCProperty* property) {
    return property ? property->attributes().c_str() : nullptr;
}

ObjCMethod* class_getInstanceMethod(const ObjCClass* cls, std::string_view selector) {
    return cls ? cls->instanceMethod(selector) : nullptr;
}

ObjCMethod* class_getClassMethod(const ObjCClass* cls, std::string_view selector) {
    return cls ? cls->classMethod(selector) : nullptr;
}

bool class_addMethod(ObjCClass* cls, std::string_view selector, IMP imp, std::string_view types) {
    return cls && cls->addMethod(selector, std::move(imp), types);
}

IMP class_replaceMethod(ObjCClass* cls, std::string_view selector, IMP imp, std::string_view types) {
    return cls ? cls->replaceMethod(selector, std::move(imp), types) : nullptr;
}

IMP method_getImplementation(const ObjCMethod* method) {
    return method ? method->implementation() : nullptr;
}

IMP method_setImplementation(ObjCMethod* method, IMP imp) {
    return method ? method->setImplementation(std::move(imp)) : nullptr;
}

const char* method_getTypeEncoding(const ObjCMethod* method) {
    return method ? method->typeEncoding().c_str() : nullptr;
}

namespace objc_detail {

IMP instanceImp(const NSObject& self, std::string_view selector) {
    ObjCMethod* m = self.objcClass().instanceMethod(selector);
    return m ? m->implementation() : nullptr;
}

IMP classImp(const ObjCClass& cls, std::string_view selector) {
    ObjCMethod* m = cls.classMethod(selector);
    return m ? m->implementation() : nullptr;
}

void raiseUnrecognizedSelector(const std::string& className, const void* receiver, bool classSide,
                               std::string_view selector) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", receiver);
    NSException::raise(NSInvalidArgumentException, std::string(classSide ? "+[" : "-[") + className + " " +
                                                       std::string(selector) + "]: unrecognized selector sent to " +
                                                       (classSide ? "class " : "instance ") + address);
}

}  // namespace objc_detail

namespace {
using InstanceOp = ObjCTypedImp<Value(NSObject&, const Value::Array&)>;
using ClassOp = ObjCTypedImp<Value(ObjCClass&, const Value::Array&)>;
}  // namespace

std::optional<Value> performSelector(NSObject* target, std::string_view selector, const Value::Array& args) {
    if (!target || selector.empty()) return std::nullopt;
    IMP imp = objc_detail::instanceImp(*target, selector);
    auto* op = dynamic_cast<const InstanceOp*>(imp.get());
    if (!op) return std::nullopt;
    return (*op)(*target, args);
}

std::optional<Value> performClassSelector(ObjCClass* cls, std::string_view selector, const Value::Array& args) {
    if (!cls || selector.empty()) return std::nullopt;
    IMP imp = objc_detail::classImp(*cls, selector);
    auto* op = dynamic_cast<const ClassOp*>(imp.get());
    if (!op) return std::nullopt;
    return (*op)(*cls, args);
}

std::optional<Value> performClassSelector(std::string_view className, std::string_view selector,
                                          const Value::Array& args) {
    return performClassSelector(NSClassFromString(className), selector, args);
}
