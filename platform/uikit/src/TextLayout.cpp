#include <platform_uikit/TextLayout.h>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace {

using Glyph = TextLayout::Glyph;

bool isNewline(char32_t c) { return c == U'\n' || c == U'\u2028' || c == U'\u2029'; }
bool isSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\u00A0' || c == U'\u3000'; }

void appendUtf8(std::string& out, char32_t c) {
    char buf[4];
    int32_t n = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<uint8_t*>(buf), n, 4, static_cast<UChar32>(c), error);
    if (!error) out.append(buf, n);
}

double widthOf(const std::vector<Glyph>& glyphs, std::size_t from, std::size_t to) {
    double w = 0;
    for (std::size_t i = from; i < to; ++i) w += glyphs[i].advance;
    return w;
}

// The height of a line of glyphs (at least one): its tallest glyph's.
double tallest(const std::vector<Glyph>& glyphs) {
    double height = 0;
    for (auto& g : glyphs) height = std::max(height, g.lineHeight);
    return height;
}

TextLayout::Line finish(std::vector<Glyph> glyphs, double emptyHeight) {
    TextLayout::Line line;
    std::size_t end = glyphs.size();
    while (end > 0 && isSpace(glyphs[end - 1].character)) --end;
    line.width = widthOf(glyphs, 0, end);
    line.height = emptyHeight;
    if (!glyphs.empty()) {
        line.height = 0;
        for (auto& g : glyphs) line.height = std::max(line.height, g.lineHeight);
    }
    line.glyphs = std::move(glyphs);
    return line;
}

Glyph ellipsisLike(const Glyph& model) {
    double size = model.lineHeight / TextLayout::kLineHeight;
    return Glyph{TextLayout::kEllipsis, TextLayout::advance(TextLayout::kEllipsis, size), model.lineHeight, model.run};
}

std::vector<Glyph> trimSpaces(std::vector<Glyph> g) {
    while (!g.empty() && isSpace(g.back().character)) g.pop_back();
    return g;
}

// Cuts `rest` (the last visible line and everything after it, newlines as
// spaces) to fit `maxWidth` with an ellipsis at the mode's place.
std::vector<Glyph> truncate(const std::vector<Glyph>& rest, double maxWidth, NSLineBreakMode mode) {
    if (rest.empty()) return rest;
    Glyph dots = ellipsisLike(rest.back());
    double room = maxWidth > 0 ? maxWidth - dots.advance : 1e300;
    std::vector<Glyph> out;
    if (mode == NSLineBreakByTruncatingHead) {
        double w = 0;
        std::size_t start = rest.size();
        while (start > 0 && w + rest[start - 1].advance <= room) w += rest[--start].advance;
        out.push_back(dots);
        out.insert(out.end(), rest.begin() + start, rest.end());
        return out;
    }
    if (mode == NSLineBreakByTruncatingMiddle) {
        std::size_t head = 0, tail = rest.size();
        double w = 0;
        for (bool front = true;; front = !front) {
            if (head >= tail) break;
            const Glyph& g = front ? rest[head] : rest[tail - 1];
            if (w + g.advance > room) break;
            w += g.advance;
            front ? ++head : --tail;
        }
        out.assign(rest.begin(), rest.begin() + head);
        out = trimSpaces(std::move(out));
        out.push_back(dots);
        out.insert(out.end(), rest.begin() + tail, rest.end());
        return out;
    }
    double w = 0;
    std::size_t end = 0;
    while (end < rest.size() && w + rest[end].advance <= room) w += rest[end++].advance;
    out.assign(rest.begin(), rest.begin() + end);
    out = trimSpaces(std::move(out));
    out.push_back(dots);
    return out;
}

// Greedy wrapping of one paragraph into lines.
void wrapParagraph(const std::vector<Glyph>& para, double maxWidth, bool byChar, double emptyHeight,
                   std::vector<std::vector<Glyph>>& lines) {
    if (para.empty()) {
        lines.emplace_back();
        return;
    }
    std::vector<Glyph> line;
    double lineWidth = 0;  // including trailing spaces
    auto emit = [&] {
        lines.push_back(std::move(line));
        line.clear();
        lineWidth = 0;
    };
    auto placeByChars = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const Glyph& g = para[i];
            if (!line.empty() && !isSpace(g.character) && maxWidth > 0 && lineWidth + g.advance > maxWidth) emit();
            line.push_back(g);
            lineWidth += g.advance;
        }
    };
    if (byChar) {
        placeByChars(0, para.size());
    } else {
        std::size_t i = 0;
        while (i < para.size()) {
            std::size_t wordEnd = i;
            while (wordEnd < para.size() && !isSpace(para[wordEnd].character)) ++wordEnd;
            std::size_t spaceEnd = wordEnd;
            while (spaceEnd < para.size() && isSpace(para[spaceEnd].character)) ++spaceEnd;
            double wordWidth = widthOf(para, i, wordEnd);
            bool fits = maxWidth <= 0 || lineWidth + wordWidth <= maxWidth;
            if (!fits && !line.empty()) emit();
            if (maxWidth > 0 && wordWidth > maxWidth) {
                placeByChars(i, spaceEnd);
            } else {
                line.insert(line.end(), para.begin() + i, para.begin() + spaceEnd);
                lineWidth += widthOf(para, i, spaceEnd);
            }
            i = spaceEnd;
        }
    }
    (void)emptyHeight;
    emit();
}

}  // namespace

