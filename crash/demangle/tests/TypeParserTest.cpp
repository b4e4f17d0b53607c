#include <gtest/gtest.h>

#include "DemangleTestSupport.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;

TEST(TypeParserTest, NominalBuiltinAndWrapperTypes) {
  const Fragment cases[] = {
      {"Si", INT},
      {"C3Foo3Bar", "Type(Class(Module \"Foo\", Identifier \"Bar\"))"},
      {"O3Foo1E", "Type(Enum(Module \"Foo\", Identifier \"E\"))"},
      {"V3Foo1S", "Type(Structure(Module \"Foo\", Identifier \"S\"))"},
      {"a3Foo1T", "Type(TypeAlias(Module \"Foo\", Identifier \"T\"))"},
      {"RSi", "Type(InOutType(Structure(Module \"Swift\", Identifier \"Int\")))"},
      {"DSi", "Type(DynamicSelfType(" INT "))"},
      {"ERR", "Type(ErrorType \"\")"},
      {"ERx", "null"},
      {"Bi64_", "Type(BuiltinTypeName \"Builtin.Int64\")"},
      {"Bf80_", "Type(BuiltinTypeName \"Builtin.Float80\")"},
      {"Bw", "Type(BuiltinTypeName \"Builtin.Word\")"},
      {"Bo", "Type(BuiltinTypeName \"Builtin.NativeObject\")"},
      {"Bv4Bf32_", "Type(BuiltinTypeName \"Builtin.Vec4xFloat32\")"},
      {"Bv2Bi8_", "Type(BuiltinTypeName \"Builtin.Vec2xInt8\")"},
      {"Bv4Bp", "Type(BuiltinTypeName \"Builtin.Vec4xRawPointer\")"},
      {"Bv4p", "null"},
      {"Bv4Bq", "null"},
      {"Bi64", "null"},
      {"Bq", "null"},
      {"XbSi", "Type(BoxType(" INT "))"},
      {"XoSi", "Type(UnownedReference(" INT "))"},
      {"XuSi", "Type(UnownedUnsafeReference(" INT "))"},
      {"XwSi", "Type(WeakReference(" INT "))"},
      {"XqSi", "null"},
      {"H", "null"},
      {"", "null"},
  };
  expectFragments(cases, &NameParser::parseType);
}

TEST(TypeParserTest, FunctionTypes) {
  const Fragment cases[] = {
      {"FSiSb", "Type(FunctionType(ArgumentTuple(" INT "), ReturnType(" BOOL ")))"},
      {"FzSiSb", "Type(FunctionType(ThrowsAnnotation, ArgumentTuple(" INT "), ReturnType(" BOOL ")))"},
      {"KSiSb", "Type(AutoclosureType(ArgumentTuple(" INT "), ReturnType(" BOOL ")))"},
      {"bSiSb", "Type(BlockType(ArgumentTuple(" INT "), ReturnType(" BOOL ")))"},
      {"cSiSb", "Type(CFunctionPointerType(ArgumentTuple(" INT "), ReturnType(" BOOL ")))"},
      {"fSiSb", "Type(UncurriedFunctionType(ArgumentTuple(" INT "), ReturnType(" BOOL ")))"},
      {"XfSiSb", "Type(ThinFunctionType(ArgumentTuple(" INT "), ReturnType(" BOOL ")))"},
      {"FSi", "null"},
  };
  expectFragments(cases, &NameParser::parseType);
}

TEST(TypeParserTest, TuplesProtocolListsAndMetatypes) {
  const Fragment cases[] = {
      {"T_", "Type(Tuple)"},
      {"TSiSb_", "Type(Tuple(TupleElement(" INT "), TupleElement(" BOOL ")))"},
      {"T1aSi_", "Type(Tuple(TupleElement(TupleElementName \"a\", " INT ")))"},
      {"tSi_", "Type(VariadicTuple(TupleElement(" INT ")))"},
      {"TSi", "null"},
      {"Toi1pSi_", "null"},
      {"P_", "Type(ProtocolList(TypeList))"},
      {"Ps8Hashable_",
       "Type(ProtocolList(TypeList(Type(Protocol(Module \"Swift\", Identifier \"Hashable\")))))"},
      {"Ps8Hashable", "null"},
      {"MSi", "Type(Metatype(" INT "))"},
      {"PMSi", "Type(ExistentialMetatype(" INT "))"},
      {"XMtSi", "Type(Metatype(MetatypeRepresentation \"@thin\", " INT "))"},
      {"XMoSi", "Type(Metatype(MetatypeRepresentation \"@objc_metatype\", " INT "))"},
      {"XPMTSi", "Type(ExistentialMetatype(MetatypeRepresentation \"@thick\", " INT "))"},
      {"XP_", "Type(ProtocolList(TypeList))"},
      {"XMqSi", "null"},
      {"XM", "null"},
  };
  expectFragments(cases, &NameParser::parseType);
}

