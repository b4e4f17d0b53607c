#include <platform_foundation/NSPropertyListSerialization.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include <platform_foundation/CodecErrors.h>

#include "CodecTestHelpers.h"

using codec_test::sameKindsAndValues;

namespace {

const NSPropertyListFormat kFormats[] = {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0};

Value sample() {
    return Value::dict({
        {"bools", Value::array({true, false})},
        {"ints", Value::array({int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{255}, int64_t{65536},
                               std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()})},
        {"unsigned", Value::array({uint64_t{9223372036854775808ull}, std::numeric_limits<uint64_t>::max()})},
        {"reals", Value::array({0.1, 1e300, -2.5, 5e-324})},
        {"dates", Value::array({Value(NSDate(0)), Value(NSDate(-86400)), Value(NSDate(700000000.25)),
                                Value(NSDate::distantPast()), Value(NSDate::distantFuture())})},
        {"data", Value(Value::Data{0, 1, 2, 0xFF})},
        {"empty", Value::dict({})},
        {"strings", Value::array({"", "plain", "<&>\"'", "\xC3\xA9\xF0\x9F\x98\x80"})},
        {"nested", Value::dict({{"list", Value::array({Value::dict({{"k", "v"}})})}})},
    });
}

}  // namespace

TEST(PropertyList, RoundTripKeepsKindsInBothFormats) {
    const Value v = sample();
    for (auto format : kFormats) {
        NSErrorPtr error;
        const Value::Data data = NSPropertyListSerialization::dataWithPropertyList(v, format, 0, &error);
        ASSERT_FALSE(error) << format << " " << (error ? error->description() : "");
        ASSERT_FALSE(data.empty());
        NSPropertyListFormat found = NSPropertyListOpenStepFormat;
        const Value back = NSPropertyListSerialization::propertyListWithData(data, 0, &found, &error);
        ASSERT_FALSE(error) << format;
        EXPECT_EQ(found, format);
        Value expected = v;
        if (format == NSPropertyListXMLFormat_v1_0) {
            // XML dates carry whole seconds only.
            Value::Array dates;
            for (const Value& d : v.objectForKey("dates").asArray())
                dates.push_back(Value(NSDate(std::floor(d.asDate().timeIntervalSinceReferenceDate()))));
            expected.setObject(Value(dates), "dates");
        }
        EXPECT_TRUE(sameKindsAndValues(back, expected)) << format;
    }
}

TEST(PropertyList, BinaryKeepsNegativeZeroAndSubSecondDates) {
    const Value v = Value::array({-0.0, Value(NSDate(12.75)), Value(NSDate(-86400.5)), Value(NSDate(-0.25))});
    const Value back = NSPropertyListSerialization::propertyListWithData(
        NSPropertyListSerialization::dataWithPropertyList(v, NSPropertyListBinaryFormat_v1_0));
    EXPECT_TRUE(sameKindsAndValues(back, v));
}

TEST(PropertyList, MutabilityOptions) {
    const Value::Data data = NSPropertyListSerialization::dataWithPropertyList(
        Value::dict({{"a", Value::array({"s", Value(Value::Data{1})})}}), NSPropertyListBinaryFormat_v1_0);
    struct Case {
        NSPropertyListMutabilityOptions options;
        bool containers;
        bool leaves;
    };
    for (const Case& c : {Case{NSPropertyListImmutable, false, false}, Case{NSPropertyListMutableContainers, true, false},
                          Case{NSPropertyListMutableContainersAndLeaves, true, true}}) {
        const Value v = NSPropertyListSerialization::propertyListWithData(data, c.options);
        EXPECT_EQ(v.isMutable(), c.containers) << c.options;
        EXPECT_EQ(v.objectForKey("a").isMutable(), c.containers) << c.options;
        EXPECT_EQ(v.objectForKey("a")[0].isMutable(), c.leaves) << c.options;
        EXPECT_EQ(v.objectForKey("a")[1].isMutable(), c.leaves) << c.options;
    }
}

