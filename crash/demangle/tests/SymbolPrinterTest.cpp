#include <gtest/gtest.h>

#include "DemangleTestSupport.h"
#include "NodePrinter.h"
#include "SymbolCorpus.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;
using K = Node::Kind;

namespace {

void expectTable(const SymbolCase* begin, const SymbolCase* end) {
  for (const SymbolCase* c = begin; c != end; ++c) {
    EXPECT_EQ(demangleFull(c->mangled), c->full) << c->mangled;
    EXPECT_EQ(demangleSimplified(c->mangled), c->simplified) << c->mangled;
  }
}

std::string print(const Node* node, const PrinterOptions& options = PrinterOptions::full()) {
  return nodeToString(node, options);
}

// Holds the hand-built trees of this file's tests.
NodeArena& arena() {
  static NodeArena nodes;
  return nodes;
}

NodePointer node(K kind, std::initializer_list<NodePointer> children = {}) {
  NodePointer n = arena().makeNode(kind);
  for (NodePointer child : children) n->addChild(child, arena());
  return n;
}

NodePointer text(K kind, std::string_view value) { return arena().makeNode(kind, value); }
NodePointer index(K kind, uint64_t value) { return arena().makeNode(kind, value); }

}  // namespace

TEST(SymbolPrinterTest, Entities) { expectTable(std::begin(kEntitySymbols), std::end(kEntitySymbols)); }

TEST(SymbolPrinterTest, SpecialSymbols) { expectTable(std::begin(kSpecialSymbols), std::end(kSpecialSymbols)); }

TEST(SymbolPrinterTest, Types) { expectTable(std::begin(kTypeSymbols), std::end(kTypeSymbols)); }

TEST(SymbolPrinterTest, OptionsOneAtATime) {
  struct Case {
    const char* mangled;
    bool PrinterOptions::*flag;
    bool value;
    const char* expected;
  } cases[] = {
      {"_TF1M3fooFSiSi", &PrinterOptions::showEntityTypes, false, "M.foo(Swift.Int) -> Swift.Int"},
      {"_Tv1M1xSi", &PrinterOptions::showEntityTypes, false, "M.x"},
      {"_TF1M3fooFSiSi", &PrinterOptions::qualifyNames, false, "foo (Int) -> Int"},
      {"_TF1M3fooFSiSi", &PrinterOptions::showModuleNames, false, "foo (Int) -> Int"},
      {"_TFE1NV1M1S3foofT_T_", &PrinterOptions::showExtensionModules, false, "M.S.foo () -> ()"},
      {"_TFC13__lldb_expr_11C3foofT_T_", &PrinterOptions::showDebuggerModules, false, "C.foo () -> ()"},
      {"_TFC13x__lldb_expr_1C3foofT_T_", &PrinterOptions::showDebuggerModules, false,
       "x__lldb_expr_.C.foo () -> ()"},
      {"_TWvdvC1M1C1xSi", &PrinterOptions::showFieldOffsetTypes, false, "direct field offset for M.C.x"},
      {"_TwalV1M1S", &PrinterOptions::shortValueWitnesses, true, "allocateBuffer for M.S"},
      {"_TTrGrxx", &PrinterOptions::shortThunks, true, "thunk"},
      {"_TPA", &PrinterOptions::shortPartialApply, true, "partial apply"},
      {"_TtQq_C1M1C", &PrinterOptions::shortContextArchetypes, true, "(archetype)"},
      {"_TtGSqSi_", &PrinterOptions::sugarTypes, true, "Swift.Int?"},
      {"_TtuRxs8HashablerFxx", &PrinterOptions::showWhereClauses, false, "<A where ...> (A) -> A"},
      {"_TWPV1M1SS_1PS_", &PrinterOptions::showConformanceParts, false, "protocol witness table for M.S"},
      {"_TF1MP1d3fooFT_T_", &PrinterOptions::showPrivateDiscriminators, false, "M.foo () -> ()"},
      {"_TTSg5Si___TF1M3fooFSiSi", &PrinterOptions::showSpecializationParams, false,
       "specialized M.foo (Swift.Int) -> Swift.Int"},
      {"_TF1M3fooFT_T_abc", &PrinterOptions::showUnmangledSuffix, false, "M.foo () -> ()"},
  };
  for (const Case& c : cases) {
    PrinterOptions options = PrinterOptions::full();
    options.*c.flag = c.value;
    std::string name = c.mangled;
    EXPECT_EQ(demangleSymbolAsString(name.data(), name.size(), options), c.expected) << c.mangled;
  }
}

