#include <model_mapping/MMValueTransformer.h>

#include <mutex>
#include <shared_mutex>
#include <map>

#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSStringCase.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/NSStringNumbers.h>
#include <platform_runtime/ValueClasses.h>

namespace {

using Converter = MMValueTransformer::Converter;

struct Registry {
    mutable std::shared_mutex mutex;
    std::map<std::string, Converter, std::less<>> converters;  // found by string_view, no copy
};

Value mutableCopyOf(const Value& v) { return v.isNull() ? Value() : v.mutableCopy(); }

Value setFromArray(const Value& v, bool isMutable) {
    if (v.isNull()) return Value();
    Value s = Value::set(v.asArray());
    s.setMutable(isMutable);
    return s;
}

Value listFromSet(const Value& v) {
    if (v.isNull()) return Value();
    return Value(Value::Array(v.asSet().begin(), v.asSet().end()));
}

Value boolFromString(const Value& v) {
    if (v.isNull()) return Value(false);
    std::string lower = NSString::lowercaseString(v.stringValue());
    if (lower == "true" || lower == "yes") return Value(true);
    return Value(NSStringIntValue(v.stringValue()) != 0);
}

Value dateFromString(const Value& v) {
    if (!v.isString()) return Value();
    std::string text;
    text.reserve(v.asString().size());
    for (char c : v.asString())
        if (c != ':') text += c;
    auto date = MMValueTransformer::importDateFormatter().dateFromString(text);
    return date ? Value(*date) : Value();
}

Value dictionaryFromArray(const Value& v, bool isMutable) {
    if (!v.isArray() || v.count() != 0) return v;
    return isMutable ? Value::mutableDictionary() : Value(Value::Dictionary{});
}

std::map<std::string, Converter, std::less<>> builtInConverters() {
    return {
        {"NSMutableStringFromNSString:", mutableCopyOf},
        {"NSMutableArrayFromNSArray:", mutableCopyOf},
        {"NSMutableDictionaryFromNSDictionary:", mutableCopyOf},
        {"NSSetFromNSArray:", [](const Value& v) { return setFromArray(v, false); }},
        {"NSMutableSetFromNSArray:", [](const Value& v) { return setFromArray(v, true); }},
        {"JSONObjectFromNSSet:", listFromSet},
        {"JSONObjectFromNSMutableSet:", listFromSet},
        {"BOOLFromNSNumber:", [](const Value& v) { return Value(!v.isNull() && v.integerValue() != 0); }},
        {"BOOLFromNSString:", boolFromString},
        {"JSONObjectFromBOOL:", [](const Value& v) { return Value(v.integerValue() != 0); }},
        {"floatFromObject:", [](const Value& v) { return Value(v.floatValue()); }},
        {"floatFromNSString:", [](const Value& v) { return Value(v.floatValue()); }},
        {"floatFromNSNumber:", [](const Value& v) { return Value(v.floatValue()); }},
        {"NSNumberFromfloat:", [](const Value& v) { return Value(v.floatValue()); }},
        {"NSNumberFromNSString:", [](const Value& v) { return Value(NSStringDoubleValue(v.stringValue())); }},
        {"NSStringFromNSNumber:", [](const Value& v) { return v.isNull() ? Value() : Value(v.stringValue()); }},
        {"NSDecimalNumberFromNSString:",
         [](const Value& v) { return v.isNull() ? Value() : Value(NSDecimal::fromString(v.stringValue())); }},
        {"NSStringFromNSDecimalNumber:", [](const Value& v) { return v.isNull() ? Value() : Value(v.stringValue()); }},
        {"NSURLFromNSString:",
         [](const Value& v) { return v.isString() ? Value(NSURL::URLWithString(v.asString())) : Value(); }},
        {"JSONObjectFromNSURL:",
         [](const Value& v) {
             auto url = v.objectAs<NSURL>();
             return url ? Value(url->absoluteString()) : Value();
         }},
        {"__NSDateFromNSString:", dateFromString},
        {"__JSONObjectFromNSDate:",
         [](const Value& v) {
             return v.isDate() ? Value(MMValueTransformer::exportDateFormatter().stringFromDate(v.asDate())) : Value();
         }},
        {"NSDateFromNSNumber:",
         [](const Value& v) { return Value(NSDate::dateWithTimeIntervalSince1970(v.doubleValue())); }},
        {"NSTimeZoneFromNSString:",
         [](const Value& v) { return v.isString() ? Value(NSTimeZone::timeZoneWithName(v.asStdString())) : Value(); }},
        {"JSONObjectFromNSTimeZone:",
         [](const Value& v) {
             auto zone = v.objectAs<NSTimeZone>();
             return zone ? Value(zone->name()) : Value();
         }},
        {"__NSDictionaryFromNSArray:", [](const Value& v) { return dictionaryFromArray(v, false); }},
        {"__NSMutableDictionaryFromNSArray:", [](const Value& v) { return dictionaryFromArray(v, true); }},
    };
}

Registry& registry() {
    static Registry* r = [] {
        auto* reg = new Registry;
        reg->converters = builtInConverters();
        return reg;
    }();
    return *r;
}

}  // namespace

