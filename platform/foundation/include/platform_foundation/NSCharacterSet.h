#pragma once
// Sets of Unicode characters (the platform's standard sets, custom ones, inverted ones), and the
// string operations that take them: trimming, searching and splitting.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <platform_foundation/NSStringCompare.h>
#include <platform_foundation/NSRange.h>

class NSCharacterSet {
public:
    // Spaces (Unicode space separators) and tab.
    static NSCharacterSet whitespaceCharacterSet();
    // U+000A..U+000D, U+0085, U+2028, U+2029.
    static NSCharacterSet newlineCharacterSet();
    static NSCharacterSet whitespaceAndNewlineCharacterSet();
    // Unicode decimal digits (Nd).
    static NSCharacterSet decimalDigitCharacterSet();
    // Unicode letters and marks (L*, M*).
    static NSCharacterSet letterCharacterSet();
    // Letters, marks and numbers (L*, M*, N*).
    static NSCharacterSet alphanumericCharacterSet();
    static NSCharacterSet lowercaseLetterCharacterSet();
    static NSCharacterSet uppercaseLetterCharacterSet();
    static NSCharacterSet punctuationCharacterSet();
    // The characters a URL may carry unescaped in each part: letters, digits and "-._~", plus
    // query/fragment: "!$&'()*+,;=:@/?"; path: "!$&'()*+,=:@/"; host: "!$&'()*+,;=:[]";
    // user: "!$&'()*+,;="; password: "!$&'()*+,;=".
    static NSCharacterSet URLQueryAllowedCharacterSet();
    static NSCharacterSet URLFragmentAllowedCharacterSet();
    static NSCharacterSet URLPathAllowedCharacterSet();
    static NSCharacterSet URLHostAllowedCharacterSet();
    static NSCharacterSet URLUserAllowedCharacterSet();
    static NSCharacterSet URLPasswordAllowedCharacterSet();
    static NSCharacterSet characterSetWithCharactersInString(std::string_view characters);

    // The empty set.
    NSCharacterSet();

    bool characterIsMember(char32_t c) const;
    NSCharacterSet invertedSet() const;

    // Mutation (the platform's mutable character set). Copies are independent.
    void addCharactersInString(std::string_view characters);
    void removeCharactersInString(std::string_view characters);
    void formUnionWithCharacterSet(const NSCharacterSet& other);
    void formIntersectionWithCharacterSet(const NSCharacterSet& other);
    void invert();

private:
    using Predicate = std::function<bool(char32_t)>;
    explicit NSCharacterSet(Predicate p);
    std::shared_ptr<const Predicate> member_;
};

using NSMutableCharacterSet = NSCharacterSet;

namespace NSString {
// Removes characters of the set from both ends.
std::string stringByTrimmingCharactersInSet(std::string_view s, const NSCharacterSet& set);
// The first (or last, with NSBackwardsSearch) character of the set, in UTF-16 units;
// {NSNotFound, 0} when there is none.
NSRange rangeOfCharacterFromSet(std::string_view s, const NSCharacterSet& set, NSStringCompareOptions options = 0);
// Pieces between single separator characters (adjacent separators give empty pieces).
std::vector<std::string> componentsSeparatedByCharactersInSet(std::string_view s, const NSCharacterSet& set);
}  // namespace NSString
