#include <platform_foundation/NSStringCase.h>
#include <platform_foundation/NSStringCompare.h>
#include <platform_foundation/NSStringComponents.h>

#include <gtest/gtest.h>

#include <platform_runtime/NSException.h>

namespace {

constexpr NSUInteger kNotFound = static_cast<NSUInteger>(NSNotFound);

struct CompareCase {
    const char* a;
    const char* b;
    NSStringCompareOptions options;
    NSComparisonResult expected;
};

class CompareTable : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTable, Orders) {
    const CompareCase& c = GetParam();
    EXPECT_EQ(NSString::compare(c.a, c.b, c.options), c.expected) << c.a << " vs " << c.b;
    // The reverse order answers the opposite.
    EXPECT_EQ(NSString::compare(c.b, c.a, c.options), static_cast<NSComparisonResult>(-c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Options, CompareTable,
    ::testing::Values(
        CompareCase{"1.10", "1.9", NSNumericSearch, NSOrderedDescending},
        CompareCase{"1.10", "1.9", 0, NSOrderedAscending},
        CompareCase{"9.3.5", "10.0", NSNumericSearch, NSOrderedAscending},
        CompareCase{"10.3.1", "10.0", NSNumericSearch, NSOrderedDescending},
        CompareCase{"10.0", "10.0", NSNumericSearch, NSOrderedSame},
        CompareCase{"10", "10.0", NSNumericSearch, NSOrderedAscending},
        CompareCase{"file2", "file10", NSNumericSearch, NSOrderedAscending},
        CompareCase{"v007", "v7", NSNumericSearch, NSOrderedSame},
        CompareCase{"99999999999999999999999", "100000000000000000000000", NSNumericSearch, NSOrderedAscending},
        CompareCase{"abc", "ABD", NSCaseInsensitiveSearch, NSOrderedAscending},
        CompareCase{"Straße", "STRASSE", NSCaseInsensitiveSearch, NSOrderedSame},
        CompareCase{"abc", "ABC", 0, NSOrderedDescending},
        CompareCase{"Item 9", "item 10", NSCaseInsensitiveSearch | NSNumericSearch, NSOrderedAscending},
        // Composed é and e + combining acute are the same text unless compared literally.
        CompareCase{"caf\xC3\xA9", "cafe\xCC\x81", 0, NSOrderedSame},
        CompareCase{"caf\xC3\xA9", "cafe\xCC\x81", NSLiteralSearch, NSOrderedDescending},
        CompareCase{"résumé", "resume", NSDiacriticInsensitiveSearch, NSOrderedSame},
        CompareCase{"", "a", 0, NSOrderedAscending},
        CompareCase{"ab", "abc", NSLiteralSearch, NSOrderedAscending}));

TEST(NSStringCompare, CaseInsensitiveAndLocalized) {
    EXPECT_EQ(NSString::caseInsensitiveCompare("Hello", "hello"), NSOrderedSame);
    EXPECT_EQ(NSString::localizedCaseInsensitiveCompare("apple", "Banana"), NSOrderedAscending);
    EXPECT_EQ(NSString::localizedCaseInsensitiveCompare("Zebra", "apple"), NSOrderedDescending);
    EXPECT_EQ(NSString::localizedCaseInsensitiveCompare("ABC", "abc"), NSOrderedSame);
    // Plain compare puts "Z" (0x5A) before "a"; the localized order does not.
    EXPECT_EQ(NSString::compare("Zebra", "apple"), NSOrderedAscending);
    EXPECT_EQ(NSString::localizedCaseInsensitiveCompare("é", "f"), NSOrderedAscending);
}

TEST(NSStringSearch, PrefixSuffixContains) {
    EXPECT_TRUE(NSString::hasPrefix("iPhone10,3", "iPhone"));
    EXPECT_FALSE(NSString::hasPrefix("iPhone", "iPhone10"));
    EXPECT_FALSE(NSString::hasPrefix("abc", ""));
    EXPECT_TRUE(NSString::hasSuffix("photo.png", ".png"));
    EXPECT_FALSE(NSString::hasSuffix("abc", ""));
    EXPECT_TRUE(NSString::containsString("zh-Hans-CN", "Hans"));
    EXPECT_FALSE(NSString::containsString("abc", ""));
}

TEST(NSStringSearch, RangesCountUtf16Units) {
    // "😀" takes two UTF-16 units.
    EXPECT_EQ(NSString::rangeOfString("😀ab😀ab", "ab"), NSMakeRange(2, 2));
    EXPECT_EQ(NSString::rangeOfString("😀ab😀ab", "ab", NSBackwardsSearch), NSMakeRange(6, 2));
    EXPECT_EQ(NSString::rangeOfString("Hello World", "world", NSCaseInsensitiveSearch), NSMakeRange(6, 5));
    EXPECT_EQ(NSString::rangeOfString("Hello World", "world").location, kNotFound);
    EXPECT_EQ(NSString::rangeOfString("abcabc", "abc", NSAnchoredSearch), NSMakeRange(0, 3));
    EXPECT_EQ(NSString::rangeOfString("xabc", "abc", NSAnchoredSearch).location, kNotFound);
    EXPECT_EQ(NSString::rangeOfString("abcx", "x", NSAnchoredSearch | NSBackwardsSearch), NSMakeRange(3, 1));
    EXPECT_EQ(NSString::rangeOfString("abc", "").location, kNotFound);
    EXPECT_EQ(NSString::rangeOfString("abcabc", "abc", 0, NSMakeRange(1, 5)), NSMakeRange(3, 3));
    EXPECT_EQ(NSString::rangeOfString("abcabc", "abc", 0, NSMakeRange(1, 4)).location, kNotFound);
}

TEST(NSStringComponents, SplitJoinReplace) {
    using V = std::vector<std::string>;
    EXPECT_EQ(NSString::componentsSeparatedByString("a,,b,", ","), (V{"a", "", "b", ""}));
    EXPECT_EQ(NSString::componentsSeparatedByString("", ","), (V{""}));
    EXPECT_EQ(NSString::componentsSeparatedByString("a<br>b", "<br>"), (V{"a", "b"}));
    EXPECT_EQ(NSString::componentsSeparatedByString("abc", ""), (V{"abc"}));
    EXPECT_EQ(NSString::componentsJoinedByString(V{"a", "b", "c"}, ", "), "a, b, c");
    EXPECT_EQ(NSString::componentsJoinedByString(V{}, ", "), "");
    EXPECT_EQ(NSString::componentsJoinedByString(Value::array({1, "x", 2.5}), "&"), "1&x&2.5");
    EXPECT_EQ(NSString::stringByReplacingOccurrencesOfString("aaa", "aa", "b"), "ba");
    EXPECT_EQ(NSString::stringByReplacingOccurrencesOfString("a.b.c", ".", ""), "abc");
    EXPECT_EQ(NSString::stringByReplacingOccurrencesOfString("abc", "", "x"), "abc");
    EXPECT_EQ(NSString::stringByReplacingOccurrencesOfString("Aé-aÉ", "AÉ", "<>", NSCaseInsensitiveSearch), "<>-<>");
}

TEST(NSStringComponents, SubstringsByUtf16Index) {
    EXPECT_EQ(NSString::length("a😀b"), 4u);
    EXPECT_EQ(NSString::substringFromIndex("a😀b", 3), "b");
    EXPECT_EQ(NSString::substringToIndex("a😀b", 3), "a😀");
    EXPECT_EQ(NSString::substringWithRange("hello", NSMakeRange(1, 3)), "ell");
    EXPECT_EQ(NSString::substringFromIndex("abc", 3), "");
    EXPECT_THROW(NSString::substringFromIndex("abc", 4), NSException);
    EXPECT_THROW(NSString::substringToIndex("abc", 4), NSException);
    EXPECT_THROW(NSString::substringWithRange("abc", NSMakeRange(2, 2)), NSException);
    EXPECT_THROW(NSString::substringWithRange("abc", NSMakeRange(kNotFound, 1)), NSException);
}

TEST(NSStringComponents, ComposedCharacterRangesNeverSplitACharacter) {
    // An emoji is a surrogate pair; a flag is two pairs; "e" + combining accent is one character.
    EXPECT_EQ(NSString::rangeOfComposedCharacterSequencesForRange("a😀b", NSMakeRange(0, 2)), NSMakeRange(0, 3));
    EXPECT_EQ(NSString::rangeOfComposedCharacterSequencesForRange("a😀b", NSMakeRange(2, 1)), NSMakeRange(1, 2));
    EXPECT_EQ(NSString::rangeOfComposedCharacterSequencesForRange("e\xCC\x81x", NSMakeRange(0, 1)), NSMakeRange(0, 2));
    EXPECT_EQ(NSString::rangeOfComposedCharacterSequencesForRange("🇫🇷", NSMakeRange(0, 1)), NSMakeRange(0, 4));
    EXPECT_EQ(NSString::rangeOfComposedCharacterSequencesForRange("abc", NSMakeRange(1, 1)), NSMakeRange(1, 1));
}

TEST(NSStringCase, MapsWholeStrings) {
    EXPECT_EQ(NSString::uppercaseString("boardconfig ß é"), "BOARDCONFIG SS É");
    EXPECT_EQ(NSString::lowercaseString("BoardConfig ÀÉ"), "boardconfig àé");
    EXPECT_EQ(NSString::capitalizedString("hello wORLD\tnew-line\nx"), "Hello World\tNew-line\nX");
    EXPECT_EQ(NSString::capitalizedString(""), "");
}

}  // namespace
