#include <platform_runtime/ValueClasses.h>

#include <platform_runtime/NSObject.h>

namespace {

struct ValueClassTable {
    ObjCClass* null;
    ObjCClass* number;
    ObjCClass* decimal;
    ObjCClass* string;
    ObjCClass* mutableString;
    ObjCClass* data;
    ObjCClass* mutableData;
    ObjCClass* date;
    ObjCClass* array;
    ObjCClass* mutableArray;
    ObjCClass* dictionary;
    ObjCClass* mutableDictionary;
    ObjCClass* set;
    ObjCClass* mutableSet;
    ObjCClass* value;
};

ObjCClass* make(const char* name, ObjCClass* superclass) {
    return &ObjCClass::registerClass(name, superclass, 0, nullptr);
}

const ValueClassTable& table() {
    static const ValueClassTable t = [] {
        ObjCClass* root = &NSObject::classObject();
        ValueClassTable v{};
        v.null = make("NSNull", root);
        v.value = make("NSValue", root);
        v.number = make("NSNumber", v.value);
        v.decimal = make("NSDecimalNumber", v.number);
        v.string = make("NSString", root);
        v.mutableString = make("NSMutableString", v.string);
        v.data = make("NSData", root);
        v.mutableData = make("NSMutableData", v.data);
        v.date = make("NSDate", root);
        v.array = make("NSArray", root);
        v.mutableArray = make("NSMutableArray", v.array);
        v.dictionary = make("NSDictionary", root);
        v.mutableDictionary = make("NSMutableDictionary", v.dictionary);
        v.set = make("NSSet", root);
        v.mutableSet = make("NSMutableSet", v.set);
        return v;
    }();
    return t;
}

// Registered at class load, so the names resolve before anything asks for a value's class.
[[maybe_unused]] const ValueClassTable& registrar = table();

}  // namespace

ObjCClass& classForValue(const Value& value) {
    const ValueClassTable& t = table();
    bool m = value.isMutable();
    switch (value.type()) {
        case Value::Type::Null: return *t.null;
        case Value::Type::Bool:
        case Value::Type::Int:
        case Value::Type::UInt:
        case Value::Type::Double: return *t.number;
        case Value::Type::Decimal: return *t.decimal;
        case Value::Type::String: return *(m ? t.mutableString : t.string);
        case Value::Type::Data: return *(m ? t.mutableData : t.data);
        case Value::Type::Date: return *t.date;
        case Value::Type::Array: return *(m ? t.mutableArray : t.array);
        case Value::Type::Dictionary: return *(m ? t.mutableDictionary : t.dictionary);
        case Value::Type::Set: return *(m ? t.mutableSet : t.set);
        case Value::Type::Geometry: return *t.value;
        case Value::Type::Object: return value.asObject()->objcClass();
    }
    return *t.null;
}
