#include <platform_runtime/NSDecimal.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

NSDecimal D(const char* text) { return NSDecimal::fromString(text); }

TEST(NSDecimal, ParsesLeadingNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "0"},
        {"-0", "0"},
        {"  12.50", "12.5"},
        {"+7", "7"},
        {"-0.001", "-0.001"},
        {".5", "0.5"},
        {"5.", "5"},
        {"1e3", "1000"},
        {"1.5E-3", "0.0015"},
        {"12abc", "12"},
        {"3e", "3"},
        {"000123.4500", "123.45"},
        {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
        // The 39th digit rounds half away from zero.
        {"123456789012345678901234567890123456785", "123456789012345678901234567890123456790"},
        {"-123456789012345678901234567890123456785", "-123456789012345678901234567890123456790"},
        {"999999999999999999999999999999999999995", "1000000000000000000000000000000000000000"},
        {"1e-200", "0"},
        {"abc", "NaN"},
        {"", "NaN"},
        {"-", "NaN"},
        {".", "NaN"},
        {"1e200", "NaN"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(D(text).stringValue(), expected) << text;
    EXPECT_TRUE(D("x").isNaN());
    EXPECT_TRUE(NSDecimal::notANumber().isNaN());
}

TEST(NSDecimal, FromIntegersAndDoubles) {
    EXPECT_EQ(NSDecimal(INT64_MIN).stringValue(), "-9223372036854775808");
    EXPECT_EQ(NSDecimal::fromUnsigned(UINT64_MAX).stringValue(), "18446744073709551615");
    EXPECT_EQ(NSDecimal::fromMantissa(12345, -2, true).stringValue(), "-123.45");
    EXPECT_EQ(NSDecimal::fromDouble(0.1).stringValue(), "0.1");
    EXPECT_EQ(NSDecimal::fromDouble(-2.5e-7).stringValue(), "-0.00000025");
    EXPECT_EQ(NSDecimal::fromDouble(1152921504606846976.0).stringValue(), "1152921504606846976");
    EXPECT_EQ(NSDecimal::fromDouble(1e20).stringValue(), "100000000000000000000");
    EXPECT_TRUE(NSDecimal::fromDouble(std::nan("")).isNaN());
    EXPECT_TRUE(NSDecimal::fromDouble(INFINITY).isNaN());
}

TEST(NSDecimal, Conversions) {
    EXPECT_EQ(D("0.1").doubleValue(), 0.1);
    EXPECT_EQ(D("-1234.5678").doubleValue(), -1234.5678);
    EXPECT_TRUE(std::isnan(NSDecimal::notANumber().doubleValue()));
    EXPECT_EQ(D("-12.9").longLongValue(), -12);
    EXPECT_EQ(D("0.9").longLongValue(), 0);
    EXPECT_EQ(D("1e30").longLongValue(), INT64_MAX);
    EXPECT_EQ(D("-1e30").longLongValue(), INT64_MIN);
    EXPECT_EQ(D("-9223372036854775808").longLongValue(), INT64_MIN);
    EXPECT_TRUE(D("120").isInteger());
    EXPECT_FALSE(D("1.2").isInteger());
}

TEST(NSDecimal, Compare) {
    EXPECT_EQ(D("1.10"), D("1.1"));
    EXPECT_EQ(D("100"), D("1e2"));
    EXPECT_LT(D("0.09"), D("0.1"));
    EXPECT_LT(D("-2"), D("-1.5"));
    EXPECT_LT(D("-0.5"), D("0"));
    EXPECT_LT(D("99"), D("100"));
    EXPECT_LT(D("1e-5"), D("1e-4"));
    EXPECT_EQ(D("2").compare(D("1.999999")), NSOrderedDescending);
    EXPECT_LT(NSDecimal::notANumber(), D("-1e100"));
    EXPECT_EQ(NSDecimal::notANumber().compare(NSDecimal::notANumber()), NSOrderedSame);
}

struct ArithmeticCase {
    const char* a;
    char op;
    const char* b;
    const char* expected;
};

TEST(NSDecimal, Arithmetic) {
    const ArithmeticCase cases[] = {
        {"0.1", '+', "0.2", "0.3"},
        {"1", '-', "0.0001", "0.9999"},
        {"-5", '+', "3", "-2"},
        {"3", '-', "5", "-2"},
        {"1.5", '-', "1.5", "0"},
        {"1e100", '+', "1", "10000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"},
        {"12345678901234567890123456789012345678", '+', "0.5",
         "12345678901234567890123456789012345679"},  // rounded back to 38 digits
        {"1.5", '*', "-2", "-3"},
        {"0.001", '*', "0.001", "0.000001"},
        {"99999999999999999999", '*', "99999999999999999999", "9999999999999999999800000000000000000000"},
        {"1", '/', "3", "0.33333333333333333333333333333333333333"},
        {"2", '/', "3", "0.66666666666666666666666666666666666667"},
        {"-2", '/', "3", "-0.66666666666666666666666666666666666667"},
        {"10", '/', "4", "2.5"},
        {"1", '/', "8", "0.125"},
        {"0", '/', "7", "0"},
        {"1", '/', "0", "NaN"},
        {"1", '+', "abc", "NaN"},
        {"abc", '*', "0", "NaN"},
        {"1e100", '*', "1e100", "NaN"},  // overflow
        {"1e-100", '*', "1e-100", "0"},  // underflow
    };
    for (const auto& c : cases) {
        const NSDecimal a = D(c.a), b = D(c.b);
        NSDecimal r;
        switch (c.op) {
            case '+': r = a.add(b); break;
            case '-': r = a.subtract(b); break;
            case '*': r = a.multiply(b); break;
            default: r = a.divide(b); break;
        }
        EXPECT_EQ(r.stringValue(), c.expected) << c.a << " " << c.op << " " << c.b;
    }
}

TEST(NSDecimal, RoundedToScale) {
    const struct {
        const char* value;
        int scale;
        const char* expected;
    } cases[] = {
        {"1.005", 2, "1.01"}, {"1.004", 2, "1"},   {"-1.005", 2, "-1.01"}, {"2.5", 0, "3"},
        {"0.4", 0, "0"},      {"0.05", 1, "0.1"},  {"1250", -2, "1300"},   {"0.0004", 2, "0"},
        {"12", 3, "12"},      {"9.99", 1, "10"},
    };
    for (const auto& c : cases) EXPECT_EQ(D(c.value).rounded(c.scale).stringValue(), c.expected) << c.value;
}

}  // namespace
