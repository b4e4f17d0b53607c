// The conversions found by selector name, value families and the primitive type table.

#include <gtest/gtest.h>

#include <cstdlib>

#include <model_mapping/MMValueTransformer.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_net/NSURL.h>

namespace {

Value convert(const char* selector, const Value& v) {
    auto out = MMValueTransformer::shared().transform(selector, v);
    EXPECT_TRUE(out) << selector;
    return out ? *out : Value();
}

TEST(ValueTransformer, BoolConversions) {
    struct Case {
        const char* selector;
        Value input;
        bool expected;
    };
    const Case cases[] = {
        {"BOOLFromNSString:", "TRUE", true},   {"BOOLFromNSString:", "Yes", true},
        {"BOOLFromNSString:", "1", true},      {"BOOLFromNSString:", "2", true},
        {"BOOLFromNSString:", "false", false}, {"BOOLFromNSString:", "no", false},
        {"BOOLFromNSString:", "0", false},     {"BOOLFromNSString:", "abc", false},
        {"BOOLFromNSString:", "", false},      {"BOOLFromNSString:", Value(), false},
        {"BOOLFromNSNumber:", Value(), false}, {"BOOLFromNSNumber:", 3, true},
        {"BOOLFromNSNumber:", 0, false},       {"JSONObjectFromBOOL:", 5, true},
        {"JSONObjectFromBOOL:", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.selector) + " " + c.input.description());
        Value out = convert(c.selector, c.input);
        EXPECT_TRUE(out.isBool());
        EXPECT_EQ(out.boolValue(), c.expected);
    }
}

TEST(ValueTransformer, TextNumberAndDecimal) {
    EXPECT_EQ(convert("NSNumberFromNSString:", "12.5"), Value(12.5));
    EXPECT_EQ(convert("NSNumberFromNSString:", "abc"), Value(0));
    EXPECT_EQ(convert("NSStringFromNSNumber:", 42), Value("42"));
    EXPECT_EQ(convert("NSStringFromNSNumber:", true), Value("1"));
    Value d = convert("NSDecimalNumberFromNSString:", "0.1");
    EXPECT_EQ(d.type(), Value::Type::Decimal);
    EXPECT_EQ(convert("NSStringFromNSDecimalNumber:", d), Value("0.1"));
    EXPECT_FLOAT_EQ(convert("floatFromNSString:", "1.5").floatValue(), 1.5f);
    EXPECT_FLOAT_EQ(convert("floatFromNSNumber:", 2).floatValue(), 2.0f);
}

TEST(ValueTransformer, Containers) {
    Value list = Value::array({1, 2, 2});
    EXPECT_TRUE(convert("NSMutableArrayFromNSArray:", list).isMutable());
    Value set = convert("NSSetFromNSArray:", list);
    EXPECT_TRUE(set.isSet());
    EXPECT_EQ(set.count(), 2u);
    EXPECT_EQ(convert("JSONObjectFromNSSet:", set), Value::array({1, 2}));
    EXPECT_TRUE(convert("NSMutableSetFromNSArray:", list).isMutable());
    EXPECT_EQ(convert("__NSDictionaryFromNSArray:", Value(Value::Array{})), Value(Value::Dictionary{}));
    EXPECT_TRUE(convert("__NSMutableDictionaryFromNSArray:", Value(Value::Array{})).isMutable());
    EXPECT_EQ(convert("__NSDictionaryFromNSArray:", list), list);
    Value text = convert("NSMutableStringFromNSString:", "abc");
    EXPECT_EQ(text, Value("abc"));
    EXPECT_TRUE(text.isMutable());
}

TEST(ValueTransformer, URLAndTimeZone) {
    Value url = convert("NSURLFromNSString:", "https://example.org/p?q=1");
    ASSERT_TRUE(url.objectAs<NSURL>());
    EXPECT_EQ(convert("JSONObjectFromNSURL:", url), Value("https://example.org/p?q=1"));
    EXPECT_TRUE(convert("NSURLFromNSString:", "two words").isNull());
    Value zone = convert("NSTimeZoneFromNSString:", "America/New_York");
    ASSERT_TRUE(zone.objectAs<NSTimeZone>());
    EXPECT_EQ(convert("JSONObjectFromNSTimeZone:", zone), Value("America/New_York"));
    EXPECT_TRUE(convert("NSTimeZoneFromNSString:", "Mars/Olympus").isNull());
}

TEST(ValueTransformer, DatesInBothPatternsAndZones) {
    struct Case {
        const char* text;
        std::optional<double> since1970;
    };
    const Case cases[] = {
        {"2021-03-04T05:06:07+01:00", 1614830767},
        {"2021-03-04T050607+0100", 1614830767},
        {"2021-03-04T05:06:07-0530", 1614854167},
        {"2021-03-04T05:06:07Z", 1614834367},
        {"2021-03-04", std::nullopt},
        {"yesterday", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Value d = convert("__NSDateFromNSString:", c.text);
        ASSERT_EQ(d.isDate(), c.since1970.has_value());
        if (c.since1970) {
            EXPECT_DOUBLE_EQ(d.asDate().timeIntervalSince1970(), *c.since1970);
        }
    }
    EXPECT_DOUBLE_EQ(convert("NSDateFromNSNumber:", 1.5).asDate().timeIntervalSince1970(), 1.5);
}

TEST(ValueTransformer, DateExportIsInTheDefaultZoneAndReadsBack) {
    NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName("Europe/Paris"));
    Value date(NSDate::dateWithTimeIntervalSince1970(1614830767));
    Value text = convert("__JSONObjectFromNSDate:", date);
    EXPECT_EQ(text, Value("2021-03-04T05:06:07+0100"));
    EXPECT_EQ(convert("__NSDateFromNSString:", text), date);
    NSTimeZone::setDefaultTimeZone(nullptr);
}

TEST(ValueTransformer, ModelProgramsAddConversions) {
    EXPECT_FALSE(MMValueTransformer::shared().respondsToSelector("NSStringFromNSArray:"));
    MMValueTransformer::registerConverter("NSStringFromNSArray:",
                                          [](const Value& v) { return Value(std::to_string(v.count())); });
    EXPECT_TRUE(MMValueTransformer::shared().respondsToSelector("NSStringFromNSArray:"));
    EXPECT_EQ(convert("NSStringFromNSArray:", Value::array({1, 2})), Value("2"));
}

TEST(ValueTransformer, FamiliesAndPrimitiveNames) {
    EXPECT_EQ(MMValueTransformer::classByResolvingClusterClasses(Value::mutableArray()), "NSArray");
    EXPECT_EQ(MMValueTransformer::classByResolvingClusterClasses(Value(NSDecimal::fromString("1.5"))), "NSNumber");
    EXPECT_EQ(MMValueTransformer::classByResolvingClusterClasses(Value(true)), "NSNumber");
    EXPECT_EQ(MMValueTransformer::classByResolvingClusterClasses(Value()), "NSNull");
    EXPECT_EQ(MMValueTransformer::classByResolvingClusterClasses(std::string("NSMutableString")), "NSString");
    EXPECT_EQ(MMValueTransformer::classByResolvingClusterClasses(std::string("NSDecimalNumber")), "NSNumber");
    EXPECT_EQ(MMValueTransformer::classByResolvingClusterClasses(std::string("NSNull")), "NSNull");
    const auto& names = MMValueTransformer::shared().primitivesNames();
    EXPECT_EQ(names.at("L"), "usigned long");
    EXPECT_EQ(names.at("@?"), "Block");
    EXPECT_EQ(names.at("q"), "long long");
    EXPECT_EQ(names.count("@"), 0u);
}

}  // namespace
