// Random mutation of corpus symbols and the checks every demangling answer must pass.
#pragma once

#include <crash_demangle/Demangle.h>
#include <crash_demangle/Limits.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "NameParser.h"
#include "SymbolCorpus.h"

namespace ZUDDemangle::testing {

inline std::vector<std::string> corpusNames() {
  std::vector<std::string> names;
  for (const SymbolCase& c : kEntitySymbols) names.emplace_back(c.mangled);
  for (const SymbolCase& c : kSpecialSymbols) names.emplace_back(c.mangled);
  for (const SymbolCase& c : kTypeSymbols) names.emplace_back(c.mangled);
  return names;
}

// Pieces of the grammar, so that mutants reach back-references and nesting more often than
// byte edits alone would.
inline const std::vector<std::string>& grammarTokens() {
  static const std::vector<std::string> tokens = {
      "S_", "S0_", "S1_", "S2_", "G", "_", "__", "C1M1A", "V1M1S", "O1M1E", "P1M1P", "P_", "x", "q_",
      "qd__", "wx3Foo", "Wx3Foo_", "Q_", "QP", "QQ", "Qq_", "Qd__", "Qs", "u", "uRxs8Hashabler", "R",
      "r", "z", "XF", "XFo_", "XM", "XP", "T", "t", "F", "f", "Fz", "M", "Si", "Sq", "Sa", "So", "3Foo",
      "oi1p", "X3cab", "E1N", "e1N", "Z", "Fs", "I", "i", "v", "U_", "u_", "L_", "P1d", "cp", "cl",
      "fq0", "g0", "_TTS", "_T", "__T", "PA", "TW", "Tr", "W", "w", "Bi64_", "Bv4B", "ERR", "K", "b",
      "c", "D", "a", "A_", "n_", "dgs_", "cpi1_", "cpse0v1a_", "cpfr2ab_"};
  return tokens;
}

// One to four edits: replace, insert or delete a byte, duplicate a slice, splice in a slice of
// another corpus name, or insert a grammar token. Inserted bytes favour the grammar's alphabet.
inline std::string mutate(const std::string& input, const std::vector<std::string>& corpus, std::mt19937& rng) {
  static const std::string alphabet =
      "_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\x80\xC3\xFF";
  std::string s = input;
  auto pick = [&](size_t n) { return n == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  int edits = 1 + static_cast<int>(pick(4));
  for (int e = 0; e < edits; ++e) {
    char byte = pick(8) == 0 ? static_cast<char>(pick(256)) : alphabet[pick(alphabet.size())];
    switch (pick(6)) {
      case 0:
        if (!s.empty()) s[pick(s.size())] = byte;
        break;
      case 1:
        s.insert(s.begin() + static_cast<std::ptrdiff_t>(pick(s.size() + 1)), byte);
        break;
      case 2:
        if (!s.empty()) s.erase(pick(s.size()), 1);
        break;
      case 3: {
        if (s.empty()) break;
        size_t from = pick(s.size());
        size_t length = 1 + pick(s.size() - from);
        s.insert(pick(s.size() + 1), s.substr(from, length));
        break;
      }
      case 4: {
        const std::vector<std::string>& tokens = grammarTokens();
        s.insert(pick(s.size() + 1), tokens[pick(tokens.size())]);
        break;
      }
      default: {
        const std::string& other = corpus[pick(corpus.size())];
        size_t from = pick(other.size());
        s.insert(pick(s.size() + 1), other.substr(from, 1 + pick(other.size() - from)));
        break;
      }
    }
  }
  return s;
}

// The answer is the input, or well-formed UTF-8 text within the output bound.
inline void checkAnswer(const std::string& input, const std::string& answer) {
  if (answer == input) return;
  ASSERT_TRUE(isValidUTF8(answer)) << "input: " << input;
  ASSERT_LE(answer.size(), Limits::kMaxOutputLength) << "input: " << input;
}

inline void runMutations(unsigned seed, size_t rounds) {
  std::vector<std::string> corpus = corpusNames();
  std::mt19937 rng(seed);
  std::string current;
  for (size_t i = 0; i < rounds; ++i) {
    // Mostly fresh mutants of a corpus name, sometimes a further mutant of the last one.
    if (i % 4 != 0 || current.empty()) current = corpus[i % corpus.size()];
    current = mutate(current, corpus, rng);
    if (current.size() > 512) current.resize(512);
    checkAnswer(current, demangleSymbolAsString(current.data(), current.size(), PrinterOptions::simplified()));
    checkAnswer(current, demangleSymbolAsString(current.data(), current.size(), PrinterOptions::full()));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace ZUDDemangle::testing
