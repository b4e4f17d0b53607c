#include <platform_runtime/Value.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <platform_runtime/NSObject.h>

namespace {

struct KindCase {
    const char* label;
    Value value;
    Value::Type type;
    bool isNumber;
};

TEST(ValueKinds, ConstructionKeepsTheKind) {
    const KindCase cases[] = {
        {"default", Value(), Value::Type::Null, false},
        {"nullptr", Value(nullptr), Value::Type::Null, false},
        {"null char*", Value(static_cast<const char*>(nullptr)), Value::Type::Null, false},
        {"null object", Value(std::shared_ptr<NSObject>()), Value::Type::Null, false},
        {"bool", Value(true), Value::Type::Bool, true},
        {"char", Value('a'), Value::Type::Int, true},
        {"short", Value(short{-3}), Value::Type::Int, true},
        {"int", Value(-3), Value::Type::Int, true},
        {"int64", Value(int64_t{-3}), Value::Type::Int, true},
        {"small unsigned", Value(1u), Value::Type::UInt, true},
        {"uint8", Value(uint8_t{7}), Value::Type::UInt, true},
        {"size_t", Value(std::size_t{7}), Value::Type::UInt, true},
        {"float", Value(1.5f), Value::Type::Double, true},
        {"double", Value(1.0), Value::Type::Double, true},
        {"decimal", Value(NSDecimal(5)), Value::Type::Decimal, true},
        {"literal", Value("x"), Value::Type::String, false},
        {"std::string", Value(std::string("x")), Value::Type::String, false},
        {"string_view", Value(std::string_view("x")), Value::Type::String, false},
        {"data", Value(Value::Data{1, 2}), Value::Type::Data, false},
        {"date", Value(NSDate(5)), Value::Type::Date, false},
        {"array", Value::array({1, 2}), Value::Type::Array, false},
        {"dictionary", Value::dict({{"a", 1}}), Value::Type::Dictionary, false},
        {"set", Value::set({1, 2}), Value::Type::Set, false},
        {"point", Value(CGPoint{1, 2}), Value::Type::Geometry, false},
        {"object", Value(std::make_shared<NSObject>()), Value::Type::Object, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.value.type(), c.type);
        EXPECT_EQ(c.value.isNumber(), c.isNumber);
    }
    EXPECT_STREQ(Value(true).typeName(), "Bool");
    EXPECT_STREQ(Value(1u).typeName(), "UInt");
}

TEST(ValueKinds, ComparesWithPlainLiterals) {
    char buffer[] = "abc";
    EXPECT_TRUE(Value(buffer).isString());
    EXPECT_TRUE(Value("abc") == "abc");
    EXPECT_TRUE("abc" == Value("abc"));
    EXPECT_TRUE(Value(1) != 2);
    EXPECT_TRUE(2.0 != Value(1));
    static_assert(!std::is_constructible_v<Value, NSObject*>, "raw pointers must not become Bool");
    static_assert(!std::is_constructible_v<Value, const void*>);
}

TEST(ValueKinds, ExactAccessorsAnswerDefaultsForOtherKinds) {
    const Value one(1);
    EXPECT_EQ(one.asInt(), 1);
    EXPECT_EQ(one.asUInt(), 0u);
    EXPECT_EQ(one.asDouble(), 0.0);
    EXPECT_FALSE(one.asBool());
    EXPECT_TRUE(one.asString().empty());
    EXPECT_TRUE(one.asArray().empty());
    EXPECT_TRUE(one.asDictionary().empty());
    EXPECT_TRUE(one.asSet().empty());
    EXPECT_TRUE(one.asData().empty());
    EXPECT_EQ(one.asObject(), nullptr);
    EXPECT_TRUE(one.asDecimal().isZero());
    EXPECT_EQ(one.asDate(), NSDate());

    EXPECT_EQ(Value(UINT64_MAX).asUInt(), UINT64_MAX);
    EXPECT_EQ(Value(NSDate(12.5)).asDate().timeIntervalSinceReferenceDate(), 12.5);
    EXPECT_EQ(Value("é").asString(), "é");
    EXPECT_EQ(Value::data("ab", 2).asData(), (Value::Data{'a', 'b'}));
}

class Thing : public NSObject {
public:
    std::string className() const override { return "Thing"; }
};

TEST(ValueKinds, ObjectsKeepTheirClass) {
    auto thing = std::make_shared<Thing>();
    const Value v(thing);
    EXPECT_EQ(v.asObject().get(), thing.get());
    EXPECT_EQ(v.objectAs<Thing>(), thing);
    EXPECT_EQ(Value(1).objectAs<Thing>(), nullptr);
    EXPECT_EQ(Value(std::make_shared<NSObject>()).objectAs<Thing>(), nullptr);
}

struct ConversionCase {
    const char* label;
    Value value;
    bool b;
    int32_t i32;
    int64_t i64;
    uint64_t u64;
    double d;
};

TEST(ValueConversions, NumbersAndStrings) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const ConversionCase cases[] = {
        {"null", Value(), false, 0, 0, 0, 0},
        {"true", Value(true), true, 1, 1, 1, 1},
        {"false", Value(false), false, 0, 0, 0, 0},
        {"int", Value(-7), true, -7, -7, static_cast<uint64_t>(-7), -7},
        {"int beyond int32", Value(int64_t{5'000'000'000}), true, INT32_MAX, 5'000'000'000, 5'000'000'000, 5e9},
        {"negative beyond int32", Value(int64_t{-5'000'000'000}), true, INT32_MIN, -5'000'000'000,
         static_cast<uint64_t>(int64_t{-5'000'000'000}), -5e9},
        {"uint max", Value(UINT64_MAX), true, INT32_MAX, INT64_MAX, UINT64_MAX, 18446744073709551615.0},
        {"double truncates", Value(3.99), true, 3, 3, 3, 3.99},
        {"negative double", Value(-3.99), true, -3, -3, static_cast<uint64_t>(int64_t{-3}), -3.99},
        {"half is true", Value(0.5), true, 0, 0, 0, 0.5},
        {"huge double clamps", Value(1e300), true, INT32_MAX, INT64_MAX, UINT64_MAX, 1e300},
        {"-inf clamps", Value(-inf), true, INT32_MIN, INT64_MIN, static_cast<uint64_t>(INT64_MIN), -inf},
        {"nan is 0", Value(std::nan("")), true, 0, 0, 0, std::nan("")},
        {"decimal", Value(NSDecimal::fromString("-12.75")), true, -12, -12, static_cast<uint64_t>(int64_t{-12}), -12.75},
        {"decimal large", Value(NSDecimal::fromString("18446744073709551615")), true, INT32_MAX, INT64_MAX, UINT64_MAX,
         18446744073709551615.0},
        {"leading number", Value("12abc"), true, 12, 12, 12, 12},
        {"letters", Value("abc"), false, 0, 0, 0, 0},
        {"spaces and sign", Value(" \t\n-42.5e1x"), true, -42, -42, static_cast<uint64_t>(int64_t{-42}), -425},
        {"yes", Value("YES"), true, 0, 0, 0, 0},
        {"true word", Value("true"), true, 0, 0, 0, 0},
        {"zero fraction", Value("0.5"), false, 0, 0, 0, 0.5},
        {"int32 overflow", Value("99999999999"), true, INT32_MAX, 99999999999, 99999999999, 99999999999.0},
        {"array", Value::array({1}), false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.value.boolValue(), c.b);
        EXPECT_EQ(c.value.intValue(), c.i32);
        EXPECT_EQ(c.value.integerValue(), c.i64);
        EXPECT_EQ(c.value.longLongValue(), c.i64);
        EXPECT_EQ(c.value.unsignedLongLongValue(), c.u64);
        if (std::isnan(c.d)) {
            EXPECT_TRUE(std::isnan(c.value.doubleValue()));
        } else {
            EXPECT_EQ(c.value.doubleValue(), c.d);
        }
    }
}

TEST(ValueConversions, StringValueIsCanonical) {
    const std::pair<Value, std::string> cases[] = {
        {Value(true), "1"},
        {Value(false), "0"},
        {Value(INT64_MIN), "-9223372036854775808"},
        {Value(UINT64_MAX), "18446744073709551615"},
        {Value(0.1), "0.1"},
        {Value(1.0), "1"},
        {Value(-2.5), "-2.5"},
        {Value(1000000.0), "1000000"},
        {Value(0.30000000000000004), "0.30000000000000004"},
        {Value(1e16), "1e+16"},
        {Value(1.5e-5), "1.5e-05"},
        {Value(0.0001), "0.0001"},
        {Value(1.0f / 3.0f), "0.3333333432674408"},
        {Value(NSDecimal::fromString("1.50")), "1.5"},
        {Value("text"), "text"},
        {Value(), ""},
        {Value(NSDate()), "2001-01-01 00:00:00 +0000"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(v.stringValue(), text) << v.typeName();
    // Shortest text reads back to the same double.
    for (double d : {0.1, 1.0 / 3, 2.0 / 3 * 1e-10, 123456.789, 2.2250738585072014e-308, 1.7976931348623157e308})
        EXPECT_EQ(std::stod(Value(d).stringValue()), d);
}

TEST(ValueConversions, DecimalValue) {
    EXPECT_EQ(Value(3).decimalValue().stringValue(), "3");
    EXPECT_EQ(Value(UINT64_MAX).decimalValue().stringValue(), "18446744073709551615");
    EXPECT_EQ(Value(0.1).decimalValue().stringValue(), "0.1");
    EXPECT_EQ(Value("2.50").decimalValue().stringValue(), "2.5");
    EXPECT_TRUE(Value("x").decimalValue().isNaN());
}

TEST(ValueStrings, LengthAndIndexAreUtf16) {
    const Value s("a\xC3\xA9\xF0\x9F\x98\x80z");  // a, e-acute, an astral emoji, z
    EXPECT_EQ(s.length(), 5u);
    EXPECT_EQ(s.characterAtIndex(0), u'a');
    EXPECT_EQ(s.characterAtIndex(1), u'\u00E9');
    EXPECT_EQ(s.characterAtIndex(2), 0xD83D);
    EXPECT_EQ(s.characterAtIndex(3), 0xDE00);
    EXPECT_EQ(s.characterAtIndex(4), u'z');
    EXPECT_EQ(s.characterAtIndex(5), 0);
    EXPECT_EQ(s.substringWithRange(1, 3), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(Value(Value::Data{1, 2, 3}).length(), 3u);
    EXPECT_EQ(Value(12).length(), 0u);
}

TEST(ValueContainers, ReadAccess) {
    const Value a = Value::array({1, "two", Value()});
    EXPECT_EQ(a.count(), 3u);
    EXPECT_EQ(a[1], Value("two"));
    EXPECT_TRUE(a[2].isNull());
    EXPECT_TRUE(a.objectAtIndex(3).isNull());
    EXPECT_EQ(a.firstObject(), Value(1));
    EXPECT_TRUE(a.lastObject().isNull());
    EXPECT_TRUE(a.containsObject(Value(1.0)));
    EXPECT_EQ(a.indexOfObject(Value("two")), 1u);
    EXPECT_EQ(a.indexOfObject(Value("three")), Value::NotFound);

    const Value d = Value::dict({{"b", 2}, {"a", Value::dict({{"x", Value::dict({{"y", "deep"}})}})}});
    EXPECT_EQ(d.count(), 2u);
    EXPECT_EQ(d.objectForKey("b"), Value(2));
    EXPECT_TRUE(d.objectForKey("missing").isNull());
    EXPECT_EQ(d.valueForKeyPath("a.x.y"), Value("deep"));
    EXPECT_TRUE(d.valueForKeyPath("a.missing.y").isNull());
    EXPECT_TRUE(d.valueForKeyPath("b.c").isNull());
    EXPECT_EQ(d.allKeys(), Value::array({"a", "b"}));
    EXPECT_EQ(d.allValues()[1], Value(2));
    EXPECT_TRUE(d.containsObject("a"));

    for (const Value& notContainer : {Value(), Value(5), Value("s")}) {
        EXPECT_EQ(notContainer.count(), 0u);
        EXPECT_TRUE(notContainer[0].isNull());
        EXPECT_TRUE(notContainer.objectForKey("a").isNull());
        EXPECT_TRUE(notContainer.allKeys().asArray().empty());
    }
}

TEST(ValueContainers, NumericKeysOfDifferentKindsAreOneKey) {
    Value d = Value::mutableDictionary();
    d.setObject("int", 1);
    d.setObject("uint", 1u);
    d.setObject("double", 1.0);
    EXPECT_EQ(d.count(), 1u);
    EXPECT_EQ(d.objectForKey(Value(true)), Value("double"));
}

TEST(ValueContainers, ArrayMutation) {
    Value a = Value::mutableArray();
    a.addObject(1);
    a.addObject(3);
    a.insertObject(2, 1);
    a.insertObject(0, 0);
    a.insertObject(4, 4);  // at count appends
    a.insertObject(9, 9);  // past the end is ignored
    EXPECT_EQ(a, Value::array({0, 1, 2, 3, 4}));
    a.removeObjectAtIndex(0);
    a.removeObjectAtIndex(10);
    a.replaceObjectAtIndex(0, "one");
    a.addObject(2);
    a.removeObject(2);  // every equal element
    EXPECT_EQ(a, Value::array({"one", 3, 4}));
    a.removeAllObjects();
    EXPECT_EQ(a.count(), 0u);
}

TEST(ValueContainers, DictionaryMutationStoresNull) {
    Value d = Value::mutableDictionary();
    d.setObject(1, "a");
    d.setObject(Value(), "n");
    d.setObject(2, "a");
    EXPECT_EQ(d.count(), 2u);
    EXPECT_TRUE(d.containsObject("n"));
    EXPECT_EQ(d.objectForKey("a"), Value(2));
    d.removeObjectForKey("a");
    d.removeObjectForKey("absent");
    EXPECT_EQ(d.allKeys(), Value::array({"n"}));
}

TEST(ValueContainers, SetsStaySortedAndUnique) {
    Value s = Value::set({3, "b", 1, 1.0, true, "a"});
    EXPECT_EQ(s.count(), 4u);  // 1, 1.0 and true are one element
    EXPECT_EQ(s.asSet()[0], Value(1));
    s.addObject(2);
    s.addObject(3u);
    EXPECT_EQ(s.count(), 5u);
    EXPECT_TRUE(s.containsObject(2.0));
    s.removeObject(1);
    EXPECT_FALSE(s.containsObject(1));
    EXPECT_EQ(s, Value::set({2, 3, "a", "b"}));
    s.insertObject(7, 0);  // sets have no positions
    EXPECT_FALSE(s.containsObject(7));
}

TEST(ValueContainers, MutationOfOtherKindsIsIgnored) {
    Value n(5);
    n.addObject(1);
    n.setObject(1, "k");
    n.removeObjectAtIndex(0);
    EXPECT_EQ(n, Value(5));
    Value d = Value::dict({{"a", 1}});
    d.addObject(2);
    EXPECT_EQ(d.count(), 1u);
}

TEST(ValueCopies, MutationDoesNotLeakIntoCopies) {
    const Value original = Value::dict({{"list", Value::array({1, 2})}});
    Value copy = original;
    copy.setObject("x", "new");
    Value inner = copy.objectForKey("list");
    inner.addObject(3);
    copy.setObject(inner, "list");
    EXPECT_EQ(original.count(), 1u);
    EXPECT_EQ(original.objectForKey("list").count(), 2u);
    EXPECT_EQ(copy.objectForKey("list").count(), 3u);

    Value a = Value::array({1});
    const Value b = a;
    a.replaceObjectAtIndex(0, 2);
    EXPECT_EQ(b[0], Value(1));
}

TEST(ValueCopies, AddingAValueToItselfAddsASnapshot) {
    Value a = Value::array({1});
    a.addObject(a);
    a.insertObject(a, 0);
    EXPECT_EQ(a, Value::array({Value::array({1, Value::array({1})}), 1, Value::array({1})}));
    a.replaceObjectAtIndex(1, a[0]);
    EXPECT_EQ(a[1], a[0]);

    Value d = Value::dict({{"k", 1}});
    d.setObject(d, "self");
    EXPECT_EQ(d.objectForKey("self"), Value::dict({{"k", 1}}));
    d.setObject(d.objectForKey("self"), d.objectForKey("k"));  // key and value from inside
    EXPECT_EQ(d.count(), 3u);
    EXPECT_FALSE(d.description().empty());  // no cycle to recurse through
}

TEST(ValueCopies, TakingTextMovesOnlyWhatNoOtherHandleShares) {
    const std::string longText(64, 'x');  // beyond any in-place string storage
    Value alone(longText);
    EXPECT_TRUE(alone.hasUniquePayload());
    EXPECT_EQ(std::move(alone).takeString(), longText);

    Value first(longText);
    const Value second = first;
    EXPECT_FALSE(first.hasUniquePayload());
    EXPECT_EQ(std::move(first).takeString(), longText);
    EXPECT_EQ(second.asString(), longText);  // the other holder still has its text

    EXPECT_TRUE(Value(3).hasUniquePayload());
    EXPECT_EQ(Value(3).takeString(), "");
}

TEST(ValueCopies, MutabilityFlag) {
    const Value a = Value::array({1});
    EXPECT_FALSE(a.isMutable());
    Value m = a.mutableCopy();
    EXPECT_TRUE(m.isMutable());
    m.addObject(2);
    EXPECT_EQ(a.count(), 1u);
    const Value frozen = m.copy();
    EXPECT_FALSE(frozen.isMutable());
    EXPECT_EQ(frozen, m);  // the flag is not part of equality
    EXPECT_TRUE(Value::mutableDictionary().isMutable());
    EXPECT_TRUE(Value::mutableSet().isSet());
}

TEST(ValueGeometry, BoxesKeepTypeAndEncoding) {
    const Value p(CGPointMake(1, 2));
    const Value s(CGSizeMake(3, 4));
    const Value r(CGRectMake(1, 2, 3, 4));
    const Value i(UIEdgeInsetsMake(1, 2, 3, 4));
    const Value o(UIOffsetMake(5, 6));
    EXPECT_STREQ(p.geometryObjCType(), "{CGPoint=dd}");
    EXPECT_STREQ(s.geometryObjCType(), "{CGSize=dd}");
    EXPECT_STREQ(r.geometryObjCType(), "{CGRect={CGPoint=dd}{CGSize=dd}}");
    EXPECT_STREQ(i.geometryObjCType(), "{UIEdgeInsets=dddd}");
    EXPECT_STREQ(o.geometryObjCType(), "{UIOffset=dd}");
    EXPECT_STREQ(Value(1).geometryObjCType(), "");
    EXPECT_EQ(p.CGPointValue(), CGPointMake(1, 2));
    EXPECT_EQ(s.CGSizeValue(), CGSizeMake(3, 4));
    EXPECT_EQ(r.CGRectValue(), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(i.UIEdgeInsetsValue(), UIEdgeInsetsMake(1, 2, 3, 4));
    EXPECT_EQ(o.UIOffsetValue(), UIOffsetMake(5, 6));
    EXPECT_EQ(p.CGRectValue(), CGRectZero);  // other geometry kinds give zero
    // A point and an offset with the same numbers are different values.
    EXPECT_NE(Value(CGPointMake(5, 6)), o);
    EXPECT_NE(Value(CGPointMake(3, 4)), s);
}

}  // namespace
