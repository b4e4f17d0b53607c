#include <platform_foundation/NSStringCase.h>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <platform_runtime/UTF16.h>

namespace {

using CaseMapper = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

std::string mapCase(std::string_view text, CaseMapper mapper) {
    std::u16string s = utf8ToUtf16(text);
    std::u16string out(s.size() + 8, u'\0');
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = mapper(out.data(), static_cast<int32_t>(out.size()), s.data(), static_cast<int32_t>(s.size()), "", &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        err = U_ZERO_ERROR;
        out.assign(static_cast<std::size_t>(n), u'\0');
        n = mapper(out.data(), n, s.data(), static_cast<int32_t>(s.size()), "", &err);
    }
    if (U_FAILURE(err)) return std::string(text);
    out.resize(static_cast<std::size_t>(n));
    return utf16ToUtf8(out);
}

bool isWordSeparator(char32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 ||
           c == 0x2029 || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

}  // namespace

namespace NSString {

std::string lowercaseString(std::string_view s) { return mapCase(s, u_strToLower); }
std::string uppercaseString(std::string_view s) { return mapCase(s, u_strToUpper); }

std::string capitalizedString(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    bool startOfWord = true;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t start = pos;
        char32_t c = decodeUtf8(s, pos);
        if (isWordSeparator(c)) {
            out.append(s.substr(start, pos - start));
            startOfWord = true;
            continue;
        }
        std::string piece(s.substr(start, pos - start));
        out += startOfWord ? uppercaseString(piece) : lowercaseString(piece);
        startOfWord = false;
    }
    return out;
}

}  // namespace NSString
