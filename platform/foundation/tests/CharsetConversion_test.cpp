// Charset names resolve through the registry, and text decoded with ICU equals what the C
// library's iconv makes of the same bytes.
#include <platform_foundation/CFStringEncoding.h>
#include <platform_foundation/NSStringEncoding.h>

#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace {

// Converts with glibc's iconv; nullopt where iconv refuses a sequence.
std::optional<std::string> iconvConvert(const char* from, const char* to, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return std::nullopt;
    if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

Value::Data bytesOf(std::string_view s) { return Value::Data(s.begin(), s.end()); }

struct Charset {
    const char* ianaName;     // what a response's charset parameter says
    const char* iconvName;    // the same encoding in glibc
    NSStringEncoding expected;
    const char* sample;       // UTF-8
};

const Charset kCharsets[] = {
    {"windows-1252", "CP1252", NSWindowsCP1252StringEncoding, "Caf\u00e9 \u20ac5 \u201cquoted\u201d \u2014 na\u00efve \u0152uvre \u2122"},
    {"cp1252", "CP1252", NSWindowsCP1252StringEncoding, "Stra\u00dfe \u00bd \u2020"},
    {"Shift_JIS", "SHIFT_JIS", 0x80000A01, "\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8\u3002\u30ab\u30bf\u30ab\u30ca\uff71\uff72\uff73"},
    {"x-sjis", "SHIFT_JIS", 0x80000A01, "\u6771\u4eac abc"},
    {"EUC-JP", "EUC-JP", NSJapaneseEUCStringEncoding, "\u65e5\u672c\u8a9e\u306e\u6587\u7ae0\u3067\u3059 123"},
    {"GB18030", "GB18030", 0x80000632, "\u4e2d\u6587\u7f51\u9875 \u20ac \U0001F600 \u00e9"},
    {"KOI8-R", "KOI8-R", 0x80000A02, "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440! \u0401\u0451"},
    {"iso-8859-1", "ISO-8859-1", NSISOLatin1StringEncoding, "na\u00efve caf\u00e9 \u00bf\u00a1"},
    {"latin1", "ISO-8859-1", NSISOLatin1StringEncoding, "\u00e0\u00e9\u00ee\u00f5\u00fc"},
    {"UTF-8", "UTF-8", NSUTF8StringEncoding, "h\u00e9llo \U0001F600"},
    {"windows-1251", "CP1251", NSWindowsCP1251StringEncoding, "\u041c\u043e\u0441\u043a\u0432\u0430 \u2116 5"},
    {"ISO-2022-JP", "ISO-2022-JP", NSISO2022JPStringEncoding, "\u65e5\u672c abc \u30c6\u30b9\u30c8"},
    {"EUC-KR", "EUC-KR", 0x80000940, "\ud55c\uad6d\uc5b4 \ud14d\uc2a4\ud2b8"},
    {"Big5", "BIG5", 0x80000A03, "\u7e41\u9ad4\u4e2d\u6587"},
    {"macintosh", "MACINTOSH", NSMacOSRomanStringEncoding, "caf\u00e9 \u2020 \u00df"},
};

TEST(CharsetConversion, NamesResolveAndTextDecodesAsIconvDoes) {
    for (const Charset& c : kCharsets) {
        SCOPED_TRACE(c.ianaName);
        NSStringEncoding encoding =
            CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding(c.ianaName));
        EXPECT_EQ(encoding, c.expected);
        auto bytes = iconvConvert("UTF-8", c.iconvName, c.sample);
        ASSERT_TRUE(bytes);
        auto viaIconv = iconvConvert(c.iconvName, "UTF-8", *bytes);
        ASSERT_TRUE(viaIconv);
        EXPECT_EQ(NSString::initWithData(bytesOf(*bytes), encoding), *viaIconv);
        EXPECT_EQ(NSString::initWithDataReplacingInvalid(bytesOf(*bytes), encoding), *viaIconv);
        EXPECT_EQ(NSString::dataUsingEncoding(c.sample, encoding), bytesOf(*bytes));
    }
}

// Every byte of the single-byte tables: where iconv maps a byte, ICU maps it to the same
// character; where iconv refuses one, strict decoding refuses it too.
TEST(CharsetConversion, SingleByteTablesAgreeWithIconvByteForByte) {
    const std::pair<const char*, NSStringEncoding> tables[] = {
        {"CP1252", NSWindowsCP1252StringEncoding},
        {"KOI8-R", 0x80000A02},
        {"CP1251", NSWindowsCP1251StringEncoding},
        {"ISO-8859-15", 0x8000020F},
    };
    for (auto [iconvName, encoding] : tables) {
        for (int b = 0x20; b <= 0xFF; ++b) {
            SCOPED_TRACE(std::string(iconvName) + " byte " + std::to_string(b));
            std::string one(1, static_cast<char>(b));
            auto expected = iconvConvert(iconvName, "UTF-8", one);
            auto ours = NSString::initWithData(bytesOf(one), encoding);
            if (expected) {
                EXPECT_EQ(ours, expected);
            } else {
                EXPECT_EQ(ours, std::nullopt);
                EXPECT_EQ(NSString::initWithDataReplacingInvalid(bytesOf(one), encoding), "\uFFFD");
            }
        }
    }
}

TEST(CharsetConversion, UnknownNamesAndInvalidBytes) {
    for (const char* bogus : {"", "bogus", "x-user-defined", "utf-9", "windows-1252; q=1"}) {
        SCOPED_TRACE(bogus);
        EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding(bogus), kCFStringEncodingInvalidId);
    }
    EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(kCFStringEncodingInvalidId), 0xFFFFFFFFu);
    EXPECT_FALSE(NSString::isSupportedEncoding(0xFFFFFFFFu));
    EXPECT_EQ(NSString::initWithData(bytesOf("abc"), 0xFFFFFFFFu), std::nullopt);
    EXPECT_EQ(NSString::initWithDataReplacingInvalid(bytesOf("abc"), 0xFFFFFFFFu), std::nullopt);

    // A truncated double-byte character and a stray continuation byte.
    const std::pair<std::string, NSStringEncoding> broken[] = {
        {"ab\x93", 0x80000A01},                 // Shift_JIS lead byte with nothing after it
        {"\x8E", NSJapaneseEUCStringEncoding},  // EUC-JP half-width prefix alone
        {"x\xFF", NSUTF8StringEncoding},
    };
    for (const auto& [bytes, encoding] : broken) {
        SCOPED_TRACE(encoding);
        EXPECT_EQ(NSString::initWithData(bytesOf(bytes), encoding), std::nullopt);
        auto lossy = NSString::initWithDataReplacingInvalid(bytesOf(bytes), encoding);
        ASSERT_TRUE(lossy);
        EXPECT_NE(lossy->find("\uFFFD"), std::string::npos) << *lossy;
    }
    // Characters the target cannot hold: refused, or "?" when lossy.
    EXPECT_EQ(NSString::dataUsingEncoding("\u65e5x", 0x80000A02), std::nullopt);
    EXPECT_EQ(NSString::dataUsingEncoding("\u65e5x", 0x80000A02, true), bytesOf("?x"));
}

}  // namespace
