// The runtime class "ZVUtils": the utilities that other subsystems call by name.
#include <analytics_common/ZVUtils.h>

#include <typeinfo>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClass.h>

namespace {

Value arg(const Value::Array& args, std::size_t i) { return i < args.size() ? args[i] : Value(); }

ObjCClass& registerUtilities() {
    ObjCClass& cls = ObjCClass::registerClass("ZVUtils", &NSObject::classObject(),
                                              static_cast<uint32_t>(sizeof(NSObject)), nullptr, typeid(ZVUtils).name());
    cls.addClassOperation("carrierString", [](ObjCClass&, const Value::Array&) { return Value(ZVUtils::carrierString()); });
    cls.addClassOperation("accessString", [](ObjCClass&, const Value::Array&) { return Value(ZVUtils::accessString()); });
    cls.addClassOperation("accessSubType", [](ObjCClass&, const Value::Array&) { return Value(ZVUtils::accessSubType()); });
    cls.addClassOperation("deviceJailBreakString",
                          [](ObjCClass&, const Value::Array&) { return Value(ZVUtils::deviceJailBreakString()); });
    cls.addClassOperation("setModuleTag:key:value:", [](ObjCClass&, const Value::Array& a) {
        ZVUtils::setModuleTag(arg(a, 0), arg(a, 1), arg(a, 2));
        return Value();
    });
    cls.addClassOperation("deleteModuleTag:key:", [](ObjCClass&, const Value::Array& a) {
        ZVUtils::deleteModuleTag(arg(a, 0), arg(a, 1));
        return Value();
    });
    return cls;
}

[[maybe_unused]] ObjCClass& utilitiesClass = registerUtilities();

}  // namespace
