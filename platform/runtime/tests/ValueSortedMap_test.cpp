#include <platform_runtime/ValueSortedMap.h>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <stdexcept>
#include <vector>

#include <platform_runtime/Value.h>

namespace {

using Dict = Value::Dictionary;
using Reference = std::map<Value, Value>;

void expectSame(const Reference& expected, const Dict& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    auto e = expected.begin();
    for (const auto& [k, v] : actual) {
        EXPECT_TRUE(k.isEqual(e->first)) << k.description() << " vs " << e->first.description();
        EXPECT_EQ(k.type(), e->first.type());
        EXPECT_TRUE(v.isEqual(e->second));
        ++e;
    }
}

// Random edits applied to the map and to std::map side by side: keys of mixed kinds, where
// numbers of different kinds are the same key (1 == 1u == 1.0), so which key object stays
// matters as much as the order.
TEST(ValueSortedMap, BehavesLikeStdMapUnderRandomEdits) {
    std::mt19937 rng(12345);
    auto randomKey = [&rng]() -> Value {
        const int n = static_cast<int>(rng() % 12);
        switch (rng() % 4) {
            case 0: return Value(n);
            case 1: return Value(static_cast<double>(n));
            case 2: return Value(static_cast<unsigned>(n));
            default: return Value("k" + std::to_string(n));
        }
    };
    Reference expected;
    Dict actual;
    for (int step = 0; step < 4000; ++step) {
        const Value key = randomKey();
        const Value value(step);
        switch (rng() % 8) {
            case 0: {
                const auto e = expected.insert({key, value});
                const auto a = actual.insert({key, value});
                EXPECT_EQ(e.second, a.second);
                EXPECT_TRUE(a.first->second.isEqual(e.first->second));
                break;
            }
            case 1: expected[key] = value, actual[key] = value; break;
            case 2: EXPECT_EQ(expected.erase(key), actual.erase(key)); break;
            case 3: {
                const auto e = expected.insert_or_assign(key, value);
                const auto a = actual.insert_or_assign(key, value);
                EXPECT_EQ(e.second, a.second);
                break;
            }
            case 4: {
                // A hint that is often wrong must still leave the map sorted.
                const std::size_t at = actual.empty() ? 0 : rng() % actual.size();
                expected.emplace_hint(expected.end(), key, value);
                actual.emplace_hint(actual.begin() + static_cast<std::ptrdiff_t>(at), key, value);
                break;
            }
            case 5: EXPECT_EQ(expected.count(key), actual.count(key)); break;
            case 6: {
                const auto e = expected.lower_bound(key);
                const auto a = actual.lower_bound(key);
                ASSERT_EQ(e == expected.end(), a == actual.end());
                if (a != actual.end()) {
                    EXPECT_TRUE(a->first.isEqual(e->first));
                }
                const auto eu = expected.upper_bound(key);
                const auto au = actual.upper_bound(key);
                EXPECT_EQ(std::distance(expected.begin(), eu), std::distance(actual.begin(), au));
                break;
            }
            default: {
                const auto e = expected.try_emplace(key, value);
                const auto a = actual.try_emplace(key, value);
                EXPECT_EQ(e.second, a.second);
                break;
            }
        }
        if (HasFailure()) break;
    }
    expectSame(expected, actual);
}

TEST(ValueSortedMap, RangeConstructionSortsAndKeepsTheFirstOfEqualKeys) {
    const std::vector<std::pair<Value, Value>> items = {{"b", 1}, {"a", 2}, {"b", 3}, {1, 4}, {1.0, 5}};
    const Dict d(items.begin(), items.end());
    const Reference r(items.begin(), items.end());
    expectSame(r, d);
    EXPECT_EQ(d.at(Value("b")).asInt(), 1);
    EXPECT_EQ(d.at(Value(1u)).asInt(), 4);
    const Dict listed = {{"z", 1}, {"y", 2}, {"z", 3}};
    EXPECT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed.begin()->first.asString(), "y");
    EXPECT_EQ(listed.at(Value("z")).asInt(), 1);
}

TEST(ValueSortedMap, LookupsOfAbsentKeys) {
    Dict d = {{"a", 1}};
    EXPECT_THROW(d.at(Value("b")), std::out_of_range);
    EXPECT_EQ(d.find(Value("b")), d.end());
    const auto [from, to] = d.equal_range(Value("a"));
    EXPECT_EQ(std::distance(from, to), 1);
    EXPECT_FALSE(d.contains(Value(1)));
    EXPECT_TRUE(d[Value("b")].isNull());  // operator[] adds a Null value, as std::map does
    EXPECT_EQ(d.size(), 2u);
}

TEST(ValueSortedMap, EraseByIteratorReturnsTheNextEntry) {
    Dict d = {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}};
    for (auto it = d.begin(); it != d.end();) it = it->first.asInt() % 2 ? d.erase(it) : std::next(it);
    const Reference expected = {{2, "b"}, {4, "d"}};
    expectSame(expected, d);
}

}  // namespace
