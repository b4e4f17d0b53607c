#include <platform_foundation/NSCharacterSet.h>

#include <gtest/gtest.h>

namespace {

constexpr NSUInteger kNotFound = static_cast<NSUInteger>(NSNotFound);

TEST(NSCharacterSet, StandardSetsHoldTheirCharacters) {
    struct Case {
        NSCharacterSet set;
        const char* name;
        std::u32string members;
        std::u32string nonMembers;
    };
    const Case cases[] = {
        {NSCharacterSet::whitespaceCharacterSet(), "whitespace", U" \t\u00A0\u3000", U"\n\rax"},
        {NSCharacterSet::newlineCharacterSet(), "newline", U"\n\r\u2028\u0085", U" \ta"},
        {NSCharacterSet::whitespaceAndNewlineCharacterSet(), "whitespaceAndNewline", U" \t\n\r\u2029", U"a."},
        {NSCharacterSet::decimalDigitCharacterSet(), "decimalDigits", U"09\u0663", U"aⅣ."},
        {NSCharacterSet::letterCharacterSet(), "letters", U"aZéж漢\u0301", U"1 _"},
        {NSCharacterSet::alphanumericCharacterSet(), "alphanumerics", U"a1é\u0663Ⅳ", U" -_."},
        {NSCharacterSet::URLQueryAllowedCharacterSet(), "query", U"aZ09-._~!$&'()*+,;=:@/?", U" #[]%\"<>é"},
        {NSCharacterSet::URLPathAllowedCharacterSet(), "path", U"a-._~!$&'()*+,=:@/", U" ?#;%[]"},
        {NSCharacterSet::URLHostAllowedCharacterSet(), "host", U"a-.:[]!$&'()*+,;=", U" /?#@%"},
        {NSCharacterSet::URLFragmentAllowedCharacterSet(), "fragment", U"a?/:@!$", U" #%[]"},
        {NSCharacterSet::characterSetWithCharactersInString("ab😀"), "custom", U"ab😀", U"cA"},
    };
    for (const Case& c : cases) {
        for (char32_t m : c.members) EXPECT_TRUE(c.set.characterIsMember(m)) << c.name << " U+" << std::hex << uint32_t(m);
        for (char32_t m : c.nonMembers) EXPECT_FALSE(c.set.characterIsMember(m)) << c.name << " U+" << std::hex << uint32_t(m);
    }
}

TEST(NSCharacterSet, InvertedAndMutatedSetsAreIndependentCopies) {
    NSCharacterSet digits = NSCharacterSet::decimalDigitCharacterSet();
    NSCharacterSet notDigits = digits.invertedSet();
    EXPECT_TRUE(notDigits.characterIsMember('a'));
    EXPECT_FALSE(notDigits.characterIsMember('5'));
    EXPECT_TRUE(digits.characterIsMember('5'));

    NSMutableCharacterSet allowed = NSCharacterSet::URLQueryAllowedCharacterSet();
    allowed.removeCharactersInString(":#[]@");
    allowed.removeCharactersInString("!$&'()*+,;=");
    for (char32_t c : std::u32string(U"aZ09-._~/?")) EXPECT_TRUE(allowed.characterIsMember(c));
    for (char32_t c : std::u32string(U":@!$&=+,;")) EXPECT_FALSE(allowed.characterIsMember(c));
    EXPECT_TRUE(NSCharacterSet::URLQueryAllowedCharacterSet().characterIsMember('&'));

    NSMutableCharacterSet set = NSCharacterSet::characterSetWithCharactersInString("ab");
    set.addCharactersInString("c");
    set.formUnionWithCharacterSet(NSCharacterSet::decimalDigitCharacterSet());
    EXPECT_TRUE(set.characterIsMember('c'));
    EXPECT_TRUE(set.characterIsMember('7'));
    set.formIntersectionWithCharacterSet(NSCharacterSet::characterSetWithCharactersInString("a7z"));
    EXPECT_TRUE(set.characterIsMember('a'));
    EXPECT_FALSE(set.characterIsMember('b'));
    EXPECT_FALSE(set.characterIsMember('z'));
}

TEST(NSCharacterSet, TrimSearchAndSplit) {
    auto ws = NSCharacterSet::whitespaceCharacterSet();
    auto wsnl = NSCharacterSet::whitespaceAndNewlineCharacterSet();
    EXPECT_EQ(NSString::stringByTrimmingCharactersInSet("  \tab c\t ", ws), "ab c");
    // The plain whitespace set leaves line breaks in place.
    EXPECT_EQ(NSString::stringByTrimmingCharactersInSet("\n ab \n", ws), "\n ab \n");
    EXPECT_EQ(NSString::stringByTrimmingCharactersInSet("\n ab \r\n", wsnl), "ab");
    EXPECT_EQ(NSString::stringByTrimmingCharactersInSet(" \n\t ", wsnl), "");
    EXPECT_EQ(NSString::stringByTrimmingCharactersInSet("0x1F", NSCharacterSet::characterSetWithCharactersInString("0x")), "1F");

    EXPECT_EQ(NSString::rangeOfCharacterFromSet("😀ab1c2", NSCharacterSet::decimalDigitCharacterSet()), NSMakeRange(4, 1));
    EXPECT_EQ(NSString::rangeOfCharacterFromSet("😀ab1c2", NSCharacterSet::decimalDigitCharacterSet(), NSBackwardsSearch),
              NSMakeRange(6, 1));
    EXPECT_EQ(NSString::rangeOfCharacterFromSet("abc", NSCharacterSet::decimalDigitCharacterSet()).location, kNotFound);

    using V = std::vector<std::string>;
    EXPECT_EQ(NSString::componentsSeparatedByCharactersInSet("a b\tc  d", ws), (V{"a", "b", "c", "", "d"}));
}

}  // namespace
