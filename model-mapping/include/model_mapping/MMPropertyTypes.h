#pragma once
// Property types for model classes beyond the runtime's own: a Value typed with a platform
// class name (NSSet, NSMutableArray, NSNumber, ...) so its attribute text names that class.
// URL and time-zone objects are registered classes: their shared pointers need nothing here.
//
//   NS_PROPERTY(NSSetValue, tags, setTags, "&,N")            -> T@"NSSet",&,N,V_tags

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

#include <platform_foundation/NSTimeZone.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/ObjCPropertyTraits.h>
#include <platform_runtime/Value.h>

template <std::size_t N>
struct MMClassName {
    char text[N];
    constexpr MMClassName(const char (&s)[N]) { std::copy_n(s, N, text); }
};

// A Value whose declared class is Name. Null stands for an absent value.
template <MMClassName Name>
struct MMTypedValue {
    Value value;
    bool operator==(const MMTypedValue& o) const { return value == o.value; }
};

using NSNumberValue = MMTypedValue<"NSNumber">;
using NSSetValue = MMTypedValue<"NSSet">;
using NSMutableSetValue = MMTypedValue<"NSMutableSet">;
using NSMutableStringValue = MMTypedValue<"NSMutableString">;
using NSMutableArrayValue = MMTypedValue<"NSMutableArray">;
using NSMutableDictionaryValue = MMTypedValue<"NSMutableDictionary">;

template <MMClassName Name>
struct ObjCPropertyTraits<MMTypedValue<Name>, void> {
    static constexpr bool scalar = false;
    static std::string encoding() { return std::string("@\"") + Name.text + "\""; }
    static Value toValue(const MMTypedValue<Name>& v) { return v.value; }
    static bool fromValue(const Value& v, MMTypedValue<Name>& out) {
        out.value = v;
        return true;
    }
};
