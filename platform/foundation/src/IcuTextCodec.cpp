#include "IcuTextCodec.h"

#include <memory>
#include <string_view>

#include <platform_runtime/UTF16.h>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

namespace icu_text {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter open(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter c(ucnv_open(name, &status));
    if (U_FAILURE(status)) return nullptr;
    return c;
}

struct Entry {
    NSStringEncoding encoding;
    const char* converter;
};

// 0x80000000 | registry number for encodings without a classic number (CFStringEncoding.h).
constexpr Entry kConverters[] = {
    {NSASCIIStringEncoding, "US-ASCII"},
    {NSJapaneseEUCStringEncoding, "EUC-JP"},
    {NSUTF8StringEncoding, "UTF-8"},
    {NSISOLatin1StringEncoding, "ISO-8859-1"},
    {NSShiftJISStringEncoding, "windows-31j"},
    {NSISOLatin2StringEncoding, "ISO-8859-2"},
    {NSUTF16StringEncoding, "UTF-16"},
    {NSWindowsCP1251StringEncoding, "windows-1251"},
    {NSWindowsCP1252StringEncoding, "windows-1252"},
    {NSWindowsCP1253StringEncoding, "windows-1253"},
    {NSWindowsCP1254StringEncoding, "windows-1254"},
    {NSWindowsCP1250StringEncoding, "windows-1250"},
    {NSISO2022JPStringEncoding, "ISO-2022-JP"},
    {NSMacOSRomanStringEncoding, "macintosh"},
    {NSUTF16BigEndianStringEncoding, "UTF-16BE"},
    {NSUTF16LittleEndianStringEncoding, "UTF-16LE"},
    {NSUTF32StringEncoding, "UTF-32"},
    {NSUTF32BigEndianStringEncoding, "UTF-32BE"},
    {NSUTF32LittleEndianStringEncoding, "UTF-32LE"},
    {0x80000A01, "Shift_JIS"},
    {0x80000632, "GB18030"},
    {0x80000930, "GB2312"},
    {0x80000A03, "Big5"},
    {0x80000940, "EUC-KR"},
    {0x80000A02, "KOI8-R"},
    {0x80000A08, "KOI8-U"},
    {0x80000209, "ISO-8859-9"},
    {0x8000020F, "ISO-8859-15"},
    {0x80000205, "ISO-8859-5"},
    {0x80000207, "ISO-8859-7"},
};

}  // namespace

const char* converterName(NSStringEncoding encoding) {
    for (const Entry& e : kConverters)
        if (e.encoding == encoding) return e.converter;
    return nullptr;
}

std::optional<std::string> decode(const char* converter, const void* bytes, std::size_t length, bool lossy) {
    Converter c = open(converter);
    if (!c) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    if (lossy) {
        // The substitute callback writes U+FFFD for both illegal and unmapped input.
        ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    } else {
        ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    }
    if (U_FAILURE(status)) return std::nullopt;
    bool c1Undefined = std::string_view(converter).starts_with("windows-125");
    std::u16string units(length * 2 + 2, u'\0');  // no encoding yields more than two units per byte
    const char* src = static_cast<const char*>(bytes);
    const char* srcEnd = src + length;
    UChar* dst = reinterpret_cast<UChar*>(units.data());
    UChar* dstStart = dst;
    UChar* dstEnd = dstStart + units.size();
    ucnv_toUnicode(c.get(), &dst, dstEnd, &src, srcEnd, nullptr, /*flush=*/false, &status);
    if (U_FAILURE(status)) return std::nullopt;
    // A character cut off at the end: the substitute callback would drop it silently.
    bool truncated = ucnv_toUCountPending(c.get(), &status) > 0;
    if (truncated && !lossy) return std::nullopt;
    ucnv_reset(c.get());
    units.resize(static_cast<std::size_t>(dst - dstStart));
    if (truncated) units += u'\uFFFD';
    bool singleByte = ucnv_getMaxCharSize(c.get()) == 1;
    const auto* in = static_cast<const uint8_t*>(bytes);
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t& u = units[i];
        bool unmapped = false;
        if (singleByte && units.size() == length + (truncated ? 1 : 0)) {
            // Single-byte tables substitute U+001A for unmapped bytes; a real 0x1A stays.
            if (u == u'\x1A' && in[i] != 0x1A) unmapped = true;
            // ICU reads the holes of the Windows code pages (0x81, 0x8D, … in 1252) as the
            // C1 control of the same value; those positions are undefined in the code page.
            if (c1Undefined && u >= 0x80 && u <= 0x9F) unmapped = true;
        }
        if (!unmapped) continue;
        if (!lossy) return std::nullopt;
        u = u'\uFFFD';
    }
    return utf16ToUtf8(units);
}

std::optional<Value::Data> encode(const char* converter, std::string_view utf8, bool lossy) {
    Converter c = open(converter);
    if (!c) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    if (lossy) {
        ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
        ucnv_setSubstChars(c.get(), "?", 1, &status);
    } else {
        ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    }
    if (U_FAILURE(status)) return std::nullopt;
    std::u16string units = utf8ToUtf16(utf8);
    Value::Data out(units.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(c.get())) + 16);
    const UChar* src = reinterpret_cast<const UChar*>(units.data());
    const UChar* srcEnd = src + units.size();
    char* dst = reinterpret_cast<char*>(out.data());
    char* dstStart = dst;
    ucnv_fromUnicode(c.get(), &dst, dstStart + out.size(), &src, srcEnd, nullptr, /*flush=*/true, &status);
    if (U_FAILURE(status)) return std::nullopt;
    out.resize(static_cast<std::size_t>(dst - dstStart));
    return out;
}

}  // namespace icu_text
