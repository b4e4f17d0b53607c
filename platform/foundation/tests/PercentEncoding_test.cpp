#include <platform_foundation/PercentEncoding.h>

#include <gtest/gtest.h>

namespace {

NSCharacterSet queryComponentSet() {
    NSMutableCharacterSet set = NSCharacterSet::URLQueryAllowedCharacterSet();
    set.removeCharactersInString(":#[]@!$&'()*+,;=");
    return set;
}

TEST(PercentEncoding, EscapesWhatTheSetDoesNotAllow) {
    struct Case {
        const char* text;
        NSCharacterSet set;
        const char* expected;
    };
    const Case cases[] = {
        {"a b&c=d", queryComponentSet(), "a%20b%26c%3Dd"},
        {"path/with?query", queryComponentSet(), "path/with?query"},
        {"user[tags][]", queryComponentSet(), "user%5Btags%5D%5B%5D"},
        {"a b&c=d#e", NSCharacterSet::URLQueryAllowedCharacterSet(), "a%20b&c=d%23e"},
        {"héllo 😀", NSCharacterSet::URLQueryAllowedCharacterSet(), "h%C3%A9llo%20%F0%9F%98%80"},
        {"50%", NSCharacterSet::URLQueryAllowedCharacterSet(), "50%25"},
        {"", NSCharacterSet::URLQueryAllowedCharacterSet(), ""},
        {"a;b", NSCharacterSet::URLPathAllowedCharacterSet(), "a%3Bb"},
        // A malformed byte is escaped as itself, not replaced.
        {"a\xFF" "b", NSCharacterSet::URLQueryAllowedCharacterSet(), "a%FFb"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NSString::stringByAddingPercentEncodingWithAllowedCharacters(c.text, c.set), c.expected) << c.text;
}

TEST(PercentEncoding, RemovesEscapesOrFails) {
    struct Case {
        const char* text;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"a%20b%26c", "a b&c"},
        {"h%C3%A9llo%20%f0%9f%98%80", "héllo 😀"},
        {"plain+text", "plain+text"},  // "+" is not a space here
        {"", ""},
        {"100%", std::nullopt},
        {"%2", std::nullopt},
        {"%zz", std::nullopt},
        {"%C3", std::nullopt},       // half a UTF-8 sequence
        {"%FF%FE", std::nullopt},    // not UTF-8
    };
    for (const Case& c : cases) EXPECT_EQ(NSString::stringByRemovingPercentEncoding(c.text), c.expected) << c.text;
}

TEST(PercentEncoding, RoundTripsArbitraryText) {
    const std::string text = "key=välue&list[]=1 2/3?😀%";
    auto encoded = NSString::stringByAddingPercentEncodingWithAllowedCharacters(text, queryComponentSet());
    EXPECT_EQ(NSString::stringByRemovingPercentEncoding(encoded), text);
}

}  // namespace
