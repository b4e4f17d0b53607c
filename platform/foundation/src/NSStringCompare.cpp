#include <platform_foundation/NSStringCompare.h>

#include <memory>
#include <string>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <platform_runtime/UTF16.h>

namespace {

std::u16string normalizeNFD(const std::u16string& s) {
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&err);
    if (U_FAILURE(err)) return s;
    std::u16string out(s.size() * 2 + 8, u'\0');
    int32_t n = unorm2_normalize(nfd, s.data(), static_cast<int32_t>(s.size()), out.data(),
                                 static_cast<int32_t>(out.size()), &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        err = U_ZERO_ERROR;
        out.assign(static_cast<std::size_t>(n), u'\0');
        n = unorm2_normalize(nfd, s.data(), static_cast<int32_t>(s.size()), out.data(), n, &err);
    }
    if (U_FAILURE(err)) return s;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::u16string foldCase(const std::u16string& s) {
    UErrorCode err = U_ZERO_ERROR;
    std::u16string out(s.size() + 8, u'\0');
    int32_t n = u_strFoldCase(out.data(), static_cast<int32_t>(out.size()), s.data(), static_cast<int32_t>(s.size()),
                              U_FOLD_CASE_DEFAULT, &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        err = U_ZERO_ERROR;
        out.assign(static_cast<std::size_t>(n), u'\0');
        n = u_strFoldCase(out.data(), n, s.data(), static_cast<int32_t>(s.size()), U_FOLD_CASE_DEFAULT, &err);
    }
    if (U_FAILURE(err)) return s;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::u16string stripMarks(const std::u16string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        UChar32 c;
        std::size_t start = i;
        U16_NEXT(s.data(), i, s.size(), c);
        if (u_charType(c) != U_NON_SPACING_MARK) out.append(s, start, i - start);
    }
    return out;
}

std::u16string prepare(std::string_view text, NSStringCompareOptions options) {
    std::u16string s = utf8ToUtf16(text);
    if (!(options & NSLiteralSearch) || (options & NSDiacriticInsensitiveSearch)) s = normalizeNFD(s);
    if (options & NSDiacriticInsensitiveSearch) s = stripMarks(s);
    if (options & NSCaseInsensitiveSearch) s = foldCase(s);
    return s;
}

bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

NSComparisonResult order(int c) { return c < 0 ? NSOrderedAscending : c > 0 ? NSOrderedDescending : NSOrderedSame; }

NSComparisonResult compareUnits(const std::u16string& a, const std::u16string& b, bool numeric) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (numeric && isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            std::size_t ea = i, eb = j;
            while (ea < a.size() && isAsciiDigit(a[ea])) ++ea;
            while (eb < b.size() && isAsciiDigit(b[eb])) ++eb;
            // Compare by value: skip leading zeros, then the longer run is larger.
            std::size_t sa = i, sb = j;
            while (sa + 1 < ea && a[sa] == u'0') ++sa;
            while (sb + 1 < eb && b[sb] == u'0') ++sb;
            if (ea - sa != eb - sb) return order(ea - sa < eb - sb ? -1 : 1);
            for (; sa < ea; ++sa, ++sb)
                if (a[sa] != b[sb]) return order(a[sa] < b[sb] ? -1 : 1);
            i = ea;
            j = eb;
            continue;
        }
        if (a[i] != b[j]) return order(a[i] < b[j] ? -1 : 1);
        ++i;
        ++j;
    }
    if (i < a.size()) return NSOrderedDescending;
    if (j < b.size()) return NSOrderedAscending;
    return NSOrderedSame;
}

// Simple (length-keeping) case folding for searching, so match ranges map back to the text.
std::u16string simpleFold(std::u16string s) {
    for (std::size_t i = 0; i < s.size();) {
        UChar32 c;
        std::size_t start = i;
        U16_NEXT(s.data(), i, s.size(), c);
        UChar32 f = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        if (U16_LENGTH(f) == static_cast<int32_t>(i - start)) {
            std::size_t k = start;
            UBool unused = false;
            U16_APPEND(s.data(), k, s.size(), f, unused);
            (void)unused;
        }
    }
    return s;
}

}  // namespace