TEST(TypeParserTest, BoundGenericTypes) {
  const Fragment cases[] = {
      {"GSqSi_",
       "Type(BoundGenericEnum(Type(Enum(Module \"Swift\", Identifier \"Optional\")), TypeList(" INT ")))"},
      {"GVs10DictionarySSSi_",
       "Type(BoundGenericStructure(Type(Structure(Module \"Swift\", Identifier \"Dictionary\")), "
       "TypeList(Type(Structure(Module \"Swift\", Identifier \"String\")), " INT ")))"},
      {"GC1M1CSi_", "Type(BoundGenericClass(Type(Class(Module \"M\", Identifier \"C\")), TypeList(" INT ")))"},
      // An empty list leaves the nominal unbound.
      {"GV3Foo3Bar_", "Type(Structure(Module \"Foo\", Identifier \"Bar\"))"},
      // The outer type's list comes first.
      {"GVC1M5Outer5InnerSi_Sb_",
       "Type(BoundGenericStructure(Type(Structure(BoundGenericClass(Type(Class(Module \"M\", "
       "Identifier \"Outer\")), TypeList(" INT ")), Identifier \"Inner\")), TypeList(" BOOL ")))"},
      {"GVC1M5Outer5Inner_Sb_",
       "Type(BoundGenericStructure(Type(Structure(Class(Module \"M\", Identifier \"Outer\"), "
       "Identifier \"Inner\")), TypeList(" BOOL ")))"},
      {"GP1M1PSi_", "null"},
      {"GSqSi", "null"},
      {"GSq", "null"},
  };
  expectFragments(cases, &NameParser::parseType);
}

TEST(TypeParserTest, GenericParametersArchetypesAndDependentMembers) {
  const Fragment cases[] = {
      {"x", "Type(" PARAM_A ")"},
      {"q_", "Type(GenericParamType \"B\"(Index 0, Index 1))"},
      {"qd__", "Type(GenericParamType \"A1\"(Index 1, Index 0))"},
      {"qx3Foo", "Type(DependentMemberType(Type(" PARAM_A "), DependentAssociatedTypeName \"Foo\"))"},
      {"wx3Foo", "Type(DependentMemberType(Type(" PARAM_A "), DependentAssociatedTypeName \"Foo\"))"},
      {"Wx_", "Type(" PARAM_A ")"},
      {"Wx3Foo3Bar_",
       "Type(DependentMemberType(Type(DependentMemberType(Type(" PARAM_A "), "
       "DependentAssociatedTypeName \"Foo\")), DependentAssociatedTypeName \"Bar\"))"},
      {"Wx3Foo", "null"},
      {"wxPs8Hashable5Index",
       "Type(DependentMemberType(Type(" PARAM_A "), DependentAssociatedTypeName \"Index\"(Type("
       "Protocol(Module \"Swift\", Identifier \"Hashable\")))))"},
      {"Q_", "Type(ArchetypeReference \"A\"(Index 0, Index 0))"},
      {"Q0_", "Type(ArchetypeReference \"B\"(Index 0, Index 1))"},
      {"Qd__", "Type(ArchetypeReference \"A1\"(Index 1, Index 0))"},
      {"Qd_0_", "Type(ArchetypeReference \"B1\"(Index 1, Index 1))"},
      {"QPs8Hashable",
       "Type(SelfTypeReference(Type(Protocol(Module \"Swift\", Identifier \"Hashable\"))))"},
      {"Qs5Index", "Type(AssociatedTypeReference(Module \"Swift\", Identifier \"Index\"))"},
      {"QQ_5Index",
       "Type(AssociatedTypeReference(ArchetypeReference \"A\"(Index 0, Index 0), Identifier \"Index\"))"},
      {"Qq_s", "Type(ContextArchetype(Number 0, DeclarationContext(Module \"Swift\")))"},
      {"Q", "null"},
      {"QS_", "null"},
      {"uRxs8HashablerSi",
       "Type(ConstrainedGenericType(GenericSignature(GenericParamCount 1, ConformanceRequirement(Type("
       PARAM_A "), Type(Protocol(Module \"Swift\", Identifier \"Hashable\")))), " INT "))"},
      {"u_", "null"},
  };
  expectFragments(cases, &NameParser::parseType);
}