std::string TextLayout::Line::text() const {
    std::string out;
    for (auto& g : glyphs) appendUtf8(out, g.character);
    return out;
}

std::string TextLayout::Result::text() const {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) out += '\n';
        out += lines[i].text();
    }
    return out;
}

bool TextLayout::isWide(char32_t c) {
    auto width = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
    if (width == U_EA_WIDE || width == U_EA_FULLWIDTH) return true;
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_EMOJI_PRESENTATION) ||
           (c >= 0x1F000 && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_EXTENDED_PICTOGRAPHIC));
}

bool TextLayout::isZeroWidth(char32_t c) {
    auto category = u_charType(static_cast<UChar32>(c));
    return category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || category == U_FORMAT_CHAR ||
           (category == U_CONTROL_CHAR && c != U'\t');
}

double TextLayout::advance(char32_t c, double pointSize) {
    // ASCII answers without the character tables: controls but the tab take no room, the
    // rest is narrow.
    if (c < 0x80) return (c < 0x20 && c != U'\t') || c == 0x7F ? 0 : kNarrowAdvance * pointSize;
    if (isNewline(c) || isZeroWidth(c)) return 0;
    return (isWide(c) ? kWideAdvance : kNarrowAdvance) * pointSize;
}

std::vector<TextLayout::Glyph> TextLayout::glyphsForText(std::string_view utf8, double pointSize, std::size_t run) {
    std::vector<Glyph> out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    int32_t i = 0, n = static_cast<int32_t>(utf8.size());
    while (i < n) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0) c = 0xFFFD;
        if (c == '\r') {
            if (i < n && s[i] == '\n') continue;  // CR LF is one break
            c = '\n';
        }
        out.push_back(Glyph{static_cast<char32_t>(c), advance(c, pointSize), kLineHeight * pointSize, run});
    }
    return out;
}

TextLayout::Result TextLayout::layout(const std::vector<Glyph>& glyphs, double maxWidth, double maxHeight,
                                      int64_t maxLines, NSLineBreakMode mode) {
    // Paragraphs, each remembering the height of an empty line in it.
    std::vector<std::vector<Glyph>> raw;
    std::vector<double> rawEmptyHeight;
    std::vector<std::size_t> rawStart;  // index of each line's first glyph in `glyphs`
    {
        std::vector<Glyph> para;
        std::size_t paraStart = 0;
        double lastHeight = glyphs.empty() ? 0 : glyphs.front().lineHeight;
        auto flush = [&](double height) {
            std::size_t before = raw.size();
            wrapParagraph(para, maxWidth, mode == NSLineBreakByCharWrapping, height, raw);
            std::size_t at = paraStart;
            for (std::size_t l = before; l < raw.size(); ++l) {
                rawStart.push_back(at);
                rawEmptyHeight.push_back(height);
                at += raw[l].size();
            }
        };
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            lastHeight = glyphs[i].lineHeight;
            if (isNewline(glyphs[i].character)) {
                flush(lastHeight);
                para.clear();
                paraStart = i + 1;
            } else {
                para.push_back(glyphs[i]);
            }
        }
        if (!para.empty() || !glyphs.empty()) flush(lastHeight);
    }

    std::size_t allowed = raw.size();
    if (maxLines > 0) allowed = std::min<std::size_t>(allowed, static_cast<std::size_t>(maxLines));
    if (maxHeight > 0) {
        double h = 0;
        std::size_t fit = 0;
        for (; fit < allowed; ++fit) {
            double lh = raw[fit].empty() ? rawEmptyHeight[fit] : tallest(raw[fit]);
            if (h + lh > maxHeight + 1e-9) break;
            h += lh;
        }
        allowed = std::max<std::size_t>(fit, std::min<std::size_t>(1, allowed));
    }

    Result result;
    result.truncated = allowed < raw.size();
    for (std::size_t l = 0; l < allowed; ++l) {
        bool last = l + 1 == allowed && result.truncated;
        bool truncating = mode == NSLineBreakByTruncatingTail || mode == NSLineBreakByTruncatingHead ||
                          mode == NSLineBreakByTruncatingMiddle;
        if (last && truncating) {
            std::vector<Glyph> rest;
            for (std::size_t i = rawStart[l]; i < glyphs.size(); ++i) {
                Glyph g = glyphs[i];
                if (isNewline(g.character)) g = Glyph{U' ', advance(U' ', g.lineHeight / kLineHeight), g.lineHeight, g.run};
                rest.push_back(g);
            }
            result.lines.push_back(finish(truncate(rest, maxWidth, mode), rawEmptyHeight[l]));
        } else {
            result.lines.push_back(finish(std::move(raw[l]), rawEmptyHeight[l]));
        }
    }
    for (auto& line : result.lines) {
        result.size.width = std::max(result.size.width, line.width);
        result.size.height += line.height;
    }
    return result;
}

TextLayout::Result TextLayout::layoutText(std::string_view utf8, double pointSize, double maxWidth,
                                          double maxHeight, int64_t maxLines, NSLineBreakMode mode) {
    return layout(glyphsForText(utf8, pointSize), maxWidth, maxHeight, maxLines, mode);
}