TEST(SymbolPrinterTest, UnmangledSuffixIsQuotedAndEscaped) {
  EXPECT_EQ(demangleFull("_TF1M3fooFT_T_abc"), "M.foo () -> () with unmangled suffix \"abc\"");
  EXPECT_EQ(demangleSimplified("_TF1M3fooFT_T_abc"), "foo() -> ()");
  std::string name = std::string("_TF1M3fooFT_T_") + std::string("\0\t\n\r\"\\'A\x80\xC3", 10);
  EXPECT_EQ(demangleFull(name),
            "M.foo () -> () with unmangled suffix \"\\0\\t\\n\\r\\\"\\\\'A\\x80\\xC3\"");
}

TEST(SymbolPrinterTest, PrinterOnlyShapes) {
  NodePointer intType = node(K::Type, {node(K::Structure, {text(K::Module, "Swift"), text(K::Identifier, "Int")})});
  EXPECT_EQ(print(text(K::Archetype, "T")), "T");
  NodePointer archetype = text(K::Archetype, "T");
  archetype->addChild(intType, arena());
  EXPECT_EQ(print(archetype), "T : Swift.Int");
  EXPECT_EQ(print(node(K::AssociatedType)), "");
  EXPECT_EQ(print(node(K::ContextArchetype, {index(K::Number, 3)})), "");
  EXPECT_EQ(print(node(K::TupleElement)), "");
  EXPECT_EQ(print(node(K::BoundGenericStructure, {intType})), "");
  EXPECT_EQ(print(node(K::SameTypeRequirement, {intType, intType})), "Swift.Int == Swift.Int");
  EXPECT_EQ(print(index(K::SpecializationPass, 3)), "3");
  EXPECT_EQ(print(node(K::ThrowsAnnotation)), " throws ");
  // An optional wrapping a kind outside the simple set gets parentheses.
  NodePointer optional =
      node(K::BoundGenericEnum,
           {node(K::Type, {node(K::Enum, {text(K::Module, "Swift"), text(K::Identifier, "Optional")})}),
            node(K::TypeList, {node(K::FunctionType, {node(K::ArgumentTuple, {intType}),
                                                      node(K::ReturnType, {intType})})})});
  EXPECT_EQ(print(optional, PrinterOptions::simplified()), "((Int) -> Int)?");
  // A specialization whose only parameter has no children.
  NodePointer specialization =
      node(K::GenericSpecialization, {index(K::SpecializationPass, 0), node(K::GenericSpecializationParam)});
  EXPECT_EQ(print(specialization), "generic specialization <> of ");
  NodePointer param = index(K::FunctionSigSpecializationParam, 2);
  param->addChild(index(K::FunctionSigSpecializationParamKind, 128 | 64), arena());
  EXPECT_EQ(print(param), "Arg[2] = Dead and Owned To Guaranteed");
}

TEST(SymbolPrinterTest, GenericParameterNames) {
  struct Case {
    uint64_t index, depth;
    const char* name;
  } cases[] = {{0, 0, "A"}, {1, 0, "B"}, {25, 0, "Z"}, {26, 0, "AB"}, {27, 0, "BB"},
               {52, 0, "AC"}, {0, 1, "A1"}, {2, 3, "C3"}, {675, 0, "ZZ"}, {676, 0, "AAB"}};
  for (const Case& c : cases) EXPECT_EQ(genericParamName(c.index, c.depth), c.name) << c.index;
}

TEST(SymbolPrinterTest, PayloadThatDoesNotDemangleIsPrintedAsItIs) {
  EXPECT_EQ(demangleFull("_TTSf0cpfr3foo___TF1M3fooFSiSi"),
            "function signature specialization <Arg[0] = [Constant Propagated Function : foo]> of "
            "M.foo (Swift.Int) -> Swift.Int");
}
