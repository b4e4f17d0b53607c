#include <platform_foundation/NSPropertyListSerialization.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include <platform_foundation/CodecErrors.h>

#include "BinaryPlistBuilder.h"
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
        ASSERT_FALSE(error) << format << " " << error->description();
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

namespace {

using codec_test::BinaryPlistBuilder;

const char* kXMLHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";

std::string xmlDocument(const std::string& body) { return kXMLHead + body + "</plist>"; }

Value readPlist(const std::string& bytes, NSErrorPtr* error) {
    return NSPropertyListSerialization::propertyListWithData(std::string_view(bytes), 0, nullptr, error);
}

std::string binaryWith(void (*make)(BinaryPlistBuilder&, BinaryPlistBuilder::Ref&)) {
    BinaryPlistBuilder b;
    BinaryPlistBuilder::Ref top = 0;
    make(b, top);
    return b.build(top);
}

}  // namespace

// libplist reads many malformed values leniently (a prefix of a number, zero, 1970, empty
// data); each of these is refused. Well-formed neighbours of each still read as before.
TEST(PropertyList, MalformedValuesAreErrors) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case refused[] = {
        {"integer with trailing letters", xmlDocument("<integer>12abc</integer>")},
        {"real that is no number", xmlDocument("<real>abc</real>")},
        {"date that is no date", xmlDocument("<date>notadate</date>")},
        {"data that is no base64", xmlDocument("<data>!!!@@@</data>")},
        {"base64 without its padding", xmlDocument("<data>AAE</data>")},
        {"integer past 64 bits", xmlDocument("<integer>18446744073709551616</integer>")},
        {"negative integer past 64 bits", xmlDocument("<integer>-9223372036854775809</integer>")},
        {"key without a value", xmlDocument("<dict><key>a</key><integer>1</integer><key>b</key></dict>")},
        {"value without a key", xmlDocument("<dict><integer>1</integer></dict>")},
        {"trailing garbage", xmlDocument("<integer>1</integer>") + "garbage"},
        {"second root element", xmlDocument("<integer>1</integer>") + "<plist><integer>2</integer></plist>"},
        {"second value in plist", xmlDocument("<true/><false/>")},
        {"empty plist", xmlDocument("")},
        {"unknown element", xmlDocument("<ustring>x</ustring>")},
        {"unknown empty root element", "<document/>\n"},
        {"misplaced empty element", xmlDocument("<array><key/></array>")},
        {"entity declaration",
         "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaa\">]><plist><string>&a;</string></plist>"},
        {"binary date NaN", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.date(std::numeric_limits<double>::quiet_NaN());
         })},
        {"binary date 1e300", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) { top = b.date(1e300); })},
        {"binary key holding NUL", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.dict({b.ascii(std::string("a\0b", 3))}, {b.integer(1)});
         })},
        {"binary UTF-16 key holding NUL", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.dict({b.utf16({0x00E9, 0x0000})}, {b.integer(1)});
         })},
        {"binary key that is no string", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.dict({b.integer(1)}, {b.integer(1)});
         })},
        {"binary lone high surrogate", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.utf16({0x0041, 0xD83D});
         })},
        {"binary lone low surrogate", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.utf16({0xDE00, 0x0041});
         })},
        {"binary object referring to itself", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.reserve();
             b.setArray(top, {top});
         })},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        EXPECT_TRUE(readPlist(c.bytes, &error).isNull());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
    }

    struct Good {
        const char* name;
        std::string bytes;
        Value expected;
    };
    const Good accepted[] = {
        {"hexadecimal integer", xmlDocument("<integer>0x10</integer>"), Value(int64_t{16})},
        {"integer with spaces around it", xmlDocument("<integer> 12 </integer>"), Value(int64_t{12})},
        {"smallest integer", xmlDocument("<integer>-9223372036854775808</integer>"),
         Value(std::numeric_limits<int64_t>::min())},
        {"largest unsigned integer", xmlDocument("<integer>18446744073709551615</integer>"),
         Value(std::numeric_limits<uint64_t>::max())},
        {"real with exponent", xmlDocument("<real>1e5</real>"), Value(1e5)},
        {"infinite real", xmlDocument("<real>+infinity</real>"), Value(std::numeric_limits<double>::infinity())},
        {"date", xmlDocument("<date>2001-01-01T00:01:00Z</date>"), Value(NSDate(60))},
        {"padded base64 across lines", xmlDocument("<data>\n\tAAE=\n</data>"), Value(Value::Data{0, 1})},
        {"bare value without plist element", "<integer>5</integer>", Value(int64_t{5})},
        {"empty string element", xmlDocument("<string/>"), Value("")},
        {"character references", xmlDocument("<string>a&lt;&#x41;<![CDATA[<b>]]></string>"), Value("a<A<b>")},
        {"binary surrogate pair", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             top = b.utf16({0xD83D, 0xDE00});
         }),
         Value("\xF0\x9F\x98\x80")},
        {"binary shared references", binaryWith([](BinaryPlistBuilder& b, BinaryPlistBuilder::Ref& top) {
             const auto s = b.ascii("shared");
             const auto inner = b.array({s, s});
             top = b.dict({b.ascii("a"), b.ascii("b")}, {inner, inner});
         }),
         Value::dict({{"a", Value::array({"shared", "shared"})}, {"b", Value::array({"shared", "shared"})}})},
    };
    for (const Good& c : accepted) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        const Value v = readPlist(c.bytes, &error);
        ASSERT_FALSE(error) << error->description();
        EXPECT_TRUE(sameKindsAndValues(v, c.expected));
    }
}

