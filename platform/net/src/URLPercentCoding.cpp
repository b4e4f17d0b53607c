#include "URLPercentCoding.h"

#include <platform_foundation/PercentEncoding.h>

namespace {

NSCharacterSet allowedSet(URLCharacterClass part) {
    switch (part) {
        case URLCharacterClass::Path: return NSCharacterSet::URLPathAllowedCharacterSet();
        case URLCharacterClass::Query: return NSCharacterSet::URLQueryAllowedCharacterSet();
        case URLCharacterClass::QueryItem: {
            // A query item's name or value must not end the item or the pair.
            auto set = NSCharacterSet::URLQueryAllowedCharacterSet();
            set.removeCharactersInString("&=");
            return set;
        }
        case URLCharacterClass::Fragment: return NSCharacterSet::URLFragmentAllowedCharacterSet();
        case URLCharacterClass::Host: return NSCharacterSet::URLHostAllowedCharacterSet();
        case URLCharacterClass::User: return NSCharacterSet::URLUserAllowedCharacterSet();
        case URLCharacterClass::Password: return NSCharacterSet::URLPasswordAllowedCharacterSet();
    }
    return NSCharacterSet();
}

}  // namespace

std::string urlPercentEncode(std::string_view text, URLCharacterClass part) {
    static const NSCharacterSet kSets[] = {
        allowedSet(URLCharacterClass::Path),     allowedSet(URLCharacterClass::Query),
        allowedSet(URLCharacterClass::QueryItem), allowedSet(URLCharacterClass::Fragment),
        allowedSet(URLCharacterClass::Host),     allowedSet(URLCharacterClass::User),
        allowedSet(URLCharacterClass::Password)};
    return NSString::stringByAddingPercentEncodingWithAllowedCharacters(text, kSets[static_cast<int>(part)]);
}

std::optional<std::string> urlPercentDecode(std::string_view text) {
    return NSString::stringByRemovingPercentEncoding(text);
}
