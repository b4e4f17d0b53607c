#pragma once
// How a C++ property type appears to the runtime: its type encoding and its Value conversions.
//
// ObjCPropertyTraits<T> gives
//   static std::string encoding();                 "B", "i", "q", "d", "@\"NSString\"", "@?" ...
//   static constexpr bool scalar;                  a null value cannot be stored
//   static Value toValue(const T&);
//   static bool fromValue(const Value&, T& out);   false: null into a scalar (setNilValueForKey)
// A value of the wrong kind for an object type raises NSInvalidArgumentException.
// Specialise it for further types.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <platform_runtime/Geometry.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSDecimal.h>
#include <platform_runtime/Value.h>

class NSObject;

namespace objc_detail {
// Raises NSInvalidArgumentException: a value of kind `got` cannot be stored as `expected`.
[[noreturn]] void raiseWrongValueKind(const char* expected, const Value& got);

template <class T>
std::string classNameOf() {
    return T::staticClassName();
}
}  // namespace objc_detail

template <class T, class Enable = void>
struct ObjCPropertyTraits;

// Integers and floating point: numbers; null is refused.
template <class T>
struct ObjCPropertyTraits<T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, bool>>> {
    static constexpr bool scalar = true;
    static std::string encoding() {
        if constexpr (std::is_floating_point_v<T>) {
            return sizeof(T) == sizeof(float) ? "f" : "d";
        } else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, signed char>) {
            return "c";
        } else if constexpr (std::is_same_v<T, unsigned char>) {
            return "C";
        } else if constexpr (sizeof(T) == 2) {
            return std::is_signed_v<T> ? "s" : "S";
        } else if constexpr (sizeof(T) == 4) {
            return std::is_signed_v<T> ? "i" : "I";
        } else {
            return std::is_signed_v<T> ? "q" : "Q";
        }
    }
    static Value toValue(const T& v) { return Value(v); }
    static bool fromValue(const Value& v, T& out) {
        if (v.isNull()) return false;
        if constexpr (std::is_floating_point_v<T>) {
            out = static_cast<T>(v.doubleValue());
        } else if constexpr (std::is_signed_v<T>) {
            out = static_cast<T>(v.integerValue());
        } else {
            out = static_cast<T>(v.unsignedLongLongValue());
        }
        return true;
    }
};

template <>
struct ObjCPropertyTraits<bool> {
    static constexpr bool scalar = true;
    static std::string encoding() { return "B"; }
    static Value toValue(bool v) { return Value(v); }
    static bool fromValue(const Value& v, bool& out) {
        if (v.isNull()) return false;
        out = v.boolValue();
        return true;
    }
};

// Text; null stores the empty text. A number stores its text.
template <>
struct ObjCPropertyTraits<std::string> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSString\""; }
    static Value toValue(const std::string& v) { return Value(v); }
    static bool fromValue(const Value& v, std::string& out) {
        if (v.isNull()) out.clear();
        else if (v.isString()) out = v.asString();
        else if (v.isNumber()) out = v.stringValue();
        else objc_detail::raiseWrongValueKind("NSString", v);
        return true;
    }
    static bool fromValue(Value&& v, std::string& out) {
        if (!v.isString()) return fromValue(static_cast<const Value&>(v), out);
        out = std::move(v).takeString();
        return true;
    }
};

// An absent-or-present value of T: null <-> nullopt.
template <class T>
struct ObjCPropertyTraits<std::optional<T>> {
    static constexpr bool scalar = false;
    static std::string encoding() { return ObjCPropertyTraits<T>::encoding(); }
    static Value toValue(const std::optional<T>& v) { return v ? ObjCPropertyTraits<T>::toValue(*v) : Value(); }
    static bool fromValue(const Value& v, std::optional<T>& out) {
        if (v.isNull()) {
            out.reset();
            return true;
        }
        T t{};
        ObjCPropertyTraits<T>::fromValue(v, t);
        out = std::move(t);
        return true;
    }
    static bool fromValue(Value&& v, std::optional<T>& out) {
        if (v.isNull()) {
            out.reset();
            return true;
        }
        T t{};
        ObjCPropertyTraits<T>::fromValue(std::move(v), t);
        out = std::move(t);
        return true;
    }
};

// Any value (id).
template <>
struct ObjCPropertyTraits<Value> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@"; }
    static Value toValue(const Value& v) { return v; }
    static bool fromValue(const Value& v, Value& out) {
        out = v;
        return true;
    }
};

template <>
struct ObjCPropertyTraits<Value::Array> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSArray\""; }
    static Value toValue(const Value::Array& v) { return Value(v); }
    static bool fromValue(const Value& v, Value::Array& out) {
        if (v.isNull()) out.clear();
        else if (v.isArray()) out = v.asArray();
        else objc_detail::raiseWrongValueKind("NSArray", v);
        return true;
    }
};

template <>
struct ObjCPropertyTraits<Value::Dictionary> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSDictionary\""; }
    static Value toValue(const Value::Dictionary& v) { return Value(v); }
    static bool fromValue(const Value& v, Value::Dictionary& out) {
        if (v.isNull()) out.clear();
        else if (v.isDictionary()) out = v.asDictionary();
        else objc_detail::raiseWrongValueKind("NSDictionary", v);
        return true;
    }
};