// About forty arrays, each holding the next one twice: a 200-byte document that libplist
// would expand into 2^40 nodes. The expansion is measured before libplist sees it.
TEST(PropertyList, SharedReferenceBombsAreRefused) {
    BinaryPlistBuilder b;
    BinaryPlistBuilder::Ref next = b.integer(1);
    for (int level = 0; level < 40; ++level) next = b.array({next, next});
    const std::string bomb = b.build(next);
    EXPECT_LT(bomb.size(), 300u);
    NSErrorPtr error;
    EXPECT_TRUE(readPlist(bomb, &error).isNull());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
    EXPECT_NE(error->description().find("too many"), std::string::npos) << error->description();

    // Sixteen levels expand to 2^17 nodes: shared, yet within bounds.
    BinaryPlistBuilder small;
    BinaryPlistBuilder::Ref inner = small.integer(1);
    for (int level = 0; level < 16; ++level) inner = small.array({inner, inner});
    error.reset();
    const Value v = readPlist(small.build(inner), &error);
    ASSERT_FALSE(error) << error->description();
    EXPECT_EQ(v[1][0][1][0].count(), 2u);
}

// Nesting past the limit is an error in both formats, before any recursion can run out of
// stack; nesting up to it reads back.
TEST(PropertyList, DeepNestingIsAnErrorNotACrash) {
    constexpr std::size_t kLimit = 512;
    constexpr std::size_t kHostile = 100000;
    auto nestedXML = [](std::size_t depth) {
        std::string body;
        for (std::size_t i = 0; i < depth; ++i) body += "<array>";
        for (std::size_t i = 0; i < depth; ++i) body += "</array>";
        return xmlDocument(body);
    };
    auto nestedBinary = [](std::size_t depth) {
        BinaryPlistBuilder b;
        BinaryPlistBuilder::Ref inner = b.array({});
        for (std::size_t i = 1; i < depth; ++i) inner = b.array({inner});
        return b.build(inner);
    };
    const std::pair<const char*, std::string> refused[] = {
        {"XML", nestedXML(kHostile)},
        {"binary", nestedBinary(kHostile)},
        {"XML one past the limit", nestedXML(kLimit + 1)},
        {"binary one past the limit", nestedBinary(kLimit + 1)},
    };
    for (const auto& [name, bytes] : refused) {
        SCOPED_TRACE(name);
        NSErrorPtr error;
        EXPECT_TRUE(readPlist(bytes, &error).isNull());
        ASSERT_TRUE(error);
        EXPECT_NE(error->description().find("nested too deeply"), std::string::npos) << error->description();
    }
    for (const std::string& bytes : {nestedXML(kLimit), nestedBinary(kLimit)}) {
        NSErrorPtr error;
        EXPECT_TRUE(readPlist(bytes, &error).isArray());
        EXPECT_FALSE(error);
    }

    // Writing: a Value nested past the limit is refused, not recursed into.
    const codec_test::DeepArray deep(kHostile);
    for (auto format : kFormats) {
        NSErrorPtr error;
        EXPECT_TRUE(NSPropertyListSerialization::dataWithPropertyList(deep.value(), format, 0, &error).empty());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSPropertyListWriteStreamError);
    }
}