namespace NSString {

NSComparisonResult compare(std::string_view a, std::string_view b, NSStringCompareOptions options) {
    if ((options & (NSLiteralSearch | NSCaseInsensitiveSearch | NSNumericSearch | NSDiacriticInsensitiveSearch)) ==
            NSLiteralSearch &&
        isValidUtf8(a) && isValidUtf8(b)) {
        // UTF-8 byte order is code point order; UTF-16 unit order differs only above U+FFFF
        // against U+E000..U+FFFF, so take the UTF-16 path for those.
        bool simple = true;
        for (unsigned char c : a) if (c >= 0xEE) { simple = false; break; }
        for (unsigned char c : b) if (c >= 0xEE) { simple = false; break; }
        if (simple) return order(a.compare(b));
    }
    if (!(options & (NSCaseInsensitiveSearch | NSDiacriticInsensitiveSearch | NSNumericSearch))) {
        // ASCII has no decompositions: byte order is the answer.
        auto ascii = [](std::string_view s) {
            for (unsigned char c : s)
                if (c >= 0x80) return false;
            return true;
        };
        if (ascii(a) && ascii(b)) return order(a.compare(b));
    }
    return compareUnits(prepare(a, options), prepare(b, options), options & NSNumericSearch);
}

NSComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b) {
    return compare(a, b, NSCaseInsensitiveSearch);
}

NSComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    struct Closer {
        void operator()(UCollator* c) const { ucol_close(c); }
    };
    // A collator must not be shared between threads.
    thread_local std::unique_ptr<UCollator, Closer> collator = [] {
        UErrorCode err = U_ZERO_ERROR;
        UCollator* c = ucol_open("", &err);
        if (U_SUCCESS(err) && c) ucol_setStrength(c, UCOL_SECONDARY);
        return std::unique_ptr<UCollator, Closer>(U_SUCCESS(err) ? c : nullptr);
    }();
    if (!collator) return caseInsensitiveCompare(a, b);
    UErrorCode err = U_ZERO_ERROR;
    UCollationResult r = ucol_strcollUTF8(collator.get(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                                          static_cast<int32_t>(b.size()), &err);
    if (U_FAILURE(err)) return caseInsensitiveCompare(a, b);
    return r == UCOL_LESS ? NSOrderedAscending : r == UCOL_GREATER ? NSOrderedDescending : NSOrderedSame;
}

bool isEqualToString(std::string_view a, std::string_view b) { return a == b; }

bool hasPrefix(std::string_view s, std::string_view prefix) {
    return !prefix.empty() && s.substr(0, prefix.size()) == prefix;
}

bool hasSuffix(std::string_view s, std::string_view suffix) {
    return !suffix.empty() && s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool containsString(std::string_view s, std::string_view needle) {
    return !needle.empty() && s.find(needle) != std::string_view::npos;
}

NSRange rangeOfString(std::string_view s, std::string_view needle, NSStringCompareOptions options) {
    return rangeOfString(s, needle, options, NSMakeRange(0, static_cast<NSUInteger>(NSNotFound)));
}

NSRange rangeOfString(std::string_view s, std::string_view needleText, NSStringCompareOptions options,
                      NSRange searchRange) {
    const NSRange notFound{NSNotFound, 0};
    if (needleText.empty()) return notFound;
    std::u16string hay = utf8ToUtf16(s);
    std::u16string needle = utf8ToUtf16(needleText);
    if (options & NSCaseInsensitiveSearch) {
        hay = simpleFold(std::move(hay));
        needle = simpleFold(std::move(needle));
    }
    std::size_t begin = std::min(searchRange.location, hay.size());
    std::size_t end = searchRange.length >= hay.size() - begin ? hay.size() : begin + searchRange.length;
    if (end - begin < needle.size()) return notFound;
    std::u16string_view window(hay.data() + begin, end - begin);
    std::size_t at;
    if (options & NSAnchoredSearch) {
        std::size_t candidate = (options & NSBackwardsSearch) ? window.size() - needle.size() : 0;
        at = window.substr(candidate, needle.size()) == needle ? candidate : std::u16string_view::npos;
    } else {
        at = (options & NSBackwardsSearch) ? window.rfind(needle) : window.find(needle);
    }
    if (at == std::u16string_view::npos) return notFound;
    return NSMakeRange(begin + at, needle.size());
}

}  // namespace NSString
