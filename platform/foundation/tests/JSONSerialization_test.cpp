#include <platform_foundation/NSJSONSerialization.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <platform_foundation/CodecErrors.h>

#include "CodecTestHelpers.h"

using codec_test::sameKindsAndValues;

namespace {

Value parse(std::string_view text, NSJSONReadingOptions options = 0, NSErrorPtr* error = nullptr) {
    return NSJSONSerialization::JSONObjectWithData(text, options, error);
}

std::string write(const Value& v, NSJSONWritingOptions options = 0, NSErrorPtr* error = nullptr) {
    return NSJSONSerialization::stringWithJSONObject(v, options, error);
}

std::string debugText(const NSErrorPtr& e) { return e ? e->userInfo().at(Value(NSDebugDescriptionErrorKey)).asStdString() : ""; }

}  // namespace

TEST(JSONReading, ScalarsKeepTheirKind) {
    struct Case {
        const char* text;
        Value expected;
    };
    const Case cases[] = {
        {"true", Value(true)},
        {"false", Value(false)},
        {"0", Value(int64_t{0})},
        {"1", Value(int64_t{1})},
        {"-1", Value(int64_t{-1})},
        {"4294967296", Value(int64_t{4294967296})},
        {"9223372036854775807", Value(std::numeric_limits<int64_t>::max())},
        {"-9223372036854775808", Value(std::numeric_limits<int64_t>::min())},
        {"9223372036854775808", Value(uint64_t{9223372036854775808ull})},
        {"18446744073709551615", Value(std::numeric_limits<uint64_t>::max())},
        {"1.0", Value(1.0)},
        {"0.1", Value(0.1)},
        {"1e300", Value(1e300)},
        {"1E2", Value(100.0)},
        {"-0.0", Value(-0.0)},
        {"2.2250738585072014e-308", Value(2.2250738585072014e-308)},
        {"null", Value()},
        {"\"text\"", Value("text")},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        const Value v = parse(c.text, NSJSONReadingFragmentsAllowed, &error);
        EXPECT_FALSE(error) << c.text;
        EXPECT_TRUE(sameKindsAndValues(v, c.expected)) << c.text;
    }
}

TEST(JSONReading, ContainersAndEscapes) {
    const Value v = parse(R"({"b":[1,{"x":null}],"a":"\u00e9\ud83d\ude00\/\"\\\b\f\n\r\t","e":{},"z":[]})");
    ASSERT_TRUE(v.isDictionary());
    EXPECT_EQ(v.count(), 4u);
    EXPECT_EQ(v.objectForKey("a").asString(), "\xC3\xA9\xF0\x9F\x98\x80/\"\\\b\f\n\r\t");
    EXPECT_TRUE(v.objectForKey("b")[1].objectForKey("x").isNull());
    EXPECT_TRUE(v.objectForKey("b")[1].isDictionary());
    EXPECT_EQ(v.objectForKey("e").count(), 0u);
    EXPECT_TRUE(v.objectForKey("z").isArray());
    // A NUL escape is kept inside the string.
    EXPECT_EQ(parse(R"(["a\u0000b"])")[0].asString(), std::string("a\0b", 3));
    // Repeated keys: the last one wins.
    EXPECT_EQ(parse(R"({"k":1,"k":2})").objectForKey("k").asInt(), 2);
    // A UTF-8 byte-order mark is skipped.
    EXPECT_EQ(parse("\xEF\xBB\xBF[1]").count(), 1u);
}

