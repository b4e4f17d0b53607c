#include <platform_runtime/Value.h>

#include <gtest/gtest.h>

#include <platform_runtime/NSObject.h>

namespace {

class Named : public NSObject {
public:
    std::string description() const override { return "<Named: x>"; }
};

TEST(ValueDescription, Leaves) {
    const std::pair<Value, std::string> cases[] = {
        {Value(), "<null>"},
        {Value("plain text, as is"), "plain text, as is"},
        {Value(true), "1"},
        {Value(-3), "-3"},
        {Value(0.25), "0.25"},
        {Value(NSDecimal::fromString("-0.010")), "-0.01"},
        {Value(Value::Data{'H', 'e', 'l', 'l', 'o'}), "<48656c6c 6f>"},
        {Value(Value::Data{0, 1, 2, 3, 0xFF, 0xFE, 0xFD, 0xFC}), "<00010203 fffefdfc>"},
        {Value(Value::Data{}), "<>"},
        {Value(NSDate()), "2001-01-01 00:00:00 +0000"},
        {Value(CGPointMake(1, 2.5)), "NSPoint: {1, 2.5}"},
        {Value(CGSizeMake(3, 4)), "NSSize: {3, 4}"},
        {Value(CGRectMake(1, 2, 3, 4)), "NSRect: {{1, 2}, {3, 4}}"},
        {Value(UIEdgeInsetsMake(1, 2, 3, 4)), "UIEdgeInsets: {1, 2, 3, 4}"},
        {Value(UIOffsetMake(-1, 0)), "UIOffset: {-1, 0}"},
        {Value(std::make_shared<Named>()), "<Named: x>"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(v.description(), text) << v.typeName();
}

TEST(ValueDescription, EmptyContainers) {
    EXPECT_EQ(Value::array({}).description(), "(\n)");
    EXPECT_EQ(Value::dict({}).description(), "{\n}");
    EXPECT_EQ(Value::set({}).description(), "{(\n)}");
}

TEST(ValueDescription, ArrayQuotesLeavesThatAreNotPlainWords) {
    const Value a = Value::array({1, "word", "two words", "", "a-b", "say \"hi\"\n", Value(), 1.5, -2, true,
                                  Value(NSDate()), Value(Value::Data{1})});
    EXPECT_EQ(a.description(),
              "(\n"
              "    1,\n"
              "    word,\n"
              "    \"two words\",\n"
              "    \"\",\n"
              "    \"a-b\",\n"
              "    \"say \\\"hi\\\"\\n\",\n"
              "    \"<null>\",\n"
              "    \"1.5\",\n"
              "    \"-2\",\n"
              "    1,\n"
              "    \"2001-01-01 00:00:00 +0000\",\n"
              "    <01>\n"
              ")");
}

TEST(ValueDescription, DictionarySortedByKeyWithNestedIndentation) {
    const Value d = Value::dict({
        {"zeta", 1},
        {"Content-Type", "application/json"},
        {"nested", Value::dict({{"inner", Value::array({1, Value::array({2})})}})},
        {"list", Value::array({})},
    });
    EXPECT_EQ(d.description(),
              "{\n"
              "    \"Content-Type\" = \"application/json\";\n"
              "    list =     (\n"
              "    );\n"
              "    nested =     {\n"
              "        inner =         (\n"
              "            1,\n"
              "                        (\n"
              "                2\n"
              "            )\n"
              "        );\n"
              "    };\n"
              "    zeta = 1;\n"
              "}");
}

TEST(ValueDescription, SetsAndNumericKeys) {
    EXPECT_EQ(Value::set({"b", "a"}).description(), "{(\n    a,\n    b\n)}");
    EXPECT_EQ(Value::dict({{2, "two"}, {1u, "one"}}).description(), "{\n    1 = one;\n    2 = two;\n}");
}

}  // namespace
