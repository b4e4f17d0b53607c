#include <gtest/gtest.h>

#include "DemangleTestSupport.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;

#define FOO "Function(Module \"Swift\", Identifier \"foo\", Type(FunctionType(ArgumentTuple(Type(Tuple)), ReturnType(Type(Tuple)))))"
#define CONFORMANCE "ProtocolConformance(" INT ", " HASHABLE ", Module \"Swift\")"

TEST(SymbolBodyParserTest, MetadataAndForwarders) {
  const Fragment cases[] = {
      {"MSi", "TypeMetadata(" INT ")"},
      {"MaSi", "TypeMetadataAccessor(" INT ")"},
      {"MLSi", "TypeMetadataLazyCacheVariable(" INT ")"},
      {"MfSi", "FullTypeMetadata(" INT ")"},
      {"MmSi", "Metaclass(" INT ")"},
      {"MnSi", "NominalTypeDescriptor(" INT ")"},
      {"MPSi", "GenericTypeMetadataPattern(" INT ")"},
      {"Mps8Hashable", "ProtocolDescriptor(" HASHABLE ")"},
      {"M", "null"},
      {"PA", "PartialApplyForwarder"},
      {"PASi", "PartialApplyForwarder | Si"},
      {"PA__TFs3fooFT_T_", "PartialApplyForwarder(" FOO ")"},
      {"PAo__TFs3fooFT_T_", "PartialApplyObjCForwarder(" FOO ")"},
      {"PAo__T", "null"},
      {"P", "null"},
      {"PB", "null"},
      {"", "null"},
  };
  expectFragments(cases, &NameParser::parseSymbolBody);
}

TEST(SymbolBodyParserTest, WitnessesThunksAndOffsets) {
  const Fragment cases[] = {
      {"walSi", "ValueWitness 0(" INT ")"},
      {"wcpSi", "ValueWitness 8(" INT ")"},
      {"wTKSi", "ValueWitness 12(" INT ")"},
      {"wupSi", "ValueWitness 20(" INT ")"},
      {"wqqSi", "null"},
      {"wa", "null"},
      {"tSi", "TypeSymbol(" INT ")"},
      {"TrSiSb", "ReabstractionThunk(" INT ", " BOOL ")"},
      {"TRGrSiSb", "ReabstractionThunkHelper(GenericSignature(GenericParamCount 1), " INT ", " BOOL ")"},
      {"TrSi", "null"},
      {"TWSis8HashablesFs3fooFT_T_", "ProtocolWitness(" CONFORMANCE ", " FOO ")"},
      {"Tq", "null"},
      {"T", "null"},
      {"WGSis8Hashables", "GenericProtocolWitnessTable(" CONFORMANCE ")"},
      {"WISis8Hashables", "GenericProtocolWitnessTableInstantiationFunction(" CONFORMANCE ")"},
      {"WLSiSis8Hashables", "LazyProtocolWitnessTableCacheVariable(" INT ", " CONFORMANCE ")"},
      {"WlSiSis8Hashables", "LazyProtocolWitnessTableAccessor(" INT ", " CONFORMANCE ")"},
      {"WPSis8Hashables", "ProtocolWitnessTable(" CONFORMANCE ")"},
      {"WaSis8Hashables", "ProtocolWitnessTableAccessor(" CONFORMANCE ")"},
      {"WtSis8Hashables5Index", "AssociatedTypeMetadataAccessor(" CONFORMANCE ", Identifier \"Index\")"},
      {"WTSis8Hashables5Indexs8Hashable",
       "AssociatedTypeWitnessTableAccessor(" CONFORMANCE ", Identifier \"Index\", " HASHABLE ")"},
      {"WVSi", "ValueWitnessTable(" INT ")"},
      {"WoFs3fooFT_T_", "WitnessTableOffset(" FOO ")"},
      {"Wvdvs1xSi", "FieldOffset(Directness 0, Variable(Module \"Swift\", Identifier \"x\", " INT "))"},
      {"Wvivs1xSi", "FieldOffset(Directness 1, Variable(Module \"Swift\", Identifier \"x\", " INT "))"},
      {"Wvxvs1xSi", "null"},
      {"WHSi", "null"},
      {"WO", "null"},
      {"W", "null"},
      {"Fs3fooFT_T_", FOO},
      {"vs1xSi", "Variable(Module \"Swift\", Identifier \"x\", " INT ")"},
  };
  expectFragments(cases, &NameParser::parseSymbolBody);
}
