#include <platform_foundation/NSStringComponents.h>

#include <memory>

#include <unicode/ubrk.h>

#include <platform_runtime/NSException.h>
#include <platform_runtime/UTF16.h>

namespace NSString {

std::size_t length(std::string_view s) { return utf16Length(s); }

std::vector<std::string> componentsSeparatedByString(std::string_view s, std::string_view separator) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    std::size_t start = 0;
    while (true) {
        std::size_t at = s.find(separator, start);
        if (at == std::string_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out.append(separator);
        out += parts[i];
    }
    return out;
}

std::string componentsJoinedByString(const Value& array, std::string_view separator) {
    std::string out;
    const Value::Array& items = array.isSet() ? array.asSet() : array.asArray();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out.append(separator);
        out += items[i].description();
    }
    return out;
}

std::string stringByReplacingOccurrencesOfString(std::string_view s, std::string_view target,
                                                 std::string_view replacement, NSStringCompareOptions options) {
    if (target.empty()) return std::string(s);
    if (!(options & NSCaseInsensitiveSearch)) {
        std::string out;
        std::size_t start = 0;
        while (true) {
            std::size_t at = s.find(target, start);
            if (at == std::string_view::npos) break;
            out.append(s.substr(start, at - start));
            out.append(replacement);
            start = at + target.size();
        }
        out.append(s.substr(start));
        return out;
    }
    // Case-insensitive: find ranges in UTF-16 units and rebuild from the original text.
    std::u16string text = utf8ToUtf16(s);
    std::u16string out;
    std::u16string repl = utf8ToUtf16(replacement);
    std::size_t at = 0;
    while (at <= text.size()) {
        NSRange r = rangeOfString(s, target, NSCaseInsensitiveSearch, NSMakeRange(at, text.size() - at));
        if (r.location == static_cast<NSUInteger>(NSNotFound)) break;
        out.append(text, at, r.location - at);
        out += repl;
        at = NSMaxRange(r);
    }
    if (at < text.size()) out.append(text, at, std::u16string::npos);
    return utf16ToUtf8(out);
}

std::string substringFromIndex(std::string_view s, std::size_t index) {
    std::size_t len = utf16Length(s);
    if (index > len) NSException::raise(NSRangeException, "Index " + std::to_string(index) + " out of bounds; string length " + std::to_string(len));
    return utf16Substring(s, index, len - index);
}

std::string substringToIndex(std::string_view s, std::size_t index) {
    std::size_t len = utf16Length(s);
    if (index > len) NSException::raise(NSRangeException, "Index " + std::to_string(index) + " out of bounds; string length " + std::to_string(len));
    return utf16Substring(s, 0, index);
}

std::string substringWithRange(std::string_view s, NSRange range) {
    std::size_t len = utf16Length(s);
    if (range.location > len || range.length > len - range.location)
        NSException::raise(NSRangeException, "Range {" + std::to_string(range.location) + ", " +
                                                  std::to_string(range.length) + "} out of bounds; string length " +
                                                  std::to_string(len));
    return utf16Substring(s, range.location, range.length);
}

NSRange rangeOfComposedCharacterSequencesForRange(std::string_view s, NSRange range) {
    std::u16string text = utf8ToUtf16(s);
    std::size_t start = std::min(range.location, text.size());
    std::size_t end = range.length > text.size() - start ? text.size() : start + range.length;
    UErrorCode err = U_ZERO_ERROR;
    UBreakIterator* it = ubrk_open(UBRK_CHARACTER, "", text.data(), static_cast<int32_t>(text.size()), &err);
    if (U_FAILURE(err) || !it) {
        // Fall back to not splitting surrogate pairs.
        if (start > 0 && start < text.size() && (text[start] & 0xFC00) == 0xDC00) --start;
        if (end > 0 && end < text.size() && (text[end] & 0xFC00) == 0xDC00) ++end;
        return NSMakeRange(start, end - start);
    }
    std::unique_ptr<UBreakIterator, void (*)(UBreakIterator*)> guard(it, ubrk_close);
    // Align to code points first: the iterator moves an offset inside a surrogate pair back.
    if (start > 0 && start < text.size() && (text[start] & 0xFC00) == 0xDC00) --start;
    if (end > 0 && end < text.size() && (text[end] & 0xFC00) == 0xDC00) ++end;
    if (!ubrk_isBoundary(it, static_cast<int32_t>(start))) {
        int32_t p = ubrk_preceding(it, static_cast<int32_t>(start));
        start = p == UBRK_DONE ? 0 : static_cast<std::size_t>(p);
    }
    if (end > start && !ubrk_isBoundary(it, static_cast<int32_t>(end))) {
        int32_t p = ubrk_following(it, static_cast<int32_t>(end));
        end = p == UBRK_DONE ? text.size() : static_cast<std::size_t>(p);
    }
    if (end < start) end = start;
    return NSMakeRange(start, end - start);
}

}  // namespace NSString
