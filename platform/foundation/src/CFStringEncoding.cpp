#include <platform_foundation/CFStringEncoding.h>

#include <strings.h>

#include <string>

#include <unicode/ucnv.h>

namespace {

struct Named {
    const char* ianaName;  // as ICU's IANA standard spells the preferred name
    CFStringEncoding encoding;
};

// Keyed by the name ICU's IANA standard gives a converter, so every alias ICU knows
// ("latin1", "cp1252", "x-sjis", "csKOI8R", …) lands on one row.
constexpr Named kByIanaName[] = {
    {"UTF-8", kCFStringEncodingUTF8},
    {"ANSI_X3.4-1968", kCFStringEncodingASCII},
    {"ISO_8859-1:1987", kCFStringEncodingISOLatin1},
    {"ISO_8859-2:1987", kCFStringEncodingISOLatin2},
    {"ISO_8859-5:1988", kCFStringEncodingISOLatinCyrillic},
    {"ISO_8859-7:1987", kCFStringEncodingISOLatinGreek},
    {"ISO_8859-9:1989", kCFStringEncodingISOLatin5},
    {"ISO-8859-15", kCFStringEncodingISOLatin9},
    {"windows-1250", kCFStringEncodingWindowsLatin2},
    {"windows-1251", kCFStringEncodingWindowsCyrillic},
    {"windows-1252", kCFStringEncodingWindowsLatin1},
    {"windows-1253", kCFStringEncodingWindowsGreek},
    {"windows-1254", kCFStringEncodingWindowsLatin5},
    {"macintosh", kCFStringEncodingMacRoman},
    {"Shift_JIS", kCFStringEncodingShiftJIS},
    {"Extended_UNIX_Code_Packed_Format_for_Japanese", kCFStringEncodingEUC_JP},
    {"ISO-2022-JP", kCFStringEncodingISO_2022_JP},
    {"gb18030", kCFStringEncodingGB_18030_2000},
    {"GB2312", kCFStringEncodingEUC_CN},
    {"Big5", kCFStringEncodingBig5},
    {"EUC-KR", kCFStringEncodingEUC_KR},
    {"KOI8-R", kCFStringEncodingKOI8_R},
    {"KOI8-U", kCFStringEncodingKOI8_U},
    {"UTF-16", kCFStringEncodingUnicode},
    {"UTF-16BE", kCFStringEncodingUTF16BE},
    {"UTF-16LE", kCFStringEncodingUTF16LE},
    {"UTF-32", kCFStringEncodingUTF32},
    {"UTF-32BE", kCFStringEncodingUTF32BE},
    {"UTF-32LE", kCFStringEncodingUTF32LE},
};

struct Classic {
    CFStringEncoding encoding;
    NSStringEncoding classic;
};

constexpr Classic kClassic[] = {
    {kCFStringEncodingASCII, NSASCIIStringEncoding},
    {kCFStringEncodingEUC_JP, NSJapaneseEUCStringEncoding},
    {kCFStringEncodingUTF8, NSUTF8StringEncoding},
    {kCFStringEncodingISOLatin1, NSISOLatin1StringEncoding},
    {kCFStringEncodingDOSJapanese, NSShiftJISStringEncoding},
    {kCFStringEncodingISOLatin2, NSISOLatin2StringEncoding},
    {kCFStringEncodingUnicode, NSUTF16StringEncoding},
    {kCFStringEncodingWindowsCyrillic, NSWindowsCP1251StringEncoding},
    {kCFStringEncodingWindowsLatin1, NSWindowsCP1252StringEncoding},
    {kCFStringEncodingWindowsGreek, NSWindowsCP1253StringEncoding},
    {kCFStringEncodingWindowsLatin5, NSWindowsCP1254StringEncoding},
    {kCFStringEncodingWindowsLatin2, NSWindowsCP1250StringEncoding},
    {kCFStringEncodingISO_2022_JP, NSISO2022JPStringEncoding},
    {kCFStringEncodingMacRoman, NSMacOSRomanStringEncoding},
    {kCFStringEncodingUTF16BE, NSUTF16BigEndianStringEncoding},
    {kCFStringEncodingUTF16LE, NSUTF16LittleEndianStringEncoding},
    {kCFStringEncodingUTF32, NSUTF32StringEncoding},
    {kCFStringEncodingUTF32BE, NSUTF32BigEndianStringEncoding},
    {kCFStringEncodingUTF32LE, NSUTF32LittleEndianStringEncoding},
};

}  // namespace

CFStringEncoding CFStringConvertIANACharSetNameToEncoding(std::string_view name) {
    if (name.empty() || name.size() > 64) return kCFStringEncodingInvalidId;
    std::string cName(name);
    if (cName.find('\0') != std::string::npos) return kCFStringEncodingInvalidId;
    UErrorCode status = U_ZERO_ERROR;
    const char* iana = ucnv_getStandardName(cName.c_str(), "IANA", &status);
    if (U_FAILURE(status) || !iana) return kCFStringEncodingInvalidId;
    for (const Named& n : kByIanaName)
        if (strcasecmp(n.ianaName, iana) == 0) return n.encoding;
    return kCFStringEncodingInvalidId;
}

NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding) {
    if (encoding == kCFStringEncodingInvalidId) return 0xFFFFFFFFu;
    for (const Classic& c : kClassic)
        if (c.encoding == encoding) return c.classic;
    return 0x80000000u | encoding;
}
