#include <platform_uikit/TextLayout.h>

#include <gtest/gtest.h>

namespace {

TEST(TextLayout, AdvancesFollowTheModel) {
    struct Case {
        const char* text;
        double width;  // at 10 pt
    };
    const Case cases[] = {
        {"abc", 18},
        {"\u65E5\u672C", 24},           // East-Asian wide
        {"\U0001F600", 12},             // emoji
        {"e\u0301", 6},                 // combining mark adds nothing
        {"a\u200Db", 12},               // zero-width joiner
        {"\uFF21", 12},                 // full-width Latin
        {"\u2026", 6},                  // ellipsis is narrow
        {"\xFF", 6},                    // an invalid byte reads as one replacement character
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto r = TextLayout::layoutText(c.text, 10, 0, 0, 0, NSLineBreakByWordWrapping);
        ASSERT_EQ(r.lines.size(), 1u);
        EXPECT_NEAR(r.size.width, c.width, 1e-9);
        EXPECT_NEAR(r.size.height, 12, 1e-9);
    }
}

TEST(TextLayout, WrappingAndTruncationTable) {
    // 10 pt: narrow characters are 6 wide, lines 12 tall.
    struct Case {
        const char* name;
        const char* text;
        double width, height;
        int64_t lines;
        NSLineBreakMode mode;
        const char* expected;
        bool truncated;
    };
    const Case cases[] = {
        {"fits", "hello world", 100, 0, 0, NSLineBreakByWordWrapping, "hello world", false},
        {"word wrap", "hello world again", 60, 0, 0, NSLineBreakByWordWrapping, "hello \nworld \nagain", false},
        {"long word breaks at characters", "abcdefghijkl xy", 36, 0, 0, NSLineBreakByWordWrapping,
         "abcdef\nghijkl \nxy", false},
        {"char wrap", "hello world", 36, 0, 0, NSLineBreakByCharWrapping, "hello \nworld", false},
        {"newlines keep empty lines", "a\n\nb", 100, 0, 0, NSLineBreakByWordWrapping, "a\n\nb", false},
        {"tail on one line", "hello world", 42, 0, 1, NSLineBreakByTruncatingTail, "hello\u2026", true},
        {"tail on the last of two", "one two three four", 48, 0, 2, NSLineBreakByTruncatingTail,
         "one two \nthree f\u2026", true},
        {"head", "hello world", 42, 0, 1, NSLineBreakByTruncatingHead, "\u2026 world", true},
        {"middle", "abcdefghij", 42, 0, 1, NSLineBreakByTruncatingMiddle, "abc\u2026hij", true},
        {"clip keeps the wrapped line", "hello world", 42, 0, 1, NSLineBreakByClipping, "hello ", true},
        {"height limit", "aa bb cc dd", 18, 25, 0, NSLineBreakByTruncatingTail, "aa \nbb\u2026", true},
        {"wide characters wrap by character", "\u65E5\u672C\u8A9E\u6587", 36, 0, 0, NSLineBreakByWordWrapping,
         "\u65E5\u672C\u8A9E\n\u6587", false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = TextLayout::layoutText(c.text, 10, c.width, c.height, c.lines, c.mode);
        EXPECT_EQ(r.text(), c.expected);
        EXPECT_EQ(r.truncated, c.truncated);
        for (auto& line : r.lines) EXPECT_LE(line.width, c.width + 1e-9);
    }
}

TEST(TextLayout, A200By300BoxHoldsWhatFitsAndReportsItsSize) {
    // 17 pt: 10.2 per character, lines 20.4 tall; 300 / 20.4 = 14 lines.
    std::string text;
    for (int i = 0; i < 60; ++i) text += "word" + std::to_string(i) + " ";
    auto r = TextLayout::layoutText(text, 17, 200, 300, 0, NSLineBreakByTruncatingTail);
    EXPECT_EQ(r.lines.size(), 14u);
    EXPECT_TRUE(r.truncated);
    EXPECT_NEAR(r.size.height, 14 * 20.4, 1e-6);
    EXPECT_LE(r.size.width, 200);
    EXPECT_EQ(r.lines.back().text().substr(r.lines.back().text().size() - 3), "\u2026");
    auto unbounded = TextLayout::layoutText(text, 17, 200, 0, 0, NSLineBreakByWordWrapping);
    EXPECT_GT(unbounded.lines.size(), 14u);
    EXPECT_FALSE(unbounded.truncated);
}

TEST(TextLayout, MixedRunsTakeTheTallestGlyphPerLine) {
    auto glyphs = TextLayout::glyphsForText("ab", 10, 0);
    auto big = TextLayout::glyphsForText("C", 20, 1);
    glyphs.insert(glyphs.end(), big.begin(), big.end());
    // An attachment's box: 30 × 40.
    glyphs.push_back(TextLayout::Glyph{TextLayout::kAttachmentCharacter, 30, 40, 2});
    auto r = TextLayout::layout(glyphs, 0, 0, 0, NSLineBreakByWordWrapping);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(r.size.width, 6 + 6 + 12 + 30);
    EXPECT_DOUBLE_EQ(r.size.height, 40);
    EXPECT_TRUE(TextLayout::layout({}, 100, 0, 0, NSLineBreakByWordWrapping).lines.empty());
}

}  // namespace