TEST(TypeParserTest, ArchetypeSubstitutionsEnterTheList) {
  std::string text = "QPs8HashableQS_Qs5IndexQ_Qd__Qq_s";
  NameParser parser(text.data(), text.size());
  ASSERT_NE(parser.parseType(), nullptr);  // Hashable (entry 0), its Self (entry 1)
  EXPECT_EQ(parser.substitutions.size(), 2u);
  // A Protocol from the list is used unwrapped.
  EXPECT_EQ(dump(parser.parseType()),
            "Type(SelfTypeReference(Protocol(Module \"Swift\", Identifier \"Hashable\")))");
  EXPECT_EQ(parser.substitutions.size(), 3u);
  ASSERT_NE(parser.parseType(), nullptr);
  EXPECT_EQ(parser.substitutions.size(), 4u);
  ASSERT_NE(parser.parseType(), nullptr);
  ASSERT_NE(parser.parseType(), nullptr);
  ASSERT_NE(parser.parseType(), nullptr);
  EXPECT_EQ(parser.substitutions.size(), 4u);
}

TEST(TypeParserTest, LoweredFunctionTypes) {
  const Fragment cases[] = {
      {"XFo_dSi_dSi_",
       "Type(ImplFunctionType(ImplConvention \"@callee_owned\", ImplParameter(ImplConvention "
       "\"@unowned\", " INT "), ImplResult(ImplConvention \"@unowned\", " INT ")))"},
      {"XFt___", "Type(ImplFunctionType(ImplConvention \"@convention(thin)\"))"},
      {"XFtCq_", "null"},
      {"XFdCb___",
       "Type(ImplFunctionType(ImplConvention \"@callee_unowned\", ImplFunctionAttribute "
       "\"@convention(block)\"))"},
      {"XFgCw___",
       "Type(ImplFunctionType(ImplConvention \"@callee_guaranteed\", ImplFunctionAttribute "
       "\"@convention(witness_method)\"))"},
      {"XFo_iSi_iSi_",
       "Type(ImplFunctionType(ImplConvention \"@callee_owned\", ImplParameter(ImplConvention "
       "\"@in\", " INT "), ImplResult(ImplConvention \"@out\", " INT ")))"},
      {"XFo__zoSi_",
       "Type(ImplFunctionType(ImplConvention \"@callee_owned\", ImplErrorResult(ImplConvention "
       "\"@owned\", " INT ")))"},
      {"XFo__DSi_",
       "Type(ImplFunctionType(ImplConvention \"@callee_owned\", ImplResult(ImplConvention "
       "\"@unowned_inner_pointer\", " INT ")))"},
      {"XFoGr_ix_ix_",
       "Type(ImplFunctionType(ImplConvention \"@callee_owned\", GenericSignature(GenericParamCount 1), "
       "ImplParameter(ImplConvention \"@in\", Type(" PARAM_A ")), ImplResult(ImplConvention \"@out\", "
       "Type(" PARAM_A "))))"},
      {"XFogr___",
       "Type(ImplFunctionType(ImplConvention \"@callee_owned\", PseudoGenericSignature(GenericParamCount 1)))"},
      {"XFo_zdSi__", "null"},
      {"XFe___", "null"},
      {"XFo_DSi__", "null"},
      {"XFo_aSi__", "null"},
      {"XFo__eSi_", "null"},
      {"XFo", "null"},
      {"XFo_dSi", "null"},
  };
  expectFragments(cases, &NameParser::parseType);
}

TEST(TypeParserTest, NominalTypesEnterTheSubstitutionListInnerFirst) {
  std::string text = "C3Foo3BarS_S0_";
  NameParser parser(text.data(), text.size());
  ASSERT_NE(parser.parseType(), nullptr);
  ASSERT_EQ(parser.substitutions.size(), 2u);
  EXPECT_EQ(dump(parser.substitutions[0]), "Module \"Foo\"");
  EXPECT_EQ(dump(parser.substitutions[1]), "Class(Module \"Foo\", Identifier \"Bar\")");
  EXPECT_EQ(dump(parser.parseType()), "Type(Module \"Foo\")");
  EXPECT_EQ(parser.parseType()->getChild(0), parser.substitutions[1]);
}