template <>
struct ObjCPropertyTraits<Value::Data> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSData\""; }
    static Value toValue(const Value::Data& v) { return Value(v); }
    static bool fromValue(const Value& v, Value::Data& out) {
        if (v.isNull()) out.clear();
        else if (v.isData()) out = v.asData();
        else objc_detail::raiseWrongValueKind("NSData", v);
        return true;
    }
};

template <>
struct ObjCPropertyTraits<NSDate> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSDate\""; }
    static Value toValue(const NSDate& v) { return Value(v); }
    static bool fromValue(const Value& v, NSDate& out) {
        if (v.isNull()) out = NSDate();
        else if (v.isDate()) out = v.asDate();
        else objc_detail::raiseWrongValueKind("NSDate", v);
        return true;
    }
};

template <>
struct ObjCPropertyTraits<NSDecimal> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSDecimalNumber\""; }
    static Value toValue(const NSDecimal& v) { return Value(v); }
    static bool fromValue(const Value& v, NSDecimal& out) {
        if (v.isNull()) out = NSDecimal();
        else if (v.isNumber() || v.isString()) out = v.decimalValue();
        else objc_detail::raiseWrongValueKind("NSDecimalNumber", v);
        return true;
    }
};

// Geometry structs: scalar, encoded as the platform's struct encodings.
#define OBJC_GEOMETRY_TRAITS(Type, Enc)                                     \
    template <>                                                             \
    struct ObjCPropertyTraits<Type> {                                       \
        static constexpr bool scalar = true;                                \
        static std::string encoding() { return Enc; }                       \
        static Value toValue(const Type& v) { return Value(v); }            \
        static bool fromValue(const Value& v, Type& out) {                  \
            if (v.isNull()) return false;                                   \
            if (!v.isGeometry()) objc_detail::raiseWrongValueKind(#Type, v); \
            out = v.Type##Value();                                          \
            return true;                                                    \
        }                                                                   \
    };
OBJC_GEOMETRY_TRAITS(CGPoint, "{CGPoint=dd}")
OBJC_GEOMETRY_TRAITS(CGSize, "{CGSize=dd}")
OBJC_GEOMETRY_TRAITS(CGRect, "{CGRect={CGPoint=dd}{CGSize=dd}}")
OBJC_GEOMETRY_TRAITS(UIEdgeInsets, "{UIEdgeInsets=dddd}")
OBJC_GEOMETRY_TRAITS(UIOffset, "{UIOffset=dd}")
#undef OBJC_GEOMETRY_TRAITS

// An object of class T (declared with NS_CLASS): "@\"T\"".
template <class T>
struct ObjCPropertyTraits<std::shared_ptr<T>, std::enable_if_t<std::is_base_of_v<NSObject, T>>> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"" + objc_detail::classNameOf<T>() + "\""; }
    static Value toValue(const std::shared_ptr<T>& v) { return Value(v); }
    static bool fromValue(const Value& v, std::shared_ptr<T>& out) {
        if (v.isNull()) {
            out.reset();
            return true;
        }
        auto object = v.objectAs<T>();
        if (!object) objc_detail::raiseWrongValueKind(T::staticClassName(), v);
        out = std::move(object);
        return true;
    }
};

// An array of objects of class T: "@\"NSArray<T>\"" (the element class as its protocol).
template <class T>
struct ObjCPropertyTraits<std::vector<std::shared_ptr<T>>, std::enable_if_t<std::is_base_of_v<NSObject, T>>> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSArray<" + objc_detail::classNameOf<T>() + ">\""; }
    static Value toValue(const std::vector<std::shared_ptr<T>>& v) {
        Value::Array a;
        a.reserve(v.size());
        for (const auto& e : v) a.emplace_back(e);
        return Value(std::move(a));
    }
    static bool fromValue(const Value& v, std::vector<std::shared_ptr<T>>& out) {
        std::vector<std::shared_ptr<T>> result;
        if (!v.isNull()) {
            if (!v.isArray()) objc_detail::raiseWrongValueKind("NSArray", v);
            for (const auto& e : v.asArray()) {
                auto object = e.objectAs<T>();
                if (!object) objc_detail::raiseWrongValueKind(T::staticClassName(), e);
                result.push_back(std::move(object));
            }
        }
        out = std::move(result);
        return true;
    }
};

// An array of texts: "@\"NSArray\"".
template <>
struct ObjCPropertyTraits<std::vector<std::string>> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@\"NSArray\""; }
    static Value toValue(const std::vector<std::string>& v) {
        Value::Array a(v.begin(), v.end());
        return Value(std::move(a));
    }
    static bool fromValue(const Value& v, std::vector<std::string>& out) {
        std::vector<std::string> result;
        if (!v.isNull()) {
            if (!v.isArray()) objc_detail::raiseWrongValueKind("NSArray", v);
            for (const auto& e : v.asArray()) {
                if (!e.isString()) objc_detail::raiseWrongValueKind("NSString", e);
                result.emplace_back(e.asString());
            }
        }
        out = std::move(result);
        return true;
    }
};

// A block: "@?". It has no Value form: reads as null, and only null can be stored (clears it).
template <class R, class... Args>
struct ObjCPropertyTraits<std::function<R(Args...)>> {
    static constexpr bool scalar = false;
    static std::string encoding() { return "@?"; }
    static Value toValue(const std::function<R(Args...)>&) { return Value(); }
    static bool fromValue(const Value& v, std::function<R(Args...)>& out) {
        if (!v.isNull()) objc_detail::raiseWrongValueKind("block", v);
        out = nullptr;
        return true;
    }
};
