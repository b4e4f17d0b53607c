#pragma once
// The one text-metrics model of the headless UI: every font has the same
// proportions, so sizes are exact and repeatable. A narrow character
// advances 0.6 × the point size, an East-Asian wide character or an emoji
// 1.2 ×, combining marks and format characters 0; lines are 1.2 × the size
// tall. Lines wrap at words, words wider than a line at characters, and a
// text cut short by a line or height limit ends in "…" when the break mode
// truncates.
//
// Pure functions; any thread.

#include <platform_runtime/Geometry.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum NSLineBreakMode : int64_t {
    NSLineBreakByWordWrapping = 0,
    NSLineBreakByCharWrapping = 1,
    NSLineBreakByClipping = 2,
    NSLineBreakByTruncatingHead = 3,
    NSLineBreakByTruncatingTail = 4,
    NSLineBreakByTruncatingMiddle = 5,
};

class TextLayout {
public:
    static constexpr double kNarrowAdvance = 0.6;
    static constexpr double kWideAdvance = 1.2;
    static constexpr double kAscender = 0.95;
    static constexpr double kDescender = -0.25;
    static constexpr double kLineHeight = 1.2;
    static constexpr double kCapHeight = 0.7;
    static constexpr double kXHeight = 0.5;
    static constexpr char32_t kEllipsis = U'\u2026';
    // The character an attachment stands on in attributed text.
    static constexpr char32_t kAttachmentCharacter = U'\uFFFC';

    // One laid-out element: a character (or an attachment's box) with its
    // advance and line height, and the index of the run it came from.
    struct Glyph {
        char32_t character = 0;
        double advance = 0;
        double lineHeight = 0;
        std::size_t run = 0;
    };
    struct Line {
        std::vector<Glyph> glyphs;
        double width = 0;   // without trailing white space
        double height = 0;  // tallest glyph (the paragraph's size when empty)
        std::string text() const;
    };
    struct Result {
        std::vector<Line> lines;
        CGSize size;             // widest line × the lines' heights
        bool truncated = false;  // text was cut by a line or height limit
        std::string text() const;  // the lines joined with "\n"
    };

    static bool isWide(char32_t c);
    static bool isZeroWidth(char32_t c);
    static double advance(char32_t c, double pointSize);
    // Glyphs for UTF-8 text in one font size (invalid bytes count as U+FFFD).
    static std::vector<Glyph> glyphsForText(std::string_view utf8, double pointSize, std::size_t run = 0);

    // maxWidth, maxHeight <= 0: unbounded; maxLines 0: unlimited.
    static Result layout(const std::vector<Glyph>& glyphs, double maxWidth, double maxHeight, int64_t maxLines,
                         NSLineBreakMode mode);
    static Result layoutText(std::string_view utf8, double pointSize, double maxWidth, double maxHeight,
                             int64_t maxLines, NSLineBreakMode mode);
};