// Sibling objects usually repeat their keys in one order, and the reader reuses the sorting it
// did for the previous one; every variation must still give the right dictionary.
TEST(JSONReading, SiblingObjectsWithVaryingKeys) {
    const Value v = parse(R"([
        {"b":1,"a":2,"c":3},
        {"b":4,"a":5,"c":6},
        {"a":7,"b":8,"c":9},
        {"b":10,"a":11},
        {"b":12,"b":13,"a":14,"c":15},
        {"b":16,"a":17,"c":18},
        {"b":19,"a":20,"d":21},
        {"x":{"b":22,"a":23},"y":{"a":24,"b":25}},
        {"x":{"b":26,"a":27},"y":{"b":28,"a":29}}
    ])");
    ASSERT_EQ(v.count(), 9u);
    const Value expected = Value::array({
        Value::dict({{"a", 2}, {"b", 1}, {"c", 3}}),
        Value::dict({{"a", 5}, {"b", 4}, {"c", 6}}),
        Value::dict({{"a", 7}, {"b", 8}, {"c", 9}}),
        Value::dict({{"a", 11}, {"b", 10}}),
        Value::dict({{"a", 14}, {"b", 13}, {"c", 15}}),
        Value::dict({{"a", 17}, {"b", 16}, {"c", 18}}),
        Value::dict({{"a", 20}, {"b", 19}, {"d", 21}}),
        Value::dict({{"x", Value::dict({{"a", 23}, {"b", 22}})}, {"y", Value::dict({{"a", 24}, {"b", 25}})}}),
        Value::dict({{"x", Value::dict({{"a", 27}, {"b", 26}})}, {"y", Value::dict({{"a", 29}, {"b", 28}})}}),
    });
    for (std::size_t i = 0; i < expected.count(); ++i) {
        EXPECT_EQ(v[i], expected[i]) << i << ": " << v[i].description();
        // Lookups search the sorted entries, so a wrong order shows up as a missing key.
        for (const auto& [key, value] : expected[i].asDictionary())
            EXPECT_EQ(v[i].objectForKey(key), value) << i << " " << key.asString();
    }
}

// The reader scans string runs and whitespace sixteen bytes at a time; every document length
// puts the end of the text at another place in such a block (an address-sanitizer build catches
// a scan that reads past the parsed copy).
TEST(JSONReading, VectorScansStayInsideTheText) {
    const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t n = 0; n <= 2 * letters.size(); ++n) {
        SCOPED_TRACE(n);
        std::string text;
        for (std::size_t i = 0; i < n; ++i) text += letters[i % letters.size()];
        const Value strings = parse("[\"" + text + "\"]");
        ASSERT_EQ(strings.count(), 1u);
        EXPECT_EQ(strings[0].asString(), text);
        const Value spaced = parse("[" + std::string(n, ' ') + "1" + std::string(n, '\n') + "]");
        ASSERT_EQ(spaced.count(), 1u);
        EXPECT_EQ(spaced[0].asInt(), 1);
    }
}

// The encoding check and the search for escapes look at sixteen bytes at a time with a byte-wise
// tail: a fault must be found wherever it falls in or after such a block.
TEST(JSONReading, EncodingFaultsFoundAtEveryPlace) {
    struct Case {
        const char* label;
        std::string fault;
        const char* what;
    };
    const Case cases[] = {{"lone low surrogate escape", "\\udc00", "Unpaired unicode surrogate"},
                          {"truncated sequence", "\xC3\x28", "Invalid UTF-8"},
                          {"encoded surrogate", "\xED\xA0\x80", "Invalid UTF-8"},
                          {"stray continuation byte", "\x80", "Invalid UTF-8"}};
    for (const auto& c : cases) {
        for (std::size_t before = 0; before <= 40; ++before) {
            SCOPED_TRACE(std::string(c.label) + " after " + std::to_string(before) + " bytes");
            for (const char* after : {"", "tail long enough to fill a block"}) {
                NSErrorPtr error;
                const Value v = parse("[\"" + std::string(before, 'a') + c.fault + after + "\"]", 0, &error);
                EXPECT_TRUE(v.isNull());
                ASSERT_TRUE(error);
                EXPECT_NE(debugText(error).find(c.what), std::string::npos) << debugText(error);
            }
        }
    }
    // The same places with valid text: a two-byte letter and an escape read back as written.
    for (std::size_t before = 0; before <= 40; ++before) {
        SCOPED_TRACE(before);
        const std::string prefix(before, 'a');
        EXPECT_EQ(parse("[\"" + prefix + "\xC3\xA9\\u00e9 tail long enough to fill a block\"]")[0].asString(),
                  prefix + "\xC3\xA9\xC3\xA9 tail long enough to fill a block");
    }
}

