#include <platform_foundation/NSCharacterSet.h>

#include <set>

#include <unicode/uchar.h>

#include <platform_runtime/UTF16.h>

namespace {

std::set<char32_t> codePoints(std::string_view characters) {
    std::set<char32_t> out;
    std::size_t pos = 0;
    while (pos < characters.size()) out.insert(decodeUtf8(characters, pos));
    return out;
}



NSCharacterSet urlSet(std::string_view extra) {
    NSCharacterSet set = NSCharacterSet::characterSetWithCharactersInString(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~");
    set.addCharactersInString(extra);
    return set;
}

bool isNewline(char32_t c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }
bool isWhitespace(char32_t c) { return c == '\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR; }

bool inCategoryMask(char32_t c, uint32_t mask) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & mask) != 0; }

}  // namespace

NSCharacterSet::NSCharacterSet() : NSCharacterSet(Predicate([](char32_t) { return false; })) {}

NSCharacterSet::NSCharacterSet(Predicate p) : member_(std::make_shared<const Predicate>(std::move(p))) {}

bool NSCharacterSet::characterIsMember(char32_t c) const { return (*member_)(c); }

NSCharacterSet NSCharacterSet::whitespaceCharacterSet() { return NSCharacterSet(Predicate(isWhitespace)); }
NSCharacterSet NSCharacterSet::newlineCharacterSet() { return NSCharacterSet(Predicate(isNewline)); }
NSCharacterSet NSCharacterSet::whitespaceAndNewlineCharacterSet() {
    return NSCharacterSet(Predicate([](char32_t c) { return isWhitespace(c) || isNewline(c); }));
}
NSCharacterSet NSCharacterSet::decimalDigitCharacterSet() {
    return NSCharacterSet(Predicate([](char32_t c) { return u_charType(static_cast<UChar32>(c)) == U_DECIMAL_DIGIT_NUMBER; }));
}
NSCharacterSet NSCharacterSet::letterCharacterSet() {
    return NSCharacterSet(Predicate([](char32_t c) { return inCategoryMask(c, U_GC_L_MASK | U_GC_M_MASK); }));
}
NSCharacterSet NSCharacterSet::alphanumericCharacterSet() {
    return NSCharacterSet(Predicate([](char32_t c) { return inCategoryMask(c, U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK); }));
}
NSCharacterSet NSCharacterSet::lowercaseLetterCharacterSet() {
    return NSCharacterSet(Predicate([](char32_t c) { return inCategoryMask(c, U_GC_LL_MASK); }));
}
NSCharacterSet NSCharacterSet::uppercaseLetterCharacterSet() {
    return NSCharacterSet(Predicate([](char32_t c) { return inCategoryMask(c, U_GC_LU_MASK | U_GC_LT_MASK); }));
}
NSCharacterSet NSCharacterSet::punctuationCharacterSet() {
    return NSCharacterSet(Predicate([](char32_t c) { return inCategoryMask(c, U_GC_P_MASK); }));
}

NSCharacterSet NSCharacterSet::URLQueryAllowedCharacterSet() { return urlSet("!$&'()*+,;=:@/?"); }
NSCharacterSet NSCharacterSet::URLFragmentAllowedCharacterSet() { return urlSet("!$&'()*+,;=:@/?"); }
NSCharacterSet NSCharacterSet::URLPathAllowedCharacterSet() { return urlSet("!$&'()*+,=:@/"); }
NSCharacterSet NSCharacterSet::URLHostAllowedCharacterSet() { return urlSet("!$&'()*+,;=:[]"); }
NSCharacterSet NSCharacterSet::URLUserAllowedCharacterSet() { return urlSet("!$&'()*+,;="); }
NSCharacterSet NSCharacterSet::URLPasswordAllowedCharacterSet() { return urlSet("!$&'()*+,;="); }

NSCharacterSet NSCharacterSet::characterSetWithCharactersInString(std::string_view characters) {
    NSCharacterSet set;
    set.addCharactersInString(characters);
    return set;
}

NSCharacterSet NSCharacterSet::invertedSet() const {
    NSCharacterSet copy = *this;
    copy.invert();
    return copy;
}

void NSCharacterSet::addCharactersInString(std::string_view characters) {
    auto base = member_;
    auto extra = codePoints(characters);
    member_ = std::make_shared<const Predicate>(
        [base, extra = std::move(extra)](char32_t c) { return extra.count(c) > 0 || (*base)(c); });
}

void NSCharacterSet::removeCharactersInString(std::string_view characters) {
    auto base = member_;
    auto gone = codePoints(characters);
    member_ = std::make_shared<const Predicate>(
        [base, gone = std::move(gone)](char32_t c) { return gone.count(c) == 0 && (*base)(c); });
}

void NSCharacterSet::formUnionWithCharacterSet(const NSCharacterSet& other) {
    auto a = member_, b = other.member_;
    member_ = std::make_shared<const Predicate>([a, b](char32_t c) { return (*a)(c) || (*b)(c); });
}

void NSCharacterSet::formIntersectionWithCharacterSet(const NSCharacterSet& other) {
    auto a = member_, b = other.member_;
    member_ = std::make_shared<const Predicate>([a, b](char32_t c) { return (*a)(c) && (*b)(c); });
}

void NSCharacterSet::invert() {
    auto base = member_;
    member_ = std::make_shared<const Predicate>([base](char32_t c) { return !(*base)(c); });
}

namespace NSString {

std::string stringByTrimmingCharactersInSet(std::string_view s, const NSCharacterSet& set) {
    std::size_t begin = 0;
    while (begin < s.size()) {
        std::size_t next = begin;
        if (!set.characterIsMember(decodeUtf8(s, next))) break;
        begin = next;
    }
    std::size_t end = begin;
    std::size_t pos = begin;
    while (pos < s.size()) {
        char32_t c = decodeUtf8(s, pos);
        if (!set.characterIsMember(c)) end = pos;
    }
    return std::string(s.substr(begin, end - begin));
}

NSRange rangeOfCharacterFromSet(std::string_view s, const NSCharacterSet& set, NSStringCompareOptions options) {
    NSRange found{NSNotFound, 0};
    std::size_t pos = 0, unit = 0;
    while (pos < s.size()) {
        char32_t c = decodeUtf8(s, pos);
        std::size_t units = c > 0xFFFF ? 2 : 1;
        if (set.characterIsMember(c)) {
            found = NSMakeRange(unit, units);
            if (!(options & NSBackwardsSearch)) return found;
        }
        unit += units;
    }
    return found;
}

std::vector<std::string> componentsSeparatedByCharactersInSet(std::string_view s, const NSCharacterSet& set) {
    std::vector<std::string> parts;
    std::size_t start = 0, pos = 0;
    while (pos < s.size()) {
        std::size_t at = pos;
        char32_t c = decodeUtf8(s, pos);
        if (set.characterIsMember(c)) {
            parts.emplace_back(s.substr(start, at - start));
            start = pos;
        }
    }
    parts.emplace_back(s.substr(start));
    return parts;
}

}  // namespace NSString
