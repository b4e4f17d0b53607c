#include <gtest/gtest.h>

#include <chrono>

#include "DemangleTestSupport.h"
#include "MutationSupport.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;

namespace {

std::string repeat(std::string_view piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// "S_" for entry 0, "S<n-1>_" for entry n.
std::string reference(size_t entry) { return entry == 0 ? "S_" : "S" + std::to_string(entry - 1) + "_"; }

}  // namespace

TEST(RobustnessTest, DeepNestingFailsInsteadOfExhaustingTheStack) {
  const std::string cases[] = {
      "_Tt" + repeat("M", 5000) + "Si",
      "_Tt" + repeat("R", 5000) + "Si",
      "_Tt" + repeat("T", 5000) + "Si" + repeat("_", 5000),
      "_Tt" + repeat("GSq", 3000) + "Si" + repeat("_", 3000),
      "_TF" + repeat("F", 5000) + "1M",
      "_TPA" + repeat("__TPA", 3000),
      "_Tt" + repeat("QQ", 3000) + "_",
  };
  for (const std::string& name : cases) {
    EXPECT_EQ(demangleSimplified(name), name) << name.substr(0, 20);
    EXPECT_EQ(demangleSymbolAsNode(name.data(), name.size()), nullptr) << name.substr(0, 20);
  }
  // Within the bound the same shapes still demangle.
  EXPECT_EQ(demangleSimplified("_Tt" + repeat("M", 50) + "Si"), "Int" + repeat(".Type", 50));
}

TEST(RobustnessTest, DeepTreesAreNotPrintedWithoutBound) {
  NodeArena arena;
  NodePointer root = arena.makeNode(Node::Kind::Type);
  NodePointer tail = root;
  for (int i = 0; i < 100000; ++i) {
    NodePointer next = arena.makeNode(Node::Kind::Type);
    tail->addChild(next, arena);
    tail = next;
  }
  tail->addChild(arena.makeNode(Node::Kind::Identifier, std::string_view("x")), arena);
  EXPECT_EQ(nodeToString(root, PrinterOptions::full()), "");
}

TEST(RobustnessTest, ChainsThroughTheSubstitutionListAreBounded) {
  // Each class is nested in the previous one taken from the list; a tuple of all of them
  // prints text that grows with the square of their number.
  std::string name = "_TtTC1M1A";
  for (size_t i = 1; i < 1500; ++i) name += "C" + reference(i) + "1A";
  name += "_";
  ASSERT_NE(demangleSymbolAsNode(name.data(), name.size()), nullptr);
  EXPECT_EQ(demangleFull(name), name);
  EXPECT_EQ(demangleFull("_TtTC1M1ACS0_1ACS1_1A_"), "(M.A, M.A.A, M.A.A.A)");
}

TEST(RobustnessTest, ExponentialExpansionStopsAtTheOutputBound) {
  // Class k+1 lives in an extension whose signature names class k twice, so the printed text
  // doubles with each class. A tuple reads them in turn, so that each enters the list.
  std::string name = "_TtTC1M1A";
  for (size_t k = 1; k <= 40; ++k) name += "CeS_Rxz" + reference(k) + "xz" + reference(k) + "rS_1A";
  name += "_";
  ASSERT_NE(demangleSymbolAsNode(name.data(), name.size()), nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(demangleFull(name), name);
  // Without where clauses the same tree is small.
  EXPECT_NE(demangleSimplified(name), name);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(RobustnessTest, HugeGenericCountsAreRefusedOrBounded) {
  EXPECT_EQ(demangleFull("_Ttu18446744073709551614_rx"), "_Ttu18446744073709551614_rx");
  EXPECT_EQ(demangleFull("_Ttu4294967295_rx"), "_Ttu4294967295_rx");
  // Many depths of the largest accepted count exceed the output bound.
  std::string name = "_Ttu" + repeat("1022_", 40) + "rx";
  EXPECT_EQ(demangleFull(name), name);
  // Parameter references keep the low 32 bits of their depth and index.
  EXPECT_EQ(dumpSymbol("_Ttqd4294967296_4294967296_"),
            "GlobalSymbol(TypeSymbol(Type(GenericParamType \"B2\"(Index 2, Index 1))))");
}

TEST(RobustnessTest, OverlongNamesAreNotDemangled) {
  std::string name = "_TtT" + repeat("Si", Limits::kMaxNameLength / 2) + "_";
  EXPECT_EQ(demangleSimplified(name), name);
  std::string shorter = "_TtT" + repeat("Si", 1000) + "_";
  EXPECT_NE(demangleSimplified(shorter), shorter);
}

TEST(RobustnessTest, PunycodeIdentifiersNeverYieldInvalidUtf8) {
  EXPECT_EQ(demangleFull("_Tv1MX15dJjuauEBawczczpSi"),
            "M.\xE3\x81\x9D\xE3\x81\xAE\xE3\x82\xB9\xE3\x83\x94\xE3\x83\xBC\xE3\x83\x89\xE3\x81\xA7 : Swift.Int");
  // "a" followed by the encoding of the surrogate 0xD800 at position 1.
  EXPECT_EQ(demangleFull("_Tv1MX6a_rcEgSi"), "_Tv1MX6a_rcEgSi");
}

TEST(RobustnessTest, GenericArgumentsOverAnyEntryOfTheList) {
  // The argument lists of outer contexts rebuild them; a member name keeps its text and an
  // entity its type, so the result still prints.
  EXPECT_EQ(demangleFull("_TtTwxP1M1P3FooGS1_____"), "(A.Foo, Foo)");
  EXPECT_EQ(demangleFull("_TtGCvs1xSi1A_Si_"), "Swift.(x : Swift.Int).A<Swift.Int>");
  EXPECT_EQ(demangleSimplified("_TtGCvs1xSi1A_Si_"), "(x).A<Int>");
  EXPECT_EQ(demangleFull("_TtGCFF1M1fFT_T_U_FT_T_1A_Si_"), "M.(f () -> ()).(closure #1).A<Swift.Int>");
}

TEST(RobustnessTest, RandomMutationsOfTheCorpus) {
  runMutations(20261210, 20000);
}