// The built-in conversions are in place before any model class loads.
NS_CLASS_LOAD(MMValueTransformer) { registry(); }

MMValueTransformer::MMValueTransformer() {
    // Rows in order; a code that appears twice keeps its later name.
    static const std::pair<const char*, const char*> rows[] = {
        {"f", "float"},        {"i", "int"},          {"d", "double"},
        {"l", "long"},         {"B", "BOOL"},         {"s", "short"},
        {"I", "unsigned int"}, {"L", "usigned long"}, {"q", "long long"},
        {"Q", "unsigned long long"}, {"S", "unsigned short"}, {"c", "char"},
        {"C", "unsigned char"}, {"I", "NSInteger"},   {"Q", "NSUInteger"},
        {"B", "BOOL"},         {"@?", "Block"},
    };
    for (const auto& [code, name] : rows) primitivesNames_[code] = name;
}

MMValueTransformer& MMValueTransformer::shared() {
    static auto* instance = new MMValueTransformer;
    return *instance;
}

void MMValueTransformer::registerConverter(const std::string& selector, Converter converter) {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    r.converters[selector] = std::move(converter);
}

bool MMValueTransformer::respondsToSelector(std::string_view selector) const {
    Registry& r = registry();
    std::shared_lock lock(r.mutex);
    return r.converters.find(selector) != r.converters.end() || NSObject::respondsToSelector(selector);
}

std::optional<Value> MMValueTransformer::transform(std::string_view selector, const Value& value) const {
    Converter converter;
    {
        Registry& r = registry();
        std::shared_lock lock(r.mutex);
        auto it = r.converters.find(selector);
        if (it == r.converters.end()) return std::nullopt;
        converter = it->second;
    }
    return converter(value);
}

std::string MMValueTransformer::classByResolvingClusterClasses(const Value& value) {
    switch (value.type()) {
        case Value::Type::String: return "NSString";
        case Value::Type::Bool:
        case Value::Type::Int:
        case Value::Type::UInt:
        case Value::Type::Double:
        case Value::Type::Decimal: return "NSNumber";
        case Value::Type::Array: return "NSArray";
        case Value::Type::Dictionary: return "NSDictionary";
        case Value::Type::Date: return "NSDate";
        case Value::Type::Object: return value.asObject()->className();
        default: return classForValue(value).name();
    }
}

std::string MMValueTransformer::classByResolvingClusterClasses(const std::string& className) {
    ObjCClass* cls = ObjCClass::named(className);
    if (!cls) return className;
    for (const char* family : {"NSString", "NSNumber", "NSArray", "NSDictionary", "NSDate"}) {
        ObjCClass* f = ObjCClass::named(family);
        if (f && cls->isSubclassOfClass(f)) return family;
    }
    return className;
}

namespace {
NSDateFormatter* makeFormatter(const char* pattern) {
    auto* f = new NSDateFormatter;
    f->setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"));
    f->setDateFormat(pattern);
    return f;
}
}  // namespace

const NSDateFormatter& MMValueTransformer::importDateFormatter() {
    static NSDateFormatter* f = makeFormatter("yyyy-MM-dd'T'HHmmssZZZ");
    return *f;
}

const NSDateFormatter& MMValueTransformer::exportDateFormatter() {
    static NSDateFormatter* f = makeFormatter("yyyy-MM-dd'T'HH:mm:ssZZZ");
    return *f;
}
