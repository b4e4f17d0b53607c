#include <gtest/gtest.h>

#include "DemangleTestSupport.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;

namespace {

std::string identifier(std::string_view text) {
  return parseFragment(text, [](NameParser& p) { return p.parseIdentifier(); });
}

}  // namespace

TEST(IdentifierParserTest, NumbersAndIndexes) {
  struct Case {
    const char* text;
    bool ok;
    uint64_t value;
  } cases[] = {{"_", true, 0}, {"0_", true, 1}, {"9_", true, 10}, {"41_", true, 42},
               {"12", false, 0}, {"", false, 0},  {"x_", false, 0}};
  for (const Case& c : cases) {
    NameParser parser(c.text, std::strlen(c.text));
    uint64_t value = 99;
    EXPECT_EQ(parser.parseIndex(value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
  NameParser parser("7_", 2);
  EXPECT_EQ(dump(parser.parseIndexAsNumber()), "Number 8");
}

TEST(IdentifierParserTest, PlainPunycodeAndOperatorNames) {
  const Fragment cases[] = {
      {"1a", "Identifier \"a\""},
      {"3fooBar", "Identifier \"foo\" | Bar"},
      {"0", "null"},
      {"0a", "null"},
      {"5abc", "null"},
      {"", "null"},
      {"oi1p", "InfixOperator \"+\""},
      {"oP1s", "PostfixOperator \"-\""},
      {"op2ag", "PrefixOperator \"&>\""},
      {"oi3zdq", "InfixOperator \"./?\""},
      {"oi1b", "null"},
      {"oi1A", "null"},
      {"ox1a", "null"},
      {"o", "null"},
      {"X15dJjuauEBawczczp",
       "Identifier \"\xE3\x81\x9D\xE3\x81\xAE\xE3\x82\xB9\xE3\x83\x94\xE3\x83\xBC\xE3\x83\x89\xE3\x81\xA7\""},
      // Decoded bytes of 0x80 and above pass through the operator translation.
      {"Xop4p_ca", "PrefixOperator \"\xC2\x81+\""},
      {"2\xC3\xA9", "Identifier \"\xC3\xA9\""},
      // A length that cuts a UTF-8 sequence would put broken text into the output.
      {"1\xC3\xA9", "null"},
  };
  for (const Fragment& f : cases) EXPECT_EQ(identifier(f.text), f.expected) << f.text;
}

TEST(IdentifierParserTest, PresetKindRefusesTheOperatorForm) {
  EXPECT_EQ(parseFragment("oi1p", &NameParser::parseModule), "null");
  EXPECT_EQ(parseFragment("3Foo", &NameParser::parseModule), "Module \"Foo\"");
}

TEST(IdentifierParserTest, StandardSubstitutions) {
  const Fragment cases[] = {
      {"i", "Structure(Module \"Swift\", Identifier \"Int\")"},
      {"S", "Structure(Module \"Swift\", Identifier \"String\")"},
      {"r", "Structure(Module \"Swift\", Identifier \"UnsafeMutableBufferPointer\")"},
      {"q", "Enum(Module \"Swift\", Identifier \"Optional\")"},
      {"Q", "Enum(Module \"Swift\", Identifier \"ImplicitlyUnwrappedOptional\")"},
      {"o", "Module \"__ObjC\""},
      {"C", "Module \"__C\""},
      {"s", "null"},
      {"_", "null"},
      {"", "null"},
  };
  expectFragments(cases, &NameParser::parseSubstitution);
}

TEST(IdentifierParserTest, BackReferencesShareTheEnteredNode) {
  std::string text = "3Foo3Bar_0_0_1_";
  NameParser parser(text.data(), text.size());
  NodePointer foo = parser.parseModule();
  NodePointer bar = parser.parseModule();
  ASSERT_EQ(parser.substitutions.size(), 2u);
  EXPECT_EQ(parser.parseSubstitution(), foo);
  NodePointer first = parser.parseSubstitution();
  EXPECT_EQ(first, bar);
  EXPECT_EQ(parser.parseSubstitution(), first);
  EXPECT_EQ(parser.parseSubstitution(), nullptr);  // entry 2 does not exist
}

TEST(IdentifierParserTest, ModulesFromListOrStandardAddNoEntry) {
  std::string text = "sSo3FooS_";
  NameParser parser(text.data(), text.size());
  EXPECT_EQ(dump(parser.parseModule()), "Module \"Swift\"");
  EXPECT_EQ(dump(parser.parseModule()), "Module \"__ObjC\"");
  EXPECT_TRUE(parser.substitutions.empty());
  EXPECT_EQ(dump(parser.parseModule()), "Module \"Foo\"");
  EXPECT_EQ(dump(parser.parseModule()), "Module \"Foo\"");
  EXPECT_EQ(parser.substitutions.size(), 1u);
  // A substitution that is not a module is no module name.
  EXPECT_EQ(parseFragment("Si", &NameParser::parseModule), "null");
}
