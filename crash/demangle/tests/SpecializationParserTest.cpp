#include <gtest/gtest.h>

#include "DemangleTestSupport.h"

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;

#define SIG "FunctionSigSpecialization(SpecializationPass 0, "
#define KIND "FunctionSigSpecializationParamKind "
#define PAYLOAD "FunctionSigSpecializationParamPayload "

TEST(SpecializationParserTest, GenericSpecializations) {
  const Fragment cases[] = {
      {"g5_", "GenericSpecialization(SpecializationPass 5)"},
      {"r0Si__", "GenericNotReAbstractedSpecialization(SpecializationPass 0, GenericSpecializationParam(" INT "))"},
      {"gq1Si_Sb__",
       "GenericSpecialization(FragileSpecializationMarker, SpecializationPass 1, "
       "GenericSpecializationParam(" INT "), GenericSpecializationParam(" BOOL "))"},
      {"g0SiSis8Hashables__",
       "GenericSpecialization(SpecializationPass 0, GenericSpecializationParam(" INT ", "
       "ProtocolConformance(" INT ", Type(Protocol(Module \"Swift\", Identifier \"Hashable\")), "
       "Module \"Swift\")))"},
      // The pass character is not checked to be a digit.
      {"ga_", "GenericSpecialization(SpecializationPass 49)"},
      {"g0Si_", "null"},
      {"g0", "null"},
      {"g", "null"},
      {"x0_", "null"},
  };
  expectFragments(cases, &NameParser::parseSpecialization);
}

TEST(SpecializationParserTest, FunctionSignatureParameters) {
  const Fragment cases[] = {
      {"fq0n__",
       "FunctionSigSpecialization(FragileSpecializationMarker, SpecializationPass 0, "
       "FunctionSigSpecializationParam 0)"},
      {"f0_", "FunctionSigSpecialization(SpecializationPass 0)"},
      {"f0dgs__", SIG "FunctionSigSpecializationParam 0(" KIND "448))"},
      {"f0gs__", SIG "FunctionSigSpecializationParam 0(" KIND "384))"},
      {"f0d__", SIG "FunctionSigSpecializationParam 0(" KIND "64))"},
      {"f0sg__", "null"},
      {"f0d", "null"},
      {"f0x__", "null"},
      {"f0n_n_i__",
       SIG "FunctionSigSpecializationParam 0, FunctionSigSpecializationParam 1, "
           "FunctionSigSpecializationParam 2(" KIND "6))"},
      {"f0k__", SIG "FunctionSigSpecializationParam 0(" KIND "7))"},
      {"f0cpi42__", SIG "FunctionSigSpecializationParam 0(" KIND "2, " PAYLOAD "\"42\"))"},
      {"f0cpi__", SIG "FunctionSigSpecializationParam 0(" KIND "2, " PAYLOAD "\"\"))"},
      {"f0cpi42", "null"},
      {"f0cpfl1.5__", SIG "FunctionSigSpecializationParam 0(" KIND "3, " PAYLOAD "\"1.5\"))"},
      {"f0cpfr3foo__", SIG "FunctionSigSpecializationParam 0(" KIND "0, " PAYLOAD "\"foo\"))"},
      {"f0cpg3bar__", SIG "FunctionSigSpecializationParam 0(" KIND "1, " PAYLOAD "\"bar\"))"},
      {"f0cpg3bar", "null"},
      {"f0cpse1v5hello__",
       SIG "FunctionSigSpecializationParam 0(" KIND "4, " PAYLOAD "\"u16\", " PAYLOAD "\"hello\"))"},
      {"f0cpse0v2hi__",
       SIG "FunctionSigSpecializationParam 0(" KIND "4, " PAYLOAD "\"u8\", " PAYLOAD "\"hi\"))"},
      {"f0cpse2v2hi__", "null"},
      {"f0cpsx", "null"},
      // Unknown constants fail like every other malformed prefix.
      {"f0cpq__", "null"},
      {"f0cp", "null"},
      {"f0cl3fooSiSb__",
       SIG "FunctionSigSpecializationParam 0(" KIND "5, " PAYLOAD "\"foo\", " INT ", " BOOL "))"},
      {"f0cl3foo__", SIG "FunctionSigSpecializationParam 0(" KIND "5, " PAYLOAD "\"foo\"))"},
      {"f0cl3fooSi", "null"},
      // A literal is printed as it is, so it must be well-formed UTF-8.
      {"f0cpi4\xC3_", "null"},
      {"f0", "null"},
  };
  expectFragments(cases, &NameParser::parseSpecialization);
}