TEST(PropertyList, ValuesTheFormatCannotHoldAreErrors) {
    struct Case {
        const char* name;
        Value value;
    };
    const Case cases[] = {
        {"null value", Value::dict({{"k", Value()}})},
        {"null in array", Value::array({Value()})},
        {"top-level null", Value()},
        {"number key", Value::dict({{int64_t{1}, "v"}})},
        {"set", Value::set({int64_t{1}})},
        {"geometry", Value(CGRect{{0, 0}, {1, 1}})},
        {"object", Value::array({Value(std::make_shared<NSObject>())})},
        {"NUL in string", Value(std::string("a\0b", 3))},
    };
    for (const auto& c : cases) {
        for (auto format : kFormats) {
            EXPECT_FALSE(NSPropertyListSerialization::propertyList(c.value, format)) << c.name;
            NSErrorPtr error;
            EXPECT_TRUE(NSPropertyListSerialization::dataWithPropertyList(c.value, format, 0, &error).empty()) << c.name;
            ASSERT_TRUE(error) << c.name;
            EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
            EXPECT_EQ(error->code(), NSPropertyListWriteStreamError);
        }
    }
    EXPECT_TRUE(NSPropertyListSerialization::propertyList(sample(), NSPropertyListXMLFormat_v1_0));
    // OpenStep text is neither written nor considered valid for writing.
    NSErrorPtr error;
    EXPECT_FALSE(NSPropertyListSerialization::propertyList(sample(), NSPropertyListOpenStepFormat));
    EXPECT_TRUE(NSPropertyListSerialization::dataWithPropertyList(sample(), NSPropertyListOpenStepFormat, 0, &error).empty());
    EXPECT_TRUE(error);
}

TEST(PropertyList, CorruptInputIsAnErrorNeverACrash) {
    const Value::Data good = NSPropertyListSerialization::dataWithPropertyList(sample(), NSPropertyListBinaryFormat_v1_0);
    const Value::Data goodXML = NSPropertyListSerialization::dataWithPropertyList(sample(), NSPropertyListXMLFormat_v1_0);
    std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"wrong magic", "bplist01" + std::string(40, '\0')},
        {"magic only", "bplist00"},
        {"openstep text", "{ a = b; }"},
        {"json", "[1, 2]"},
        {"xml truncated", std::string(goodXML.begin(), goodXML.begin() + goodXML.size() / 2)},
        {"xml not a plist", "<html><body>hi</body></html>"},
        {"xml unclosed", "<plist version=\"1.0\"><array><string>a</array></plist>"},
        {"xml key with NUL reference", "<plist version=\"1.0\"><dict><key>a&#0;b</key><integer>1</integer></dict></plist>"},
    };
    for (std::size_t cut : {good.size() - 1, good.size() - 10, good.size() - 33, std::size_t{9}})
        cases.push_back({"binary truncated at " + std::to_string(cut), std::string(good.begin(), good.begin() + cut)});
    for (const auto& [name, bytes] : cases) {
        NSErrorPtr error;
        const Value v = NSPropertyListSerialization::propertyListWithData(std::string_view(bytes), 0, nullptr, &error);
        EXPECT_TRUE(v.isNull()) << name;
        ASSERT_TRUE(error) << name;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain) << name;
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError) << name;
    }
}

TEST(PropertyList, RandomlyDamagedBinaryNeverCrashes) {
    const Value::Data good = NSPropertyListSerialization::dataWithPropertyList(sample(), NSPropertyListBinaryFormat_v1_0);
    std::mt19937 rng(1234);
    for (int round = 0; round < 2000; ++round) {
        Value::Data bad = good;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) bad[8 + rng() % (bad.size() - 8)] = static_cast<uint8_t>(rng());
        NSErrorPtr error;
        const Value v = NSPropertyListSerialization::propertyListWithData(bad, 0, nullptr, &error);
        EXPECT_TRUE(v.isNull() == static_cast<bool>(error));
    }
    for (int round = 0; round < 500; ++round) {
        std::string noise = "bplist00";
        for (int i = 0; i < 64; ++i) noise += static_cast<char>(rng());
        NSErrorPtr error;
        NSPropertyListSerialization::propertyListWithData(std::string_view(noise), 0, nullptr, &error);
    }
}

TEST(PropertyList, DecimalsAreWrittenAsNumbers) {
    const Value v = Value::array({Value(NSDecimal::fromString("12")), Value(NSDecimal::fromString("1.5")),
                                  Value(NSDecimal::fromString("-3e4"))});
    const Value back = NSPropertyListSerialization::propertyListWithData(
        NSPropertyListSerialization::dataWithPropertyList(v, NSPropertyListBinaryFormat_v1_0));
    EXPECT_TRUE(sameKindsAndValues(back, Value::array({int64_t{12}, 1.5, int64_t{-30000}})));
}
