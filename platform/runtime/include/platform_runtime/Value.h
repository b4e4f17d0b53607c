#pragma once
// The dynamic value of the system (null, numbers, strings, data, dates, containers, boxed
// geometry, object references): a cheap copyable handle with copy-on-write payloads.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <new>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <platform_runtime/Geometry.h>
#include <platform_runtime/NSComparisonResult.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSDecimal.h>
#include <platform_runtime/ValueArena.h>
#include <platform_runtime/ValueSortedMap.h>
#include <platform_runtime/ValueText.h>

class NSObject;

class Value {
public:
    enum class Type { Null, Bool, Int, UInt, Double, Decimal, String, Data, Date, Array, Dictionary, Set, Geometry, Object };
    enum class GeometryKind { Point, Size, Rect, EdgeInsets, Offset };

    using Data = std::vector<uint8_t>;
    using Array = std::vector<Value>;
    using Dictionary = ValueSortedMap<Value, Value>;  // ordered by Value::compare
    using Set = std::vector<Value>;             // kept sorted by Value::compare, no duplicates

    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);

    // --- construction ---------------------------------------------------------------------
    Value() noexcept {}
    Value(std::nullptr_t) noexcept {}
    Value(bool b) noexcept : type_(Type::Bool), p_(b) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> && std::is_signed_v<T>, int> = 0>
    Value(T v) noexcept : type_(Type::Int), p_(static_cast<int64_t>(v)) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> && std::is_unsigned_v<T>, int> = 0>
    Value(T v) noexcept : type_(Type::UInt), p_(static_cast<uint64_t>(v)) {}
    Value(float v) noexcept : type_(Type::Double), p_(static_cast<double>(v)) {}
    Value(double v) noexcept : type_(Type::Double), p_(v) {}
    Value(const NSDecimal& d);
    Value(const char* s);  // nullptr gives Null
    Value(char* s) : Value(static_cast<const char*>(s)) {}
    // Any other raw pointer would silently become a Bool; objects go in as shared_ptr.
    template <class T>
    Value(T*) = delete;
    Value(const std::string& s);
    Value(std::string&& s);
    Value(std::string_view s);
    Value(const Data& d);
    Value(Data&& d);
    Value(const NSDate& d) : type_(Type::Date), p_(d.timeIntervalSinceReferenceDate()) {}
    Value(const Array& a);
    Value(Array&& a);
    Value(const Dictionary& d);
    Value(Dictionary&& d);
    // For decoders building a whole tree at once: the text's block or the container's header is
    // carved from `arena` (see ValueArena) instead of allocated alone. The value behaves as any
    // other of its kind.
    Value(std::string_view s, ValueArena& arena);
    Value(Array&& a, ValueArena& arena);
    Value(Dictionary&& d, ValueArena& arena);
    Value(const CGPoint& p) : Value(GeometryKind::Point, p.x, p.y, 0, 0) {}
    Value(const CGSize& s) : Value(GeometryKind::Size, s.width, s.height, 0, 0) {}
    Value(const CGRect& r) : Value(GeometryKind::Rect, r.origin.x, r.origin.y, r.size.width, r.size.height) {}
    Value(const UIEdgeInsets& i) : Value(GeometryKind::EdgeInsets, i.top, i.left, i.bottom, i.right) {}
    Value(const UIOffset& o) : Value(GeometryKind::Offset, o.horizontal, o.vertical, 0, 0) {}
    // Any shared_ptr to an NSObject subclass; a null pointer gives Null.
    template <class T, std::enable_if_t<std::is_convertible_v<T*, NSObject*>, int> = 0>
    Value(std::shared_ptr<T> obj) : Value(objectTag{}, std::shared_ptr<NSObject>(std::move(obj))) {}

    // Copies share the payload (text and containers are copied on write); a moved-from value is
    // Null.
    Value(const Value& other) noexcept : type_(other.type_), mutable_(other.mutable_) {
        if (type_ == Type::String) new (&p_.text) ValueText(other.p_.text);
        else if (holdsPointer(type_)) copyPointerFrom(other);
        else p_.u = other.p_.u;
    }
    Value(Value&& other) noexcept : type_(other.type_), mutable_(other.mutable_) { takeFrom(other); }
    // Both assignments take the new value out first: it may live inside what this value holds.
    Value& operator=(const Value& other) noexcept {
        Value copy(other);
        release();
        type_ = copy.type_, mutable_ = copy.mutable_;
        takeFrom(copy);
        return *this;
    }
    Value& operator=(Value&& other) noexcept {
        Value taken(std::move(other));
        release();
        type_ = taken.type_, mutable_ = taken.mutable_;
        takeFrom(taken);
        return *this;
    }
    ~Value() { release(); }

    static Value array(std::initializer_list<Value> items) { return Value(Array(items)); }
    static Value dict(std::initializer_list<std::pair<Value, Value>> items) { return Value(Dictionary(items)); }
    static Value set(std::vector<Value> items);
    static Value data(const void* bytes, std::size_t length);
    // Empty mutable containers (as the platform's mutable classes' `new`).
    static Value mutableArray();
    static Value mutableDictionary();
    static Value mutableSet();

    // --- inspection -----------------------------------------------------------------------
    Type type() const { return type_; }
    const char* typeName() const;  // "Null", "Bool", "Int", ... "Object"
    bool isNull() const { return type_ == Type::Null; }
    bool isBool() const { return type_ == Type::Bool; }
    // Bool, Int, UInt, Double and Decimal are all numbers.
    bool isNumber() const;
    bool isString() const { return type_ == Type::String; }
    bool isData() const { return type_ == Type::Data; }
    bool isDate() const { return type_ == Type::Date; }
    bool isArray() const { return type_ == Type::Array; }
    bool isDictionary() const { return type_ == Type::Dictionary; }
    bool isSet() const { return type_ == Type::Set; }
    bool isGeometry() const { return type_ == Type::Geometry; }
    bool isObject() const { return type_ == Type::Object; }

    // --- conversions (never throw) --------------------------------------------------------
    // Numbers: != 0. Strings: leading 'Y'/'y'/'T'/'t' or a non-zero leading number.
    bool boolValue() const;
    int32_t intValue() const;  // clamped to int32
    int64_t integerValue() const;
    int64_t longLongValue() const { return integerValue(); }
    uint64_t unsignedLongLongValue() const;
    uint64_t unsignedIntegerValue() const { return unsignedLongLongValue(); }
    uint32_t unsignedIntValue() const;
    double doubleValue() const;
    float floatValue() const;
    NSDecimal decimalValue() const;  // numbers and numeric strings; otherwise notANumber for strings, 0 else
    // Numbers: canonical text (Bool "1"/"0", integers exact, doubles shortest round-trip).
    // Strings unchanged; Null ""; anything else its description().
    std::string stringValue() const;

    // --- exact accessors: the payload, or a default/empty when the kind differs ------------
    bool asBool() const;
    int64_t asInt() const;
    uint64_t asUInt() const;
    double asDouble() const;
    const NSDecimal& asDecimal() const;
    // The text of a string ("" for other kinds): a view into the payload, valid while this handle
    // lives and is not assigned or mutated.
    std::string_view asString() const noexcept { return type_ == Type::String ? p_.text.view() : std::string_view(); }
    // The same text as an owned string, for callers that keep it.
    std::string asStdString() const { return std::string(asString()); }
    // The string as an owned string, releasing this handle's share of the text; "" for other kinds.
    std::string takeString() &&;
    const Data& asData() const;
    NSDate asDate() const;
    const Array& asArray() const { return type_ == Type::Array ? *p_.array : emptyArray(); }
    const Dictionary& asDictionary() const { return type_ == Type::Dictionary ? *p_.dictionary : emptyDictionary(); }
    const Set& asSet() const;
    const std::shared_ptr<NSObject>& asObject() const;
    template <class T>
    std::shared_ptr<T> objectAs() const {
        return std::dynamic_pointer_cast<T>(asObject());
    }

    // --- geometry -------------------------------------------------------------------------
    // "{CGPoint=dd}", "{CGSize=dd}", "{CGRect={CGPoint=dd}{CGSize=dd}}", "{UIEdgeInsets=dddd}",
    // "{UIOffset=dd}"; "" when not geometry.
    const char* geometryObjCType() const;
    GeometryKind geometryKind() const;  // Point when not geometry
    // Zero values when the kind differs.
    CGPoint CGPointValue() const;
    CGSize CGSizeValue() const;
    CGRect CGRectValue() const;
    UIEdgeInsets UIEdgeInsetsValue() const;
    UIOffset UIOffsetValue() const;

    // --- strings and data -----------------------------------------------------------------
    // Strings: UTF-16 code units. Data: bytes. Otherwise 0.
    std::size_t length() const;
    // UTF-16 code unit at index (0 when out of range or not a string).
    char16_t characterAtIndex(std::size_t index) const;
    // Substring by UTF-16 range, clamped ("" when not a string).
    std::string substringWithRange(std::size_t location, std::size_t length) const;

    // --- containers -----------------------------------------------------------------------
    std::size_t count() const;  // array/dictionary/set elements, 0 otherwise
    const Value& operator[](std::size_t index) const { return objectAtIndex(index); }
    const Value& objectAtIndex(std::size_t index) const;  // array (or set in order); Null when out of range
    const Value& firstObject() const;
    const Value& lastObject() const;
    const Value& objectForKey(const Value& key) const;  // Null when absent or not a dictionary
    // "a.b.c" through nested dictionaries; Null when a step is missing or not a dictionary.
    Value valueForKeyPath(std::string_view keyPath) const;
    bool containsObject(const Value& v) const;  // arrays and sets by element, dictionaries by key
    std::size_t indexOfObject(const Value& v) const;  // NotFound when absent
    Value allKeys() const;    // Array of keys (sorted), empty for non-dictionaries
    Value allValues() const;  // Array of values in key order

    // Mutation works on this handle only (copy-on-write). It applies to the matching kind and
    // is ignored otherwise; out-of-range indexes are ignored too.
    void addObject(const Value& v);                     // array: append; set: insert if absent
    void insertObject(const Value& v, std::size_t index);  // index == count appends
    void replaceObjectAtIndex(std::size_t index, const Value& v);
    void removeObjectAtIndex(std::size_t index);
    void removeObject(const Value& v);  // array: every equal element; set: the element
    void removeAllObjects();            // arrays, dictionaries, sets
    void setObject(const Value& v, const Value& key);  // a Null value is stored (as NSNull)
    void removeObjectForKey(const Value& key);
    // The container itself, to change or move from in place (a shared payload is copied first,
    // as for every mutation); nullptr for other kinds.
    Array* mutableArrayPayload();  // arrays and sets
    Dictionary* mutableDictionaryPayload();

    // --- mutability flag (answers "was it created mutable"; mutation is never refused) -----
    bool isMutable() const { return mutable_; }
    void setMutable(bool m) { mutable_ = m; }
    Value mutableCopy() const;
    // Whether no other handle shares this value's payload (values held inline: always), so
    // what it holds may be moved out without another holder seeing the change.
    bool hasUniquePayload() const;
    Value copy() const;  // immutable

    // --- equality and order ---------------------------------------------------------------
    // isEqual: semantics: numbers by numeric value across kinds (true == 1 == 1u == 1.0), strings
    // by bytes, containers deeply, objects via NSObject::isEqual, Null == Null. NaN equals NaN.
    bool isEqual(const Value& other) const { return compare(other) == NSOrderedSame; }
    // != and the reversed forms ("text" == v) come from C++20's rewriting of ==.
    bool operator==(const Value& other) const { return isEqual(other); }
    std::size_t hash() const;
    // Total order: by kind group (null < numbers < strings < data < dates < arrays <
    // dictionaries < sets < geometry < objects), then by value; numbers numerically, NaN first.
    NSComparisonResult compare(const Value& other) const;
    friend bool operator<(const Value& a, const Value& b) { return a.compare(b) == NSOrderedAscending; }

    // The "%@" text of the value.
    std::string description() const;

