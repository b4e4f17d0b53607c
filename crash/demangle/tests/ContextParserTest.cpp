#include <gtest/gtest.h>

#include "DemangleTestSupport.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;

namespace {

#define VOID_TO_VOID "Type(FunctionType(ArgumentTuple(Type(Tuple)), ReturnType(Type(Tuple))))"
#define FOO_BAR "Class(Module \"Foo\", Identifier \"Bar\")"

std::string signature(std::string_view text) {
  return parseFragment(text, [](NameParser& p) { return p.parseGenericSignature(false); });
}

}  // namespace

TEST(ContextParserTest, Contexts) {
  const Fragment cases[] = {
      {"s", "Module \"Swift\""},
      {"3Foo", "Module \"Foo\""},
      {"C3Foo3Bar", FOO_BAR},
      {"E3FooV3Bar3Baz", "Extension(Module \"Foo\", Structure(Module \"Bar\", Identifier \"Baz\"))"},
      {"e3FooRxs8HashablerV3Bar3Baz",
       "Extension(Module \"Foo\", Structure(Module \"Bar\", Identifier \"Baz\"), GenericSignature("
       "GenericParamCount 1, ConformanceRequirement(Type(" PARAM_A "), " HASHABLE ")))"},
      {"GSqSi_", "BoundGenericEnum(Type(Enum(Module \"Swift\", Identifier \"Optional\")), TypeList(" INT "))"},
      {"Si", "Structure(Module \"Swift\", Identifier \"Int\")"},
      {"S_", "null"},
      // A subscript cannot be a context: "i" is read as a module name.
      {"is3fooFSiSi", "null"},
      {"", "null"},
  };
  expectFragments(cases, &NameParser::parseContext);
}

TEST(ContextParserTest, Entities) {
  const Fragment cases[] = {
      {"Fs3fooFT_T_", "Function(Module \"Swift\", Identifier \"foo\", " VOID_TO_VOID ")"},
      {"ZFs3fooFT_T_", "StaticMarker(Function(Module \"Swift\", Identifier \"foo\", " VOID_TO_VOID "))"},
      {"vs3fooSi", "Variable(Module \"Swift\", Identifier \"foo\", " INT ")"},
      {"vs3fooT_", "Variable(Module \"Swift\", Identifier \"foo\", Type(Tuple))"},
      {"is9subscriptFSiSi",
       "Subscript(Module \"Swift\", Identifier \"subscript\", Type(FunctionType(ArgumentTuple(" INT
       "), ReturnType(" INT "))))"},
      {"Isi", "VariableInitializer(Module \"Swift\")"},
      {"IsA_", "DefaultArgument(Module \"Swift\", Number 0)"},
      {"IsA1_", "DefaultArgument(Module \"Swift\", Number 2)"},
      {"Isx", "null"},
      {"Is", "null"},
      {"ZC3Foo3Bar", FOO_BAR},
      {"FC3Foo3BarcfT_S0_",
       "Init(" FOO_BAR ", Type(UncurriedFunctionType(ArgumentTuple(Type(Tuple)), ReturnType(Type(" FOO_BAR ")))))"},
      {"FC3Foo3BarCfT_S0_",
       "AllocatingInit(" FOO_BAR ", Type(UncurriedFunctionType(ArgumentTuple(Type(Tuple)), ReturnType(Type(" FOO_BAR ")))))"},
      {"FC3Foo3BarD", "DeallocatingDeinit(" FOO_BAR ")"},
      {"FC3Foo3Bard", "Deinit(" FOO_BAR ")"},
      {"FC3Foo3BarE", "IvarDestroyer(" FOO_BAR ")"},
      {"FC3Foo3Bare", "IvarInitializer(" FOO_BAR ")"},
      {"vsG1xSi", "GlobalGetter(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsg1xSi", "Getter(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vss1xSi", "Setter(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsm1xSi", "MaterializeForSet(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsW1xSi", "DidSetObserver(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsw1xSi", "WillSetObserver(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsaO1xSi", "OwningMutableAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsao1xSi", "NativeOwningMutableAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsap1xSi", "NativePinningMutableAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsau1xSi", "UnsafeMutableAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vslO1xSi", "OwningAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vslo1xSi", "NativeOwningAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vslp1xSi", "NativePinningAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vslu1xSi", "UnsafeAddressor(Module \"Swift\", Identifier \"x\", " INT ")"},
      {"vsaq1xSi", "null"},
      {"FFs3fooFT_T_U_FT_T_",
       "Closure(Function(Module \"Swift\", Identifier \"foo\", " VOID_TO_VOID "), Number 0, " VOID_TO_VOID ")"},
      {"FFs3fooFT_T_u0_FT_T_",
       "ImplicitClosure(Function(Module \"Swift\", Identifier \"foo\", " VOID_TO_VOID "), Number 1, " VOID_TO_VOID ")"},
      {"FsP1a3fooFT_T_",
       "Function(Module \"Swift\", PrivateDeclarationName(Identifier \"a\", Identifier \"foo\"), " VOID_TO_VOID ")"},
      {"FsL_3fooFT_T_",
       "Function(Module \"Swift\", LocalDeclarationName(Number 0, Identifier \"foo\"), " VOID_TO_VOID ")"},
      {"Fsoi1pFT_T_", "Function(Module \"Swift\", InfixOperator \"+\", " VOID_TO_VOID ")"},
      {"Fs3foo", "null"},
      {"F", "null"},
      {"Z", "null"},
  };
  expectFragments(cases, &NameParser::parseEntity);
}

