#include <platform_net/NSURL.h>
#include <platform_net/NSURLComponents.h>

#include <gtest/gtest.h>

namespace {

TEST(NSURL, RejectsStringsThatAreNotURLs) {
    for (const char* bad : {"", "http://a b", "http://h/%zz", "http://h/%4", "http://h:99999/", "http://h:8a/",
                            "http://[::1/", "http://h/\xc3\xa9"}) {
        EXPECT_EQ(NSURL::URLWithString(bad), nullptr) << bad;
    }
}

TEST(NSURL, PartsOfAnAbsoluteURL) {
    auto url = NSURL::URLWithString("https://user:pw@Api.Example.org:8443/api/ios/v4/device/iPhone14%2C3/?x=1&y=%20#frag");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "https");
    EXPECT_EQ(url->host(), "Api.Example.org");
    EXPECT_EQ(url->port(), 8443);
    EXPECT_EQ(url->user(), "user");
    EXPECT_EQ(url->password(), "pw");
    EXPECT_EQ(url->path(), "/api/ios/v4/device/iPhone14,3");
    EXPECT_EQ(url->percentEncodedPath(), "/api/ios/v4/device/iPhone14%2C3/");
    EXPECT_EQ(url->query(), "x=1&y=%20");
    EXPECT_EQ(url->fragment(), "frag");
    EXPECT_EQ(url->lastPathComponent(), "iPhone14,3");
    EXPECT_TRUE(url->hasDirectoryPath());

    auto bare = NSURL::URLWithString("http://127.0.0.1");
    EXPECT_EQ(bare->path(), "");
    EXPECT_EQ(bare->port(), std::nullopt);
    EXPECT_EQ(bare->query(), std::nullopt);
    auto v6 = NSURL::URLWithString("http://[::1]:8080/x");
    EXPECT_EQ(v6->host(), "::1");
    EXPECT_EQ(v6->port(), 8080);
}

TEST(NSURL, ResolutionAgainstABase) {
    // The reference resolution examples of RFC 3986, section 5.4.
    auto base = NSURL::URLWithString("http://a/b/c/d;p?q");
    const std::pair<const char*, const char*> cases[] = {
        {"g:h", "g:h"},           {"g", "http://a/b/c/g"},       {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"}, {"/g", "http://a/g"},          {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"}, {"g?y", "http://a/b/c/g?y"}, {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"}, {";x", "http://a/b/c/;x"},   {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},   {"./", "http://a/b/c/"},        {"..", "http://a/b/"},
        {"../g", "http://a/b/g"}, {"../..", "http://a/"},         {"../../../g", "http://a/g"},
        {"/./g", "http://a/g"},   {"/../g", "http://a/g"},        {"g.", "http://a/b/c/g."},
        {"..g", "http://a/b/c/..g"}, {"./../g", "http://a/b/g"},  {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"}, {"g;x=1/../y", "http://a/b/c/y"},
    };
    for (const auto& [ref, expected] : cases) {
        auto url = NSURL::URLWithString(ref, base);
        ASSERT_TRUE(url) << ref;
        EXPECT_EQ(url->absoluteString(), expected) << ref;
        EXPECT_EQ(url->relativeString(), ref);
    }
    auto api = NSURL::URLWithString("api/ios/v4/releases", NSURL::URLWithString("https://h.example/"));
    EXPECT_EQ(api->absoluteString(), "https://h.example/api/ios/v4/releases");
    EXPECT_EQ(api->baseURL()->absoluteString(), "https://h.example/");
}

TEST(NSURL, PathComponentEditing) {
    auto url = NSURL::URLWithString("http://h/a/b.json?q=1");
    EXPECT_EQ(url->pathExtension(), "json");
    EXPECT_EQ(url->URLByAppendingPathComponent("c d")->absoluteString(), "http://h/a/b.json/c%20d");
    EXPECT_EQ(url->URLByDeletingLastPathComponent()->absoluteString(), "http://h/a/");
    EXPECT_EQ(url->URLByDeletingPathExtension()->absoluteString(), "http://h/a/b");
    EXPECT_EQ(NSURL::URLWithString("http://h/dir/")->URLByAppendingPathComponent("x")->absoluteString(),
              "http://h/dir/x");
    EXPECT_EQ(NSURL::URLWithString("http://h")->URLByAppendingPathComponent("x")->absoluteString(), "http://h/x");
    auto components = NSURL::URLWithString("http://h/a//b/")->pathComponents();
    EXPECT_EQ(components, (std::vector<std::string>{"/", "a", "b"}));
}

TEST(NSURL, FileURLs) {
    auto file = NSURL::fileURLWithPath("/tmp/a b/c.txt");
    EXPECT_EQ(file->absoluteString(), "file:///tmp/a%20b/c.txt");
    EXPECT_TRUE(file->isFileURL());
    EXPECT_EQ(file->path(), "/tmp/a b/c.txt");
    EXPECT_EQ(NSURL::fileURLWithPath("/tmp/d", true)->absoluteString(), "file:///tmp/d/");
}

TEST(NSURL, EqualityByStringAndBase) {
    auto a = NSURL::URLWithString("http://h/x");
    auto b = NSURL::URLWithString("http://h/x");
    auto c = NSURL::URLWithString("x", NSURL::URLWithString("http://h/"));
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*c));
}

// Crash-time inspection finds the URL's text through the class record alone.
TEST(NSURL, AbsoluteStringIsListedInTheIvarTable) {
    auto url = NSURL::URLWithString("path/x?q=1", NSURL::URLWithString("https://example.org/a/"));
    ASSERT_TRUE(url);
    const ObjCClassRecord& record = NSURL::classObject().record();
    ASSERT_EQ(record.ivarCount, 1u);
    EXPECT_STREQ(record.ivars[0].name, "_absoluteString");
    EXPECT_STREQ(record.ivars[0].typeCode, "@\"NSString\"");
    EXPECT_EQ(record.ivars[0].size, sizeof(std::string));
    const char* base = reinterpret_cast<const char*>(static_cast<NSObject*>(url.get()));
    const auto* text = reinterpret_cast<const std::string*>(base + record.ivars[0].offset);
    EXPECT_EQ(*text, "https://example.org/a/path/x?q=1");
}

TEST(NSURLComponents, QueryItemsRoundTrip) {
    auto c = NSURLComponents::componentsWithString("http://h/p?a=1&b=x%20y&c&d=&e=1=2");
    ASSERT_TRUE(c);
    auto items = c->queryItems();
    ASSERT_TRUE(items);
    const std::vector<NSURLQueryItem> expected = {
        {"a", "1"}, {"b", "x y"}, {"c", std::nullopt}, {"d", ""}, {"e", "1=2"}};
    EXPECT_EQ(*items, expected);

    NSURLComponents built;
    built.setScheme("https");
    built.setHost("h.example");
    built.setPath("/api/ios/v4/device/iPad8,12");
    built.setQueryItems(std::vector<NSURLQueryItem>{{"q", "a&b=c d"}, {"é", "+"}});
    EXPECT_EQ(built.string(), "https://h.example/api/ios/v4/device/iPad8,12?q=a%26b%3Dc%20d&%C3%A9=+");
    auto back = NSURLComponents::componentsWithURL(built.URL(), true)->queryItems();
    EXPECT_EQ((*back)[0].value, "a&b=c d");
    EXPECT_EQ((*back)[1].name, "é");

    EXPECT_FALSE(NSURLComponents::componentsWithString("http://h/ x"));
    EXPECT_EQ(NSURLComponents::componentsWithString("http://h/")->queryItems(), std::nullopt);
}

}  // namespace