private:
    struct objectTag {};
    struct Geo {
        GeometryKind kind;
        double v[4];
    };
    Value(objectTag, std::shared_ptr<NSObject> obj);
    Value(GeometryKind kind, double a, double b, double c, double d);
    const Geo& geo() const { return *p_.geo; }
    static const Array& emptyArray();
    static const Dictionary& emptyDictionary();

    // The payload, chosen by type_: Null/Bool/Int/UInt/Double/Date(seconds) in place, text in
    // place or in its shared block, the rest behind a shared pointer (geometry is rare enough to
    // live behind one too). This keeps a Value at 24 bytes, and copying, moving and destroying
    // the plain kinds touches no pointer.
    union Payload {
        bool b;
        int64_t i;
        uint64_t u;
        double d;
        ValueText text;
        std::shared_ptr<const Geo> geo;
        std::shared_ptr<const NSDecimal> decimal;
        std::shared_ptr<Data> data;
        std::shared_ptr<Array> array;  // arrays and sets
        std::shared_ptr<Dictionary> dictionary;
        std::shared_ptr<NSObject> object;

        Payload() noexcept : u(0) {}
        explicit Payload(bool v) noexcept : u(0) { b = v; }
        explicit Payload(int64_t v) noexcept : i(v) {}
        explicit Payload(uint64_t v) noexcept : u(v) {}
        explicit Payload(double v) noexcept : d(v) {}
        ~Payload() {}
    };
    static_assert(sizeof(std::shared_ptr<Data>) == sizeof(Payload) && sizeof(ValueText) == sizeof(Payload));

    static constexpr bool holdsPointer(Type t) noexcept {
        constexpr unsigned kPointerKinds = 1u << static_cast<unsigned>(Type::Decimal) | 1u << static_cast<unsigned>(Type::Data) |
                                           1u << static_cast<unsigned>(Type::Array) | 1u << static_cast<unsigned>(Type::Dictionary) |
                                           1u << static_cast<unsigned>(Type::Set) | 1u << static_cast<unsigned>(Type::Geometry) |
                                           1u << static_cast<unsigned>(Type::Object);
        return (kPointerKinds >> static_cast<unsigned>(t)) & 1u;
    }
    void copyPointerFrom(const Value& other) noexcept;  // type_ already set to a pointer kind
    void releasePointer() noexcept;
    // Moves the payload of `other` (whose type_ and mutable_ this value already took) into the
    // raw payload of this one and leaves `other` Null. Text blocks and shared pointers stay
    // valid wherever their bytes sit, so the move is a copy of the bytes.
    void takeFrom(Value& other) noexcept {
        std::memcpy(static_cast<void*>(&p_), static_cast<const void*>(&other.p_), sizeof p_);
        other.type_ = Type::Null;
    }
    void release() noexcept {
        if (type_ == Type::String) p_.text.~ValueText();
        else if (holdsPointer(type_)) releasePointer();
    }

    Type type_ = Type::Null;
    bool mutable_ = false;
    Payload p_;
};

template <>
struct std::hash<Value> {
    std::size_t operator()(const Value& v) const { return v.hash(); }
};
