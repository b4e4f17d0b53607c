#include <platform_runtime/Value.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/NSStringNumbers.h>
#include <platform_runtime/UTF16.h>

#include "ValueNumberText.h"

namespace {

const Value& nullValue() {
    static const Value v;
    return v;
}

template <class T>
const T& emptyOf() {
    static const T v{};
    return v;
}

template <class T>
T clampDouble(double d) {
    if (std::isnan(d)) return 0;
    // Bounds as doubles: max() of 64-bit types is not exactly representable, so compare with >=.
    constexpr double lo = static_cast<double>(std::numeric_limits<T>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<T>::max());
    if (d <= lo) return std::numeric_limits<T>::min();
    if (d >= hi) return std::numeric_limits<T>::max();
    return static_cast<T>(d);
}

template <class T>
T clampInt(int64_t v) {
    if (v < static_cast<int64_t>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (v > static_cast<int64_t>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(v);
}

// Carves shared_ptr control blocks (with the container inside) from a ValueArena. Each block
// starts with the offset ValueArena::release() needs, so freeing one needs no arena: the
// allocator a control block keeps outlives the arena it names.
template <class T>
struct ArenaAllocator {
    static_assert(alignof(T) <= 8);
    using value_type = T;

    explicit ArenaAllocator(ValueArena& a) noexcept : arena(&a) {}
    template <class U>
    ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena(other.arena) {}

    T* allocate(std::size_t n) {
        uint32_t offset = 0;
        auto* part = static_cast<char*>(arena->allocate(kHeader + n * sizeof(T), offset));
        std::memcpy(part, &offset, sizeof offset);
        return reinterpret_cast<T*>(part + kHeader);
    }
    void deallocate(T* p, std::size_t) noexcept {
        char* part = reinterpret_cast<char*>(p) - kHeader;
        uint32_t offset = 0;
        std::memcpy(&offset, part, sizeof offset);
        ValueArena::release(part, offset);
    }
    template <class U>
    bool operator==(const ArenaAllocator<U>&) const noexcept {
        return true;  // any one frees what any other carved
    }

    static constexpr std::size_t kHeader = 8;
    ValueArena* arena;
};

}  // namespace

// --- construction -------------------------------------------------------------------------

// Each constructor makes its payload before setting type_: if making it throws, the value is
// never constructed, and nothing is destroyed.
Value::Value(const NSDecimal& d) {
    new (&p_.decimal) std::shared_ptr<const NSDecimal>(std::make_shared<const NSDecimal>(d));
    type_ = Type::Decimal;
}
Value::Value(const char* s) {
    if (s) new (&p_.text) ValueText(std::string_view(s)), type_ = Type::String;
}
Value::Value(const std::string& s) { new (&p_.text) ValueText(s), type_ = Type::String; }
Value::Value(std::string&& s) { new (&p_.text) ValueText(s), type_ = Type::String; }
Value::Value(std::string_view s) { new (&p_.text) ValueText(s), type_ = Type::String; }
Value::Value(const Data& d) { new (&p_.data) std::shared_ptr<Data>(std::make_shared<Data>(d)), type_ = Type::Data; }
Value::Value(Data&& d) {
    new (&p_.data) std::shared_ptr<Data>(std::make_shared<Data>(std::move(d))), type_ = Type::Data;
}
Value::Value(const Array& a) { new (&p_.array) std::shared_ptr<Array>(std::make_shared<Array>(a)), type_ = Type::Array; }
Value::Value(Array&& a) {
    new (&p_.array) std::shared_ptr<Array>(std::make_shared<Array>(std::move(a))), type_ = Type::Array;
}
Value::Value(const Dictionary& d) {
    new (&p_.dictionary) std::shared_ptr<Dictionary>(std::make_shared<Dictionary>(d)), type_ = Type::Dictionary;
}
Value::Value(Dictionary&& d) {
    new (&p_.dictionary) std::shared_ptr<Dictionary>(std::make_shared<Dictionary>(std::move(d))),
        type_ = Type::Dictionary;
}
Value::Value(std::string_view s, ValueArena& arena) { new (&p_.text) ValueText(s, arena), type_ = Type::String; }
Value::Value(Array&& a, ValueArena& arena) {
    new (&p_.array) std::shared_ptr<Array>(std::allocate_shared<Array>(ArenaAllocator<Array>(arena), std::move(a)));
    type_ = Type::Array;
}
Value::Value(Dictionary&& d, ValueArena& arena) {
    new (&p_.dictionary)
        std::shared_ptr<Dictionary>(std::allocate_shared<Dictionary>(ArenaAllocator<Dictionary>(arena), std::move(d)));
    type_ = Type::Dictionary;
}
Value::Value(objectTag, std::shared_ptr<NSObject> obj) {
    if (obj) new (&p_.object) std::shared_ptr<NSObject>(std::move(obj)), type_ = Type::Object;
}
Value::Value(GeometryKind kind, double a, double b, double c, double d) {
    new (&p_.geo) std::shared_ptr<const Geo>(std::make_shared<const Geo>(Geo{kind, {a, b, c, d}}));
    type_ = Type::Geometry;
}

void Value::copyPointerFrom(const Value& other) noexcept {
    switch (type_) {
        case Type::Decimal: new (&p_.decimal) std::shared_ptr<const NSDecimal>(other.p_.decimal); break;
        case Type::Data: new (&p_.data) std::shared_ptr<Data>(other.p_.data); break;
        case Type::Array:
        case Type::Set: new (&p_.array) std::shared_ptr<Array>(other.p_.array); break;
        case Type::Dictionary: new (&p_.dictionary) std::shared_ptr<Dictionary>(other.p_.dictionary); break;
        case Type::Geometry: new (&p_.geo) std::shared_ptr<const Geo>(other.p_.geo); break;
        case Type::Object: new (&p_.object) std::shared_ptr<NSObject>(other.p_.object); break;
        default: break;
    }
}

void Value::releasePointer() noexcept {
    using DecimalPtr = std::shared_ptr<const NSDecimal>;
    using DataPtr = std::shared_ptr<Data>;
    using ArrayPtr = std::shared_ptr<Array>;
    using DictionaryPtr = std::shared_ptr<Dictionary>;
    using GeoPtr = std::shared_ptr<const Geo>;
    using ObjectPtr = std::shared_ptr<NSObject>;
    switch (type_) {
        case Type::Decimal: p_.decimal.~DecimalPtr(); break;
        case Type::Data: p_.data.~DataPtr(); break;
        case Type::Array:
        case Type::Set: p_.array.~ArrayPtr(); break;
        case Type::Dictionary: p_.dictionary.~DictionaryPtr(); break;
        case Type::Geometry: p_.geo.~GeoPtr(); break;
        case Type::Object: p_.object.~ObjectPtr(); break;
        default: break;
    }
}

const Value::Array& Value::emptyArray() { return emptyOf<Array>(); }
const Value::Dictionary& Value::emptyDictionary() { return emptyOf<Dictionary>(); }

Value Value::set(std::vector<Value> items) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    Value v(std::move(items));
    v.type_ = Type::Set;
    return v;
}

Value Value::data(const void* bytes, std::size_t length) {
    const auto* b = static_cast<const uint8_t*>(bytes);
    return Value(Data(b, b + (b ? length : 0)));
}

Value Value::mutableArray() {
    Value v{Array{}};
    v.mutable_ = true;
    return v;
}

Value Value::mutableDictionary() {
    Value v{Dictionary{}};
    v.mutable_ = true;
    return v;
}

Value Value::mutableSet() {
    Value v = set({});
    v.mutable_ = true;
    return v;
}

// --- inspection ---------------------------------------------------------------------------

const char* Value::typeName() const {
    switch (type_) {
        case Type::Null: return "Null";
        case Type::Bool: return "Bool";
        case Type::Int: return "Int";
        case Type::UInt: return "UInt";
        case Type::Double: return "Double";
        case Type::Decimal: return "Decimal";
        case Type::String: return "String";
        case Type::Data: return "Data";
        case Type::Date: return "Date";
        case Type::Array: return "Array";
        case Type::Dictionary: return "Dictionary";
        case Type::Set: return "Set";
        case Type::Geometry: return "Geometry";
        case Type::Object: return "Object";
    }
    return "Null";
}

bool Value::isNumber() const {
    return type_ == Type::Bool || type_ == Type::Int || type_ == Type::UInt || type_ == Type::Double ||
           type_ == Type::Decimal;
}

// --- conversions --------------------------------------------------------------------------

bool Value::boolValue() const {
    switch (type_) {
        case Type::Bool: return asBool();
        case Type::Int: return asInt() != 0;
        case Type::UInt: return asUInt() != 0;
        case Type::Double: return asDouble() != 0;
        case Type::Decimal: return !asDecimal().isZero() && !asDecimal().isNaN();
        case Type::String: return NSStringBoolValue(asString());
        default: return false;
    }
}

int64_t Value::integerValue() const {
    switch (type_) {
        case Type::Bool: return asBool() ? 1 : 0;
        case Type::Int: return asInt();
        case Type::UInt:
            return asUInt() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                       ? std::numeric_limits<int64_t>::max()
                       : static_cast<int64_t>(asUInt());
        case Type::Double: return clampDouble<int64_t>(asDouble());
        case Type::Decimal: return asDecimal().longLongValue();
        case Type::String: return NSStringIntegerValue(asString());
        default: return 0;
    }
}

int32_t Value::intValue() const {
    if (type_ == Type::String) return NSStringIntValue(asString());
    if (type_ == Type::Double) return clampDouble<int32_t>(asDouble());
    return clampInt<int32_t>(integerValue());
}

uint64_t Value::unsignedLongLongValue() const {
    switch (type_) {
        case Type::Bool: return asBool() ? 1 : 0;
        // Negative numbers wrap, as the C conversion the platform performs does.
        case Type::Int: return static_cast<uint64_t>(asInt());
        case Type::UInt: return asUInt();
        case Type::Double: {
            const double d = asDouble();
            if (d < 0) return static_cast<uint64_t>(clampDouble<int64_t>(d));
            return clampDouble<uint64_t>(d);
        }
        case Type::Decimal: {
            const NSDecimal& d = asDecimal();
            if (d.isNaN()) return 0;
            if (d.isNegative()) return static_cast<uint64_t>(d.longLongValue());
            return NSStringUnsignedLongLongValue(d.stringValue());
        }
        case Type::String: return NSStringUnsignedLongLongValue(asString());
        default: return 0;
    }
}

uint32_t Value::unsignedIntValue() const { return static_cast<uint32_t>(unsignedLongLongValue()); }

double Value::doubleValue() const {
    switch (type_) {
        case Type::Bool: return asBool() ? 1 : 0;
        case Type::Int: return static_cast<double>(asInt());
        case Type::UInt: return static_cast<double>(asUInt());
        case Type::Double: return asDouble();
        case Type::Decimal: return asDecimal().doubleValue();
        case Type::String: return NSStringDoubleValue(asString());
        default: return 0;
    }
}

float Value::floatValue() const { return static_cast<float>(doubleValue()); }

NSDecimal Value::decimalValue() const {
    switch (type_) {
        case Type::Bool: return NSDecimal(int64_t{asBool() ? 1 : 0});
        case Type::Int: return NSDecimal(asInt());
        case Type::UInt: return NSDecimal::fromUnsigned(asUInt());
        case Type::Double: return NSDecimal::fromDouble(asDouble());
        case Type::Decimal: return asDecimal();
        case Type::String: return NSDecimal::fromString(asString());
        default: return NSDecimal();
    }
}

std::string Value::stringValue() const {
    switch (type_) {
        case Type::Null: return "";
        case Type::Bool: return asBool() ? "1" : "0";
        case Type::Int: return std::to_string(asInt());
        case Type::UInt: return std::to_string(asUInt());
        case Type::Double: return valueNumberText(asDouble());
        case Type::Decimal: return asDecimal().stringValue();
        case Type::String: return asStdString();
        default: return description();
    }
}

// --- exact accessors ----------------------------------------------------------------------

bool Value::asBool() const { return type_ == Type::Bool && p_.b; }
int64_t Value::asInt() const { return type_ == Type::Int ? p_.i : 0; }
uint64_t Value::asUInt() const { return type_ == Type::UInt ? p_.u : 0; }
double Value::asDouble() const { return type_ == Type::Double ? p_.d : 0.0; }

const NSDecimal& Value::asDecimal() const {
    return type_ == Type::Decimal ? *p_.decimal : emptyOf<NSDecimal>();
}

std::string Value::takeString() && {
    if (type_ != Type::String) return {};
    std::string text(asString());
    release();
    type_ = Type::Null;
    return text;
}

bool Value::hasUniquePayload() const {
    if (type_ == Type::String) return p_.text.use_count() <= 1;
    switch (type_) {
        case Type::Decimal: return p_.decimal.use_count() <= 1;
        case Type::Data: return p_.data.use_count() <= 1;
        case Type::Array:
        case Type::Set: return p_.array.use_count() <= 1;
        case Type::Dictionary: return p_.dictionary.use_count() <= 1;
        case Type::Geometry: return p_.geo.use_count() <= 1;
        case Type::Object: return p_.object.use_count() <= 1;
        default: return true;
    }
}

const Value::Data& Value::asData() const {
    return type_ == Type::Data ? *p_.data : emptyOf<Data>();
}

NSDate Value::asDate() const { return type_ == Type::Date ? NSDate(p_.d) : NSDate(); }

const Value::Set& Value::asSet() const {
    return type_ == Type::Set ? *p_.array : emptyOf<Set>();
}

const std::shared_ptr<NSObject>& Value::asObject() const {
    return type_ == Type::Object ? p_.object : emptyOf<std::shared_ptr<NSObject>>();
}

// --- geometry -----------------------------------------------------------------------------

const char* Value::geometryObjCType() const {
    if (type_ != Type::Geometry) return "";
    switch (geo().kind) {
        case GeometryKind::Point: return "{CGPoint=dd}";
        case GeometryKind::Size: return "{CGSize=dd}";
        case GeometryKind::Rect: return "{CGRect={CGPoint=dd}{CGSize=dd}}";
        case GeometryKind::EdgeInsets: return "{UIEdgeInsets=dddd}";
        case GeometryKind::Offset: return "{UIOffset=dd}";
    }
    return "";
}

Value::GeometryKind Value::geometryKind() const {
    return type_ == Type::Geometry ? geo().kind : GeometryKind::Point;
}

CGPoint Value::CGPointValue() const {
    if (!isGeometry() || geometryKind() != GeometryKind::Point) return {};
    const auto& g = geo();
    return {g.v[0], g.v[1]};
}

CGSize Value::CGSizeValue() const {
    if (!isGeometry() || geometryKind() != GeometryKind::Size) return {};
    const auto& g = geo();
    return {g.v[0], g.v[1]};
}

CGRect Value::CGRectValue() const {
    if (!isGeometry() || geometryKind() != GeometryKind::Rect) return {};
    const auto& g = geo();
    return {{g.v[0], g.v[1]}, {g.v[2], g.v[3]}};
}

UIEdgeInsets Value::UIEdgeInsetsValue() const {
    if (!isGeometry() || geometryKind() != GeometryKind::EdgeInsets) return {};
    const auto& g = geo();
    return {g.v[0], g.v[1], g.v[2], g.v[3]};
}

UIOffset Value::UIOffsetValue() const {
    if (!isGeometry() || geometryKind() != GeometryKind::Offset) return {};
    const auto& g = geo();
    return {g.v[0], g.v[1]};
}

// --- strings and data ---------------------------------------------------------------------

std::size_t Value::length() const {
    if (type_ == Type::String) return utf16Length(asString());
    if (type_ == Type::Data) return asData().size();
    return 0;
}

char16_t Value::characterAtIndex(std::size_t index) const {
    return type_ == Type::String ? utf16CharacterAtIndex(asString(), index) : char16_t{0};
}

std::string Value::substringWithRange(std::size_t location, std::size_t length) const {
    return type_ == Type::String ? utf16Substring(asString(), location, length) : std::string();
}

// --- containers ---------------------------------------------------------------------------

std::size_t Value::count() const {
    switch (type_) {
        case Type::Array:
        case Type::Set: return p_.array->size();
        case Type::Dictionary: return asDictionary().size();
        default: return 0;
    }
}

const Value& Value::objectAtIndex(std::size_t index) const {
    if (type_ != Type::Array && type_ != Type::Set) return nullValue();
    const Array& a = *p_.array;
    return index < a.size() ? a[index] : nullValue();
}

const Value& Value::firstObject() const { return objectAtIndex(0); }

const Value& Value::lastObject() const {
    const std::size_t n = count();
    return n == 0 || isDictionary() ? nullValue() : objectAtIndex(n - 1);
}

const Value& Value::objectForKey(const Value& key) const {
    if (type_ != Type::Dictionary) return nullValue();
    const Dictionary& d = asDictionary();
    const auto it = d.find(key);
    return it == d.end() ? nullValue() : it->second;
}

Value Value::valueForKeyPath(std::string_view keyPath) const {
    const Value* current = this;
    while (true) {
        const auto dot = keyPath.find('.');
        const Value& next = current->objectForKey(Value(keyPath.substr(0, dot)));
        if (dot == std::string_view::npos) return next;
        current = &next;
        keyPath.remove_prefix(dot + 1);
    }
}

bool Value::containsObject(const Value& v) const {
    if (type_ == Type::Dictionary) return asDictionary().count(v) != 0;
    return indexOfObject(v) != NotFound;
}

std::size_t Value::indexOfObject(const Value& v) const {
    if (type_ == Type::Set) {
        const Set& s = asSet();
        const auto it = std::lower_bound(s.begin(), s.end(), v);
        return it != s.end() && *it == v ? static_cast<std::size_t>(it - s.begin()) : NotFound;
    }
    const Array& a = asArray();
    const auto it = std::find(a.begin(), a.end(), v);
    return it == a.end() ? NotFound : static_cast<std::size_t>(it - a.begin());
}

Value Value::allKeys() const {
    Array keys;
    for (const auto& [k, v] : asDictionary()) keys.push_back(k);
    return Value(std::move(keys));
}

Value Value::allValues() const {
    Array values;
    for (const auto& [k, v] : asDictionary()) values.push_back(v);
    return Value(std::move(values));
}

Value::Array* Value::mutableArrayPayload() {
    if (type_ != Type::Array && type_ != Type::Set) return nullptr;
    auto& sp = p_.array;
    if (sp.use_count() > 1) sp = std::make_shared<Array>(*sp);
    return sp.get();
}

Value::Dictionary* Value::mutableDictionaryPayload() {
    if (type_ != Type::Dictionary) return nullptr;
    auto& sp = p_.dictionary;
    if (sp.use_count() > 1) sp = std::make_shared<Dictionary>(*sp);
    return sp.get();
}

// The mutators copy their argument before taking the payload for writing: the argument may be
// this very value or one of its elements, and the copy makes the payload shared, so it is cloned
// rather than made to contain itself.

void Value::addObject(const Value& v) {
    Value item = v;
    if (type_ == Type::Set) {
        if (containsObject(item)) return;
        Array* s = mutableArrayPayload();
        s->insert(std::lower_bound(s->begin(), s->end(), item), std::move(item));
    } else if (Array* a = mutableArrayPayload()) {
        a->push_back(std::move(item));
    }
}

void Value::insertObject(const Value& v, std::size_t index) {
    if (type_ != Type::Array || index > count()) return;
    Value item = v;
    Array* a = mutableArrayPayload();
    a->insert(a->begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
}

void Value::replaceObjectAtIndex(std::size_t index, const Value& v) {
    if (type_ != Type::Array || index >= count()) return;
    Value item = v;
    (*mutableArrayPayload())[index] = std::move(item);
}

void Value::removeObjectAtIndex(std::size_t index) {
    if (type_ != Type::Array || index >= count()) return;
    Array* a = mutableArrayPayload();
    a->erase(a->begin() + static_cast<std::ptrdiff_t>(index));
}

void Value::removeObject(const Value& v) {
    if (!containsObject(v) || type_ == Type::Dictionary) return;
    const Value item = v;
    Array* a = mutableArrayPayload();
    a->erase(std::remove(a->begin(), a->end(), item), a->end());
}

void Value::removeAllObjects() {
    if (Array* a = mutableArrayPayload()) a->clear();
    if (Dictionary* d = mutableDictionaryPayload()) d->clear();
}

void Value::setObject(const Value& v, const Value& key) {
    if (type_ != Type::Dictionary) return;
    Value item = v, k = key;
    mutableDictionaryPayload()->insert_or_assign(std::move(k), std::move(item));
}

void Value::removeObjectForKey(const Value& key) {
    if (type_ != Type::Dictionary || !containsObject(key)) return;
    const Value k = key;
    mutableDictionaryPayload()->erase(k);
}

Value Value::mutableCopy() const {
    Value v = *this;
    v.mutable_ = true;
    return v;
}

Value Value::copy() const {
    Value v = *this;
    v.mutable_ = false;
    return v;
}
