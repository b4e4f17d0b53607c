#include <platform_runtime/KeyValueCoding.h>

#include <cstdio>

#include <platform_runtime/NSException.h>

namespace objc_detail {

void raiseUnknownKey(const std::string& className, const void* address, const std::string& key, bool setter,
                     const Value& target) {
    char addr[32];
    std::snprintf(addr, sizeof addr, "%p", address);
    Value::Dictionary userInfo{{Value(NSUnknownUserInfoKey), Value(key)}};
    if (!target.isNull()) userInfo.emplace(Value(NSTargetObjectUserInfoKey), target);
    NSException::raise(NSUndefinedKeyException,
                       "[<" + className + " " + addr + "> " +
                           (setter ? "setValue:forUndefinedKey:" : "valueForUndefinedKey:") +
                           "]: this class is not key value coding-compliant for the key " + key + ".",
                       std::move(userInfo));
}

}  // namespace objc_detail

namespace {

// The class name the platform would show for a value without keys.
const char* valueClassName(const Value& v) {
    switch (v.type()) {
        case Value::Type::String: return "NSString";
        case Value::Type::Data: return "NSData";
        case Value::Type::Date: return "NSDate";
        case Value::Type::Geometry: return "NSValue";
        case Value::Type::Decimal: return "NSDecimalNumber";
        default: return "NSNumber";
    }
}

[[noreturn]] void raiseNoKeys(const Value& target, const std::string& key, bool setter) {
    objc_detail::raiseUnknownKey(valueClassName(target), &target, key, setter, target);
}

}  // namespace

Value valueForKey(const Value& target, const std::string& key) {
    switch (target.type()) {
        case Value::Type::Null: return Value();
        case Value::Type::Object: return target.asObject()->valueForKey(key);
        case Value::Type::Dictionary: return target.objectForKey(Value(key));
        case Value::Type::Array:
        case Value::Type::Set: {
            Value::Array out;
            const auto& elements = target.isArray() ? target.asArray() : target.asSet();
            out.reserve(elements.size());
            for (const auto& e : elements) out.push_back(valueForKey(e, key));
            return Value(std::move(out));
        }
        default: raiseNoKeys(target, key, false);
    }
}

Value valueForKeyPath(const Value& target, const std::string& keyPath) {
    auto dot = keyPath.find('.');
    if (dot == std::string::npos) return valueForKey(target, keyPath);
    if (target.isObject()) return target.asObject()->valueForKeyPath(keyPath);
    return valueForKeyPath(valueForKey(target, keyPath.substr(0, dot)), keyPath.substr(dot + 1));
}

void setValueForKey(Value& target, const Value& value, const std::string& key) {
    switch (target.type()) {
        case Value::Type::Null: return;
        case Value::Type::Object: return target.asObject()->setValue(value, key);
        case Value::Type::Dictionary:
            if (value.isNull()) target.removeObjectForKey(Value(key));
            else target.setObject(value, Value(key));
            return;
        case Value::Type::Array: {
            for (std::size_t i = 0; i < target.count(); ++i) {
                Value element = target[i];
                setValueForKey(element, value, key);
                if (!element.isObject()) target.replaceObjectAtIndex(i, element);
            }
            return;
        }
        default: raiseNoKeys(target, key, true);
    }
}

void setValueForKeyPath(Value& target, const Value& value, const std::string& keyPath) {
    auto dot = keyPath.find('.');
    if (dot == std::string::npos) return setValueForKey(target, value, keyPath);
    if (target.isObject()) return target.asObject()->setValueForKeyPath(value, keyPath);
    std::string first = keyPath.substr(0, dot);
    Value inner = valueForKey(target, first);
    if (inner.isNull()) return;
    setValueForKeyPath(inner, value, keyPath.substr(dot + 1));
    if (!inner.isObject()) setValueForKey(target, inner, first);
}
