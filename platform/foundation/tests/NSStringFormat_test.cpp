#include <platform_foundation/NSStringFormat.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Case {
    const char* format;
    std::vector<Value> args;
    const char* expected;
};

class FormatTable : public ::testing::TestWithParam<Case> {};

TEST_P(FormatTable, Formats) {
    const Case& c = GetParam();
    EXPECT_EQ(NSStringWithFormatArgs(c.format, c.args), c.expected) << c.format;
}

INSTANTIATE_TEST_SUITE_P(
    Specifiers, FormatTable,
    ::testing::Values(
        Case{"%@ has %d", {Value("x"), Value(3)}, "x has 3"},
        Case{"%@", {Value()}, "(null)"},
        Case{"%@|%@|%@", {Value(true), Value(0.1), Value(uint64_t{18446744073709551615u})}, "1|0.1|18446744073709551615"},
        Case{"%@", {Value::array({1, 2})}, "(\n    1,\n    2\n)"},
        Case{"%d %i %u", {Value(-5), Value(7), Value(42u)}, "-5 7 42"},
        // %d reads 32 bits, %ld 64, %hhx 8: the C conversions' truncation.
        Case{"%d", {Value(int64_t{4294967301})}, "5"},
        Case{"%ld %lld %qi", {Value(int64_t{-4294967301}), Value(int64_t{1} << 40), Value(-1)}, "-4294967301 1099511627776 -1"},
        Case{"%lu %llu %zu %zd %tu", {Value(uint64_t{1} << 63), Value(7u), Value(8u), Value(-9), Value(10u)},
             "9223372036854775808 7 8 -9 10"},
        Case{"%u %x %lx", {Value(-1), Value(-1), Value(-1)}, "4294967295 ffffffff ffffffffffffffff"},
        Case{"%02hhx%02hhx", {Value(0x1ab), Value(5)}, "ab05"},
        Case{"%08X|%08x|%X|%016llx", {Value(0xBEEF), Value(0xbeef), Value(255), Value(uint64_t{0xdeadbeef})},
             "0000BEEF|0000beef|FF|00000000deadbeef"},
        Case{"%f %.1f %0.2f %.0f %.3f", {Value(1.5), Value(2.25), Value(3.14159), Value(2.5), Value(1)},
             "1.500000 2.2 3.14 2 1.000"},
        Case{"%g %g %e %0.1g", {Value(0.0001), Value(1e20), Value(12345.678), Value(0.9f)},
             "0.0001 1e+20 1.234568e+04 0.9"},
        Case{"%lg|%.f", {Value(2.5), Value(7.6)}, "2.5|8"},
        Case{"%s|%c|%C", {Value("héllo"), Value(65), Value(0x263A)}, "héllo|A|☺"},
        Case{"100%% %@", {Value("done")}, "100% done"},
        Case{"[%5d][%-5d][%+d][% d][%05d]", {Value(42), Value(42), Value(42), Value(42), Value(-42)},
             "[   42][42   ][+42][ 42][-0042]"},
        Case{"[%6s][%-6s][%.2s]", {Value("ab"), Value("ab"), Value("abcd")}, "[    ab][ab    ][ab]"},
        Case{"[%5@][%-5@][%.3@]", {Value("ab"), Value("ab"), Value("abcdef")}, "[   ab][ab   ][abc]"},
        Case{"[%*d][%.*f]", {Value(4), Value(7), Value(2), Value(3.14159)}, "[   7][3.14]"},
        Case{"%2$@ %1$@ %2$@", {Value("world"), Value("hello")}, "hello world hello"},
        Case{"%d %@", {Value(1)}, "1 (null)"},      // a missing argument formats as null
        Case{"%k and %", {}, "%k and %"},           // unknown and dangling conversions stay
        Case{"%d", {Value("12abc")}, "12"},
        Case{"%@;q=%0.1g", {Value("en"), Value(1.0f - 0.1f * 3)}, "en;q=0.7"}));

TEST(NSStringFormat, VariadicTakesPlainArguments) {
    EXPECT_EQ(NSStringWithFormat("%@ has %d items (%s, %.1f)", Value("list"), 3, "ok", 2.25), "list has 3 items (ok, 2.2)");
    EXPECT_EQ(NSStringWithFormat("%@/%@", std::string("a"), "b"), "a/b");
    EXPECT_EQ(NSStringWithFormat("no args"), "no args");
    EXPECT_EQ(NSStringWithFormat("%d", true), "1");
}

TEST(NSStringFormat, ObjectsPrintTheirDescriptionAndAddress) {
    auto object = std::make_shared<NSObject>();
    EXPECT_EQ(NSStringWithFormat("%@", object), object->description());
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object.get())));
    EXPECT_EQ(NSStringWithFormat("%p", object), buffer);
    EXPECT_EQ(NSStringWithFormat("%p", static_cast<void*>(nullptr)), "0x0");
    int local = 0;
    std::snprintf(buffer, sizeof buffer, "%p", static_cast<void*>(&local));
    EXPECT_EQ(NSStringWithFormat("%p", &local), buffer);
}

TEST(NSStringFormat, PresentValuesNeverPrintNull) {
    for (const Value& v : {Value(""), Value(0), Value(false), Value(Value::Data{}), Value(Value::Array{}),
                           Value(Value::Dictionary{})}) {
        EXPECT_EQ(NSStringWithFormat("%@", v).find("(null)"), std::string::npos) << v.typeName();
    }
}

}  // namespace
