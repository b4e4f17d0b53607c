#include <crash_demangle/Punycode.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ZUDDemangle;

namespace {

std::vector<uint32_t> decode(const std::string& text) {
  std::vector<uint32_t> points{0xFFFF};  // must be cleared by the decoder
  decodePunycode(text.data(), text.size(), points);
  return points;
}

// Digit of the variant: a-z then A-J.
char digit(uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : 'A' + (d - 26)); }

// Encoded form of one non-basic code point with no basic code points before it.
std::string encodeSingle(uint32_t codePoint) {
  uint32_t q = codePoint - 128;
  std::string out;
  const uint32_t bias = 72;
  for (uint32_t k = 36;; k += 36) {
    uint32_t t = k <= bias ? 1 : (k >= bias + 26 ? 26 : k - bias);
    if (q < t) {
      out.push_back(digit(q));
      return out;
    }
    out.push_back(digit(t + (q - t) % (36 - t)));
    q = (q - t) / (36 - t);
  }
}

}  // namespace

// Samples of RFC 3492 section 7.1, with "-" written as "_" and the digits 0-9 as A-J.
TEST(PunycodeTest, DecodesTheRfcSamples) {
  struct Case {
    const char* encoded;
    const char* utf8;
  } cases[] = {
      // (B) Chinese (simplified)
      {"ihqwcrbEcvIaIdqgAFGpqjye", "\xE4\xBB\x96\xE4\xBB\xAC\xE4\xB8\xBA\xE4\xBB\x80\xE4\xB9\x88"
                                   "\xE4\xB8\x8D\xE8\xAF\xB4\xE4\xB8\xAD\xE6\x96\x87"},
      // (L) "3<nen>B<gumi><kinpachi><sensei>"
      {"3B_wwEcFeBIAeFHFaGFlsyCb", "3\xE5\xB9\xB4" "B\xE7\xB5\x84\xE9\x87\x91\xE5\x85\xAB"
                                   "\xE5\x85\x88\xE7\x94\x9F"},
      // (Q) "<pafii>de<runba>"
      {"de_jgEavhbyBnocAd", "\xE3\x83\x91\xE3\x83\x95\xE3\x82\xA3\xE3\x83\xBC" "de"
                            "\xE3\x83\xAB\xE3\x83\xB3\xE3\x83\x90"},
      // (S) "<sono><supiido><de>"
      {"dJjuauEBawczczp", "\xE3\x81\x9D\xE3\x81\xAE\xE3\x82\xB9\xE3\x83\x94\xE3\x83\xBC"
                          "\xE3\x83\x89\xE3\x81\xA7"},
      // (R) Czech
      {"Proprostnemluvesky_uybCEdmaEBa", "Pro\xC4\x8D" "prost\xC4\x9B" "nemluv\xC3\xAD"
                                         "\xC4\x8D" "esky"},
  };
  for (const Case& c : cases) {
    std::string text = c.encoded;
    std::string out;
    EXPECT_TRUE(decodePunycodeUTF8(text.data(), text.size(), out)) << c.encoded;
    EXPECT_EQ(out, c.utf8) << c.encoded;
  }
}

TEST(PunycodeTest, EmptyInputGivesNothingAndLeavesOutputAlone) {
  EXPECT_TRUE(decode("").empty());
  std::string out = "keep";
  EXPECT_TRUE(decodePunycodeUTF8("", 0, out));
  EXPECT_EQ(out, "keep");
}

TEST(PunycodeTest, BasicPartAloneWhenNothingFollowsTheDelimiter) {
  EXPECT_EQ(decode("abc_"), (std::vector<uint32_t>{'a', 'b', 'c'}));
  // Only the last "_" delimits; earlier ones are basic code points.
  EXPECT_EQ(decode("a_b_"), (std::vector<uint32_t>{'a', '_', 'b'}));
}

TEST(PunycodeTest, WithoutDelimiterEverythingIsEncoded) {
  // "ca" with bias 72: c=2 (>= t=1), a=0 (< t) -> i = 2 + 0*35 = 2 -> n = 128 + 2.
  EXPECT_EQ(decode("ca"), (std::vector<uint32_t>{130}));
  EXPECT_EQ(decode(encodeSingle(0xE9)), (std::vector<uint32_t>{0xE9}));
  EXPECT_EQ(decode(encodeSingle(0x1F600)), (std::vector<uint32_t>{0x1F600}));
}

TEST(PunycodeTest, DigitAlphabetIsCaseSensitive) {
  // "A" is 26 and "J" 35; "K", decimal digits and "-" are not digits and stop decoding.
  EXPECT_EQ(decode("Aa"), (std::vector<uint32_t>{128 + 26}));
  EXPECT_EQ(decode("Ja"), (std::vector<uint32_t>{128 + 35}));
  EXPECT_TRUE(decode("Ka").empty());
  EXPECT_TRUE(decode("9a").empty());
  // With one basic code point the delta 2 means n = 129 inserted at position 0.
  EXPECT_EQ(decode("x_ca-"), (std::vector<uint32_t>{129, 'x'}));
}

TEST(PunycodeTest, MalformedInputKeepsWhatWasDecoded) {
  // Input ending inside a code point's digits.
  EXPECT_EQ(decode("ab_c"), (std::vector<uint32_t>{'a', 'b'}));
  // A non-ASCII basic byte stops at once.
  EXPECT_EQ(decode("a\xC3_ca"), (std::vector<uint32_t>{'a'}));
}

TEST(PunycodeTest, SurrogatesAndValuesBeyondUnicodeAreRejected) {
  for (uint32_t bad : {0xD800u, 0xDFFFu, 0x110000u, 0x1FFFFFu}) {
    std::string text = encodeSingle(bad);
    ASSERT_EQ(decode(text).back(), bad) << std::hex << bad;
    std::string out = "previous";
    EXPECT_FALSE(decodePunycodeUTF8(text.data(), text.size(), out)) << std::hex << bad;
    EXPECT_TRUE(out.empty());
  }
  std::string text = encodeSingle(0x10FFFF);
  std::string out;
  EXPECT_TRUE(decodePunycodeUTF8(text.data(), text.size(), out));
  EXPECT_EQ(out, "\xF4\x8F\xBF\xBF");
}

TEST(PunycodeTest, WritesEachUtf8Length) {
  std::string out;
  for (uint32_t cp : {0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u}) {
    std::string text = encodeSingle(cp);
    ASSERT_TRUE(decodePunycodeUTF8(text.data(), text.size(), out));
  }
  EXPECT_EQ(out, "\xC2\x80" "\xDF\xBF" "\xE0\xA0\x80" "\xEF\xBF\xBF" "\xF0\x90\x80\x80");
}
