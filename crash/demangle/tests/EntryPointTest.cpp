#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "DemangleTestSupport.h"
#include "SymbolCorpus.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;
using K = Node::Kind;

TEST(EntryPointTest, UnparsableNamesComeBackUnchanged) {
  const std::string cases[] = {
      "",
      "_T",
      "main",
      "_ZN3foo3barEv",
      "_TF",
      "_TFs3foo",
      "_TTSg5Si__",               // no "_T" after the specializations
      "_TTSx5Si___TFs3fooFT_T_",  // unknown specialization head
      "_TToTOFs3fooFT_T_",        // only one marker is read
      // Malformed inputs that must not stop the process.
      "_TTSf0cpx___TF1M3fooFSiSi",  // unknown constant after "cp"
      "_TF1Mo",                     // name ending right after "o"
      "_TtXMqSi",                   // bad representation after "XM"
      "_Ttu0",                      // text ends while signature counts are read
      "_TtSo",                      // prints as empty text with the simplified options
      std::string("_TtS\0", 5),
  };
  for (const std::string& name : cases) {
    EXPECT_EQ(demangleSimplified(name), name) << name;
  }
  EXPECT_EQ(demangleFull("_TtSo"), "__ObjC");
  EXPECT_EQ(nodeToString(nullptr, PrinterOptions::full()), "");
  EXPECT_EQ(demangleSymbolAsNode("_T", 2), nullptr);
}

TEST(EntryPointTest, RootHoldsMarkersSpecializationsBodyAndSuffix) {
  EXPECT_EQ(dumpSymbol("_TToFs3fooFT_T_"),
            "GlobalSymbol(ObjCMarker, Function(Module \"Swift\", Identifier \"foo\", Type(FunctionType("
            "ArgumentTuple(Type(Tuple)), ReturnType(Type(Tuple))))))");
  ParsedSymbol root = demangleSymbolAsNode("_TFs3fooFT_T_xyz", 16);
  ASSERT_NE(root, nullptr);
  ASSERT_EQ(root->getNumChildren(), 2u);
  EXPECT_EQ(dump(root->getChild(1)), "UnmangledSuffix \"xyz\"");
  root = demangleSymbolAsNode("_TTSg5Si___TTSf0n___TFs3fooFT_T_", 32);
  ASSERT_NE(root, nullptr);
  ASSERT_EQ(root->getNumChildren(), 3u);
  EXPECT_EQ(root->getChild(0)->getKind(), K::GenericSpecialization);
  EXPECT_EQ(root->getChild(1)->getKind(), K::FunctionSigSpecialization);
  EXPECT_EQ(root->getChild(2)->getKind(), K::Function);
}

TEST(EntryPointTest, SubstitutionsStartEmptyForEachSpecializationAndTheBody) {
  // In the body "S_" is the body's own module N, not the M of the specialization.
  EXPECT_EQ(dumpSymbol("_TTSg5V1M1S___TF1N3fooFS_S_"),
            "GlobalSymbol(GenericSpecialization(SpecializationPass 5, GenericSpecializationParam(Type("
            "Structure(Module \"M\", Identifier \"S\")))), Function(Module \"N\", Identifier \"foo\", "
            "Type(FunctionType(ArgumentTuple(Type(Module \"N\")), ReturnType(Type(Module \"N\"))))))");
  EXPECT_EQ(demangleFull("_TTSg5V1M1S___TTSg5S____TFs3fooFT_T_"), "_TTSg5V1M1S___TTSg5S____TFs3fooFT_T_");
}

TEST(EntryPointTest, CrashCoreOptionBytes) {
  PrinterOptions o = PrinterOptions::simplified();
  const bool expected[16] = {1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0};
  const bool actual[16] = {o.sugarTypes, o.showFieldOffsetTypes, o.showDebuggerModules, o.qualifyNames,
                           o.showExtensionModules, o.showUnmangledSuffix, o.showModuleNames,
                           o.showSpecializationParams, o.showConformanceParts, o.showWhereClauses,
                           o.showEntityTypes, o.shortPartialApply, o.shortThunks, o.shortValueWitnesses,
                           o.shortContextArchetypes, o.showPrivateDiscriminators};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(actual[i], expected[i]) << "flag " << i;
  static_assert(sizeof(PrinterOptions) == 16);
}

TEST(EntryPointTest, NameNeedNotBeTerminated) {
  std::string buffer = "_TFs3fooFT_T_GARBAGE";
  EXPECT_EQ(demangleSymbolAsString(buffer.data(), 13, PrinterOptions::full()), "Swift.foo () -> ()");
}

TEST(EntryPointTest, ConcurrentCallsAgree) {
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &mismatches] {
      for (int round = 0; round < 50; ++round)
        for (const SymbolCase& c : kSpecialSymbols)
          if (demangleFull(c.mangled) != c.full) ++mismatches[t];
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}