TEST(JSONReading, ErrorsSayWhatAndWhere) {
    struct Case {
        std::string text;
        const char* what;
        std::size_t index;
    };
    const Case cases[] = {
        {"", "empty data", 0},
        {"   ", "No value", 3},
        {"[1,]", "Invalid value", 3},
        {"[1 2]", "Badly formed array", 3},
        {"{\"a\" 1}", "No ':'", 5},
        {"{1:2}", "No string key", 1},
        {"{\"a\":1,}", "No string key", 7},
        {"[tru]", "Invalid value", 4},
        {"[01]", "Badly formed array", 2},
        {"[-]", "Invalid value", 2},
        {"[1.]", "Invalid number", 3},
        {"[\"abc", "Unterminated string", 5},
        {"[\"\\x\"]", "Invalid escape", 2},
        {"[\"\\u12G4\"]", "Invalid escape", 2},
        {"[\"\\ud800\"]", "surrogate", 2},
        {"[\"\\ud800\\u0041\"]", "surrogate", 2},
        {"[\"a\\udc00\"]", "Unpaired unicode surrogate", 0},
        {"[\"a\nb\"]", "Unescaped control character", 3},
        {"[\"\xC3\x28\"]", "Invalid UTF-8", 2},
        {"[\"\xED\xA0\x80\"]", "Invalid UTF-8", 2},
        {"\xFF", "Invalid value", 0},
        {"[1]x", "Garbage at end", 3},
        {std::string("[1]\0[2]", 7), "Garbage at end", 3},
        {"[1] [2]", "Garbage at end", 4},
        {"[NaN]", "Invalid value", 1},
        {"[1]\n\n  }", "line 3, column 2", 7},
        {"42", "did not start with array or object", 0},
        {"\"s\"", "did not start with array or object", 0},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        const Value v = parse(c.text, 0, &error);
        EXPECT_TRUE(v.isNull()) << c.text;
        ASSERT_TRUE(error) << c.text;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError) << c.text;
        EXPECT_NE(debugText(error).find(c.what), std::string::npos) << c.text << " -> " << debugText(error);
        if (c.index != 0) {
            EXPECT_EQ(error->userInfo().at(Value(NSJSONSerializationErrorIndex)).asInt(), static_cast<int64_t>(c.index))
                << c.text << " -> " << debugText(error);
        }
    }
}

TEST(JSONReading, DeepNestingIsAnErrorNotACrash) {
    const std::string ok = std::string(NSJSONSerialization::kMaxDepth, '[') + std::string(NSJSONSerialization::kMaxDepth, ']');
    EXPECT_TRUE(parse(ok).isArray());
    const std::string deep(200000, '[');
    NSErrorPtr error;
    EXPECT_TRUE(parse(deep, 0, &error).isNull());
    ASSERT_TRUE(error);
    EXPECT_NE(debugText(error).find("nested"), std::string::npos);
}

TEST(JSONReading, MutabilityOptions) {
    const char* text = R"({"a":["s"]})";
    const Value frozen = parse(text);
    EXPECT_FALSE(frozen.isMutable());
    EXPECT_FALSE(frozen.objectForKey("a").isMutable());

    const Value containers = parse(text, NSJSONReadingMutableContainers);
    EXPECT_TRUE(containers.isMutable());
    EXPECT_TRUE(containers.objectForKey("a").isMutable());
    EXPECT_FALSE(containers.objectForKey("a")[0].isMutable());

    const Value leaves = parse(text, NSJSONReadingMutableLeaves);
    EXPECT_FALSE(leaves.isMutable());
    EXPECT_TRUE(leaves.objectForKey("a")[0].isMutable());
}

TEST(JSONWriting, CompactAndPrettyOutput) {
    const Value v = Value::dict({{"b", Value::array({true, false, Value(), int64_t{-3}})},
                                 {"a", "x/y"},
                                 {"c", Value::dict({})},
                                 {"d", Value::array({})}});
    EXPECT_EQ(write(v), R"({"a":"x\/y","b":[true,false,null,-3],"c":{},"d":[]})");
    EXPECT_EQ(write(v, NSJSONWritingPrettyPrinted | NSJSONWritingSortedKeys),
              "{\n"
              "  \"a\" : \"x\\/y\",\n"
              "  \"b\" : [\n"
              "    true,\n"
              "    false,\n"
              "    null,\n"
              "    -3\n"
              "  ],\n"
              "  \"c\" : {},\n"
              "  \"d\" : []\n"
              "}");
    EXPECT_EQ(write(Value::array({"a/b"}), NSJSONWritingWithoutEscapingSlashes), R"(["a/b"])");
}

