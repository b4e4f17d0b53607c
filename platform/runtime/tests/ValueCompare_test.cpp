#include <platform_runtime/Value.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_set>

#include <platform_runtime/NSObject.h>

namespace {

// An object with value equality, to check that Value defers to NSObject::isEqual/hash.
class Tag : public NSObject {
public:
    explicit Tag(int n) : n_(n) {}
    bool isEqual(const NSObject& other) const override {
        const auto* t = dynamic_cast<const Tag*>(&other);
        return t && t->n_ == n_;
    }
    std::size_t hash() const override { return static_cast<std::size_t>(n_); }

private:
    int n_;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct EqualityCase {
    const char* label;
    Value a;
    Value b;
    bool equal;
};

TEST(ValueEquality, AsIsEqual) {
    const int64_t big = (int64_t{1} << 53) + 1;  // not representable as a double
    const EqualityCase cases[] = {
        {"int uint", Value(1), Value(1u), true},
        {"int double", Value(1), Value(1.0), true},
        {"bool int", Value(true), Value(1), true},
        {"bool double", Value(false), Value(0.0), true},
        {"negative zero", Value(0.0), Value(-0.0), true},
        {"int decimal", Value(12), Value(NSDecimal::fromString("12.0")), true},
        {"double decimal", Value(0.1), Value(NSDecimal::fromString("0.1")), true},
        {"big double decimal", Value(1152921504606846976.0), Value(NSDecimal::fromString("1152921504606846976")), true},
        {"nan nan", Value(kNaN), Value(kNaN), true},
        {"nan decimal nan", Value(kNaN), Value(NSDecimal::notANumber()), true},
        {"int fraction", Value(1), Value(1.5), false},
        {"big int vs nearest double", Value(big), Value(static_cast<double>(big)), false},
        {"negative int vs uint", Value(-1), Value(UINT64_MAX), false},
        {"uint max vs 2^64 double", Value(UINT64_MAX), Value(18446744073709551616.0), false},
        {"int64 min vs double", Value(INT64_MIN), Value(-9223372036854775808.0), true},
        {"number vs string", Value(1), Value("1"), false},
        {"null null", Value(), Value(nullptr), true},
        {"null vs zero", Value(), Value(0), false},
        {"strings by bytes", Value("e\xCC\x81"), Value("\xC3\xA9"), false},
        {"data", Value(Value::Data{1, 2}), Value(Value::Data{1, 2}), true},
        {"date", Value(NSDate(1)), Value(NSDate(1)), true},
        {"date vs number", Value(NSDate(1)), Value(1.0), false},
        {"arrays deep", Value::array({1, Value::array({2.0})}), Value::array({1u, Value::array({2})}), true},
        {"arrays length", Value::array({1}), Value::array({1, 1}), false},
        {"array vs set", Value::array({1}), Value::set({1}), false},
        {"dicts deep", Value::dict({{"a", Value::dict({{"b", 1}})}}), Value::dict({{"a", Value::dict({{"b", true}})}}), true},
        {"dicts values", Value::dict({{"a", 1}}), Value::dict({{"a", 2}}), false},
        {"sets any order", Value::set({1, 2, 3}), Value::set({3, 2, 1}), true},
        {"objects by isEqual", Value(std::make_shared<Tag>(1)), Value(std::make_shared<Tag>(1)), true},
        {"objects differ", Value(std::make_shared<Tag>(1)), Value(std::make_shared<Tag>(2)), false},
        {"identity objects", Value(std::make_shared<NSObject>()), Value(std::make_shared<NSObject>()), false},
        {"geometry", Value(CGRectMake(0, 0, 1, 1)), Value(CGRectMake(0, 0, 1, 1)), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.b == c.a, c.equal);
        EXPECT_EQ(c.a.isEqual(c.b), c.equal);
        EXPECT_EQ(c.a.compare(c.b) == NSOrderedSame, c.equal);
        if (c.equal) {
            EXPECT_EQ(c.a.hash(), c.b.hash());
        }
    }
}

TEST(ValueOrder, NumbersOrderNumericallyAcrossKinds) {
    const std::pair<Value, Value> ascending[] = {
        {Value(-1), Value(0u)},
        {Value(2), Value(2.5)},
        {Value(2.5), Value(3u)},
        {Value(INT64_MAX), Value(uint64_t{1} << 63)},
        {Value(static_cast<double>((int64_t{1} << 53))), Value((int64_t{1} << 53) + 1)},
        {Value(false), Value(0.5)},
        {Value(NSDecimal::fromString("0.1")), Value(0.2)},
        {Value(NSDecimal::fromString("-100")), Value(-99)},
        {Value(kNaN), Value(-kInf)},
        {Value(NSDecimal::notANumber()), Value(INT64_MIN)},
        {Value(UINT64_MAX), Value(kInf)},
        {Value(NSDecimal::fromString("1e100")), Value(1e101)},
    };
    for (const auto& [lo, hi] : ascending) {
        SCOPED_TRACE(lo.stringValue() + " < " + hi.stringValue());
        EXPECT_EQ(lo.compare(hi), NSOrderedAscending);
        EXPECT_EQ(hi.compare(lo), NSOrderedDescending);
    }
}

TEST(ValueOrder, KindGroupsComeInAFixedOrder) {
    const Value ordered[] = {Value(),
                             Value(1e300),
                             Value(""),
                             Value(Value::Data{}),
                             Value(NSDate(-1e9)),
                             Value::array({}),
                             Value::dict({}),
                             Value::set({}),
                             Value(CGPointMake(0, 0)),
                             Value(std::make_shared<NSObject>())};
    for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
        EXPECT_EQ(ordered[i].compare(ordered[i + 1]), NSOrderedAscending) << ordered[i].typeName();
    }
}

// The map ordering must be a strict weak order consistent with ==, or dictionaries misbehave.
TEST(ValueOrder, IsAStrictWeakOrderConsistentWithEqualityAndHash) {
    const auto obj = std::make_shared<Tag>(3);
    const std::vector<Value> pool = {
        Value(), Value(false), Value(true), Value(0), Value(1), Value(-1), Value(1u), Value(UINT64_MAX), Value(INT64_MIN),
        Value(0.0), Value(-0.0), Value(1.0), Value(0.5), Value(kNaN), Value(kInf), Value(-kInf), Value(1e19),
        Value(static_cast<double>(int64_t{1} << 53)), Value((int64_t{1} << 53) + 1), Value(NSDecimal::fromString("0.5")),
        Value(NSDecimal(1)), Value(NSDecimal::notANumber()), Value(NSDecimal::fromString("1e19")), Value(""), Value("a"),
        Value("b"), Value("ab"), Value(Value::Data{0}), Value(Value::Data{}), Value(NSDate(0)), Value(NSDate(kNaN)),
        Value::array({}), Value::array({1}), Value::array({1.0}), Value::array({Value()}), Value::dict({{"a", 1}}),
        Value::dict({{"a", 1u}}), Value::dict({{"b", 0}}), Value::set({1}), Value::set({1, 2}),
        Value(CGPointMake(1, 2)), Value(CGSizeMake(1, 2)), Value(CGPointMake(kNaN, 0)), Value(obj),
        Value(std::make_shared<Tag>(3)), Value(std::make_shared<Tag>(4)),
    };
    for (const Value& a : pool) {
        EXPECT_FALSE(a < a) << a.description();
        for (const Value& b : pool) {
            const auto ab = a.compare(b), ba = b.compare(a);
            ASSERT_EQ(static_cast<int>(ab), -static_cast<int>(ba)) << a.description() << " vs " << b.description();
            ASSERT_EQ(ab == NSOrderedSame, a == b);
            if (a == b) {
                ASSERT_EQ(a.hash(), b.hash()) << a.description() << " vs " << b.description();
            }
            for (const Value& c : pool) {
                if (a < b && b < c) {
                    ASSERT_TRUE(a < c) << a.description() << " < " << b.description() << " < " << c.description();
                }
                if (a == b && b == c) {
                    ASSERT_TRUE(a == c);
                }
            }
        }
    }
}

TEST(ValueHash, UsableInUnorderedContainers) {
    std::unordered_set<Value> seen;
    seen.insert(Value(1));
    seen.insert(Value(1.0));
    seen.insert(Value(true));
    seen.insert(Value("1"));
    seen.insert(Value::array({1, 2}));
    seen.insert(Value::array({1u, 2.0}));
    EXPECT_EQ(seen.size(), 3u);
}

}  // namespace