TEST(ContextParserTest, ProtocolConformance) {
  EXPECT_EQ(parseFragment("Sis8Hashables", &NameParser::parseProtocolConformance),
            "ProtocolConformance(" INT ", " HASHABLE ", Module \"Swift\")");
  EXPECT_EQ(parseFragment("Sis8Hashable", &NameParser::parseProtocolConformance), "null");
  // A protocol named by a module from the list enters the list itself.
  std::string text = "V1M1SS_1PS_";
  NameParser parser(text.data(), text.size());
  EXPECT_EQ(dump(parser.parseProtocolConformance()),
            "ProtocolConformance(Type(Structure(Module \"M\", Identifier \"S\")), Type(Protocol(Module "
            "\"M\", Identifier \"P\")), Module \"M\")");
  EXPECT_EQ(parser.substitutions.size(), 3u);
}

TEST(ContextParserTest, GenericSignatures) {
  const Fragment cases[] = {
      {"r", "GenericSignature(GenericParamCount 1)"},
      {"Rr", "GenericSignature(GenericParamCount 1)"},
      {"zr", "GenericSignature(GenericParamCount 0)"},
      {"_0_r", "GenericSignature(GenericParamCount 1, GenericParamCount 2)"},
      {"RxzSir", "GenericSignature(GenericParamCount 1, SameTypeRequirement(Type(" PARAM_A "), " INT "))"},
      {"RxC3Foo3Barr",
       "GenericSignature(GenericParamCount 1, ConformanceRequirement(Type(" PARAM_A "), Type(" FOO_BAR ")))"},
      {"Rxs8Hashabler", "GenericSignature(GenericParamCount 1, ConformanceRequirement(Type(" PARAM_A "), " HASHABLE "))"},
      {"RxSo9NSCopyingr",
       "GenericSignature(GenericParamCount 1, ConformanceRequirement(Type(" PARAM_A "), Type(Protocol("
       "Module \"__ObjC\", Identifier \"NSCopying\"))))"},
      {"Rw_5Indexs8Hashabler",
       "GenericSignature(GenericParamCount 1, ConformanceRequirement(Type(DependentMemberType(Type("
       "GenericParamType \"B\"(Index 0, Index 1)), DependentAssociatedTypeName \"Index\")), " HASHABLE "))"},
      {"RxSir", "null"},
      {"R", "null"},
      {"Rx", "null"},
      {"x", "null"},
      // Running out of text while the counts are read fails the signature.
      {"", "null"},
      {"_", "null"},
      {"0", "null"},
      // A count beyond any real signature is refused.
      {"1022_r", "GenericSignature(GenericParamCount 1024)"},
      {"1023_r", "null"},
      {"18446744073709551614_r", "null"},
  };
  for (const Fragment& f : cases) EXPECT_EQ(signature(f.text), f.expected) << f.text;
}

TEST(ContextParserTest, RequirementWithClassFromList) {
  std::string text = "C1M1CRxS0_r";
  NameParser parser(text.data(), text.size());
  ASSERT_NE(parser.parseType(), nullptr);
  EXPECT_EQ(dump(parser.parseGenericSignature(true)),
            "PseudoGenericSignature(GenericParamCount 1, ConformanceRequirement(Type(" PARAM_A
            "), Type(Class(Module \"M\", Identifier \"C\"))))");
}