TEST(JSONWriting, ScalarsAndEscapes) {
    struct Case {
        Value value;
        const char* json;
    };
    const Case cases[] = {
        {Value(true), "true"},
        {Value(false), "false"},
        {Value(std::numeric_limits<uint64_t>::max()), "18446744073709551615"},
        {Value(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
        {Value(0.1), "0.1"},
        {Value(1.0), "1"},
        {Value(1e300), "1e+300"},
        {Value(-0.0), "-0.0"},
        {Value(1.5e-7), "1.5e-07"},
        {Value(NSDecimal::fromString("12345678901234567890.123456789")), "12345678901234567890.123456789"},
        {Value(std::string("q\"b\\s/\x01\x1f\b\f\n\r\t")), R"("q\"b\\s\/\u0001\u001f\b\f\n\r\t")"},
        {Value("\xC3\xA9\xF0\x9F\x98\x80"), "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {Value(std::string("a\0b", 3)), R"("a\u0000b")"},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        EXPECT_EQ(write(c.value, NSJSONWritingFragmentsAllowed, &error), c.json) << c.value.description();
        EXPECT_FALSE(error);
    }
}

TEST(JSONWriting, InvalidObjectsAreErrorsNotCrashes) {
    struct Case {
        const char* name;
        Value value;
        NSJSONWritingOptions options;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const codec_test::DeepArray pastTheLimit(NSJSONSerialization::kMaxDepth + 1), hostile(200000),
        atTheLimit(NSJSONSerialization::kMaxDepth);
    const Case cases[] = {
        {"NaN", Value::array({nan}), 0},
        {"+inf", Value::array({inf}), 0},
        {"-inf", Value::dict({{"k", -inf}}), 0},
        {"decimal NaN", Value::array({Value(NSDecimal::notANumber())}), 0},
        {"number key", Value::dict({{int64_t{1}, "v"}}), 0},
        {"null key", Value::dict({{Value(), "v"}}), 0},
        {"date", Value::array({Value(NSDate(0))}), 0},
        {"data", Value::array({Value(Value::Data{1, 2})}), 0},
        {"set", Value::array({Value::set({int64_t{1}})}), 0},
        {"geometry", Value::array({Value(CGPoint{1, 2})}), 0},
        {"object", Value::array({Value(std::make_shared<NSObject>())}), 0},
        {"nested deep", Value::array({Value::dict({{"a", Value::array({Value(NSDate(0))})}})}), 0},
        {"top-level string", Value("s"), 0},
        {"top-level null", Value(), 0},
        {"invalid UTF-8 string", Value::array({Value(std::string("a\xff\xfe"))}), 0},
        {"invalid UTF-8 fragment", Value(std::string("a\xff\xfe")), NSJSONWritingFragmentsAllowed},
        {"encoded surrogate", Value::array({Value(std::string("\xED\xA0\x80"))}), 0},
        {"overlong slash", Value::array({Value(std::string("\xC0\xAF"))}), 0},
        {"truncated sequence", Value::array({Value(std::string("\xC3"))}), 0},
        {"invalid UTF-8 key", Value::dict({{Value(std::string("k\xff")), "v"}}), 0},
        {"nested past the limit", pastTheLimit.value(), 0},
        {"nested 200000 deep", hostile.value(), 0},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(c.value, c.options)) << c.name;
        NSErrorPtr error;
        EXPECT_TRUE(NSJSONSerialization::dataWithJSONObject(c.value, c.options, &error).empty()) << c.name;
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSPropertyListWriteStreamError);
    }
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(Value("s"), NSJSONWritingFragmentsAllowed));
    EXPECT_EQ(write(atTheLimit.value()),
              std::string(NSJSONSerialization::kMaxDepth, '[') + std::string(NSJSONSerialization::kMaxDepth, ']'));
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(Value::dict({{"a", Value::array({Value(), 1.5, "x"})}})));
}

TEST(JSONRoundTrip, KindsSurviveWriteThenRead) {
    const Value v = Value::dict({
        {"bools", Value::array({true, false})},
        {"ints", Value::array({int64_t{0}, int64_t{1}, int64_t{-1}, std::numeric_limits<int64_t>::min(),
                               std::numeric_limits<int64_t>::max()})},
        {"big", Value(std::numeric_limits<uint64_t>::max())},
        {"doubles", Value::array({0.1, 1e300, -0.0, 1.5, 5e-324, 1.7976931348623157e308})},
        {"text", Value::array({"", "/", "\xF0\x9F\x98\x80", std::string("\0\x7f", 2), "\"\\"})},
        {"null", Value()},
    });
    for (NSJSONWritingOptions options : {0u, NSJSONWritingPrettyPrinted, NSJSONWritingWithoutEscapingSlashes}) {
        NSErrorPtr error;
        const Value back = parse(write(v, options), 0, &error);
        EXPECT_FALSE(error);
        EXPECT_TRUE(sameKindsAndValues(v, back)) << "options " << options;
    }
}
