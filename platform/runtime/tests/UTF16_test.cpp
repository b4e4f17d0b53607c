#include <platform_runtime/UTF16.h>

#include <gtest/gtest.h>

namespace {

const std::string kEmoji = "\xF0\x9F\x98\x80";   // U+1F600, a surrogate pair in UTF-16
const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

TEST(UTF16, RoundTripsWellFormedText) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC" + kEmoji + "z";  // a é € 😀 z
    const std::u16string units = utf8ToUtf16(text);
    EXPECT_EQ(units, (std::u16string{u'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00, u'z'}));
    EXPECT_EQ(utf16ToUtf8(units), text);
    EXPECT_EQ(utf16Length(text), 6u);
    EXPECT_TRUE(isValidUtf8(text));
    EXPECT_EQ(sanitizeUtf8(text), text);
    EXPECT_EQ(utf16Length(""), 0u);
}

TEST(UTF16, MalformedUtf8ReadsAsReplacementCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xFF", kReplacement},                                   // never valid
        {"a\x80" "b", "a" + kReplacement + "b"},                  // stray continuation
        {"\xC3", kReplacement},                                   // truncated at end
        {"\xC3" "A", kReplacement + "A"},                         // truncated before ASCII, which survives
        {"\xE2\x82", kReplacement},                               // truncated three-byte form
        {"\xC0\xAF", kReplacement + kReplacement},                // overlong lead byte
        {"\xE0\x80\xAF", kReplacement},                           // overlong three-byte form
        {"\xED\xA0\x80", kReplacement},                           // encoded surrogate
        {"\xF4\x90\x80\x80", kReplacement},                       // beyond U+10FFFF
        {"\xF0\x9F\x98", kReplacement},                           // truncated four-byte form
    };
    for (const auto& [bad, clean] : cases) {
        SCOPED_TRACE(testing::PrintToString(bad));
        EXPECT_FALSE(isValidUtf8(bad));
        EXPECT_EQ(sanitizeUtf8(bad), clean);
        EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(bad)), clean);
        EXPECT_EQ(utf16Length(bad), utf8ToUtf16(clean).size());
    }
    // A literal U+FFFD in the input is valid text.
    EXPECT_TRUE(isValidUtf8(kReplacement));
}

TEST(UTF16, LoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD83D}), kReplacement);
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xDE00, u'a'}), kReplacement + "a");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), kReplacement + kEmoji);
}

TEST(UTF16, CharacterAtIndex) {
    const std::string text = "x" + kEmoji;
    EXPECT_EQ(utf16CharacterAtIndex(text, 0), u'x');
    EXPECT_EQ(utf16CharacterAtIndex(text, 1), 0xD83D);
    EXPECT_EQ(utf16CharacterAtIndex(text, 2), 0xDE00);
    EXPECT_EQ(utf16CharacterAtIndex(text, 3), 0);
    EXPECT_EQ(utf16CharacterAtIndex("\xFF", 0), 0xFFFD);
}

TEST(UTF16, SubstringByUtf16Range) {
    const std::string text = "ab" + kEmoji + "cd";  // units: a b D83D DE00 c d
    const struct {
        std::size_t location, length;
        std::string expected;
    } cases[] = {
        {0, 2, "ab"},
        {2, 2, kEmoji},
        {1, 4, "b" + kEmoji + "c"},
        {3, 2, kReplacement + "c"},  // starts in the middle of the pair
        {2, 1, kReplacement},        // ends in the middle of the pair
        {4, 100, "cd"},              // clamped
        {6, 1, ""},
        {100, 5, ""},
        {1, static_cast<std::size_t>(-1), "b" + kEmoji + "cd"},  // no overflow on huge lengths
        {0, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16Substring(text, c.location, c.length), c.expected) << c.location << "+" << c.length;
    }
}

TEST(UTF16, AppendUtf8RejectsInvalidCodePoints) {
    std::string out;
    appendUtf8(out, 0x41);
    appendUtf8(out, 0xD800);
    appendUtf8(out, 0x110000);
    appendUtf8(out, 0x1F600);
    EXPECT_EQ(out, "A" + kReplacement + kReplacement + kEmoji);
}

}  // namespace
