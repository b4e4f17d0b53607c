#include <platform_runtime/NSStringNumbers.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

struct IntCase {
    std::string text;
    int32_t i32;
    int64_t i64;
    uint64_t u64;
};

TEST(StringNumbers, LeadingIntegers) {
    const IntCase cases[] = {
        {"", 0, 0, 0},
        {"abc", 0, 0, 0},
        {"12abc", 12, 12, 12},
        {"  \t\n 42", 42, 42, 42},
        {"+7", 7, 7, 7},
        {"-7", -7, -7, static_cast<uint64_t>(-7)},
        {"- 7", 0, 0, 0},
        {"3.99", 3, 3, 3},
        {"1e3", 1, 1, 1},
        {"0x10", 0, 0, 0},
        {"2147483648", INT32_MAX, 2147483648, 2147483648},
        {"-2147483649", INT32_MIN, -2147483649, static_cast<uint64_t>(int64_t{-2147483649})},
        {"9223372036854775807", INT32_MAX, INT64_MAX, 9223372036854775807u},
        {"9223372036854775808", INT32_MAX, INT64_MAX, 9223372036854775808u},
        {"-9223372036854775808", INT32_MIN, INT64_MIN, 9223372036854775808u},
        {"-99999999999999999999", INT32_MIN, INT64_MIN, 1},  // saturated magnitude, then wrapped
        {"18446744073709551615", INT32_MAX, INT64_MAX, UINT64_MAX},
        {"99999999999999999999999", INT32_MAX, INT64_MAX, UINT64_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NSStringIntValue(c.text), c.i32);
        EXPECT_EQ(NSStringIntegerValue(c.text), c.i64);
        EXPECT_EQ(NSStringLongLongValue(c.text), c.i64);
        EXPECT_EQ(NSStringUnsignedLongLongValue(c.text), c.u64);
    }
}

TEST(StringNumbers, LeadingDoubles) {
    const std::pair<std::string, double> cases[] = {
        {"", 0},
        {"abc", 0},
        {"1.5kg", 1.5},
        {"  -0.25", -0.25},
        {"+.5", 0.5},
        {"5.", 5},
        {".", 0},
        {"-", 0},
        {"1e3", 1000},
        {"1E-2x", 0.01},
        {"2e", 2},
        {"2e+", 2},
        {"1.2.3", 1.2},
        {"inf", 0},
        {"nan", 0},
        {"0x1p3", 0},
        {"1e999", HUGE_VAL},
        {"-1e999", -HUGE_VAL},
        {"1e-999", 0},
        {"0.1", 0.1},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(NSStringDoubleValue(text), expected);
        EXPECT_EQ(NSStringFloatValue(text), static_cast<float>(expected));
    }
}

TEST(StringNumbers, BoolValue) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},    {"Y", true},    {"yes", true},  {"T", true},     {"true", true},   {"  t", true},
        {"N", false},   {"no", false},  {"false", false}, {"1", true},   {"0", false},     {"00012", true},
        {"-1", true},   {"+0", false},  {"0.5", false}, {"9lives", true}, {"x1", false},  {"\n\t1", true},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(NSStringBoolValue(text), expected) << text;
}

}  // namespace
