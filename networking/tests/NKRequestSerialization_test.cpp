// Query escaping and flattening, the placement of parameters, default headers, the request
// properties, the JSON / property-list bodies and their errors, copying and archiving.

#include <gtest/gtest.h>

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKJSONRequestSerializer.h>
#include <networking/NKPropertyListRequestSerializer.h>
#include <networking/NKQueryString.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_foundation/PercentEncoding.h>

#include <cmath>

namespace {

std::string bodyText(const NSMutableURLRequestPtr& request) {
    const auto& body = request->HTTPBody();
    return body ? std::string(body->begin(), body->end()) : std::string("<none>");
}

TEST(NKQueryEscaping, EscapesEverythingOutsideTheQueryComponentSet) {
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"a b&c=d", "a%20b%26c%3Dd"},
        {"/?", "/?"},
        {"-._~AZaz09", "-._~AZaz09"},
        {":#[]@!$&'()*+,;=", "%3A%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D"},
        {"caf\xC3\xA9", "caf%C3%A9"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(NKEscapeQueryComponent(c.in), c.out) << c.in;
}

// Batches of 50 UTF-16 units would cut surrogate pairs and joined emoji sequences if they
// were not widened; a cut shows as an escaped replacement character.
TEST(NKQueryEscaping, LongRunsOfComposedCharactersEscapeAsTheirPartsDo) {
    const std::string sequences[] = {
        "\xF0\x9F\x98\x80",                                                  // one surrogate pair
        "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7",  // family, joined
        "e\xCC\x81\xCC\xA3",                                                 // base with two marks
    };
    for (const auto& unit : sequences) {
        std::string text, expected;
        for (int i = 0; i < 120; ++i) {
            text += unit;
            expected += NKEscapeQueryComponent(unit);
        }
        EXPECT_EQ(NKEscapeQueryComponent(text), expected);
        EXPECT_EQ(NSString::stringByRemovingPercentEncoding(NKEscapeQueryComponent(text)), text);
    }
}

TEST(NKQueryFlattening, NestedParametersBecomeSortedBracketedPairs) {
    struct Case { Value parameters; const char* query; };
    const Case cases[] = {
        {Value::dict({{"b", 1}, {"a", Value::array({"x", "y"})}, {"c", Value::dict({{"e", Value()}, {"d", 2}})}}),
         "a%5B%5D=x&a%5B%5D=y&b=1&c%5Bd%5D=2&c%5Be%5D"},
        {Value::dict({{"s", Value::set({"b", "a", "c"})}}), "s=a&s=b&s=c"},
        {Value::dict({{"t", true}, {"f", false}, {"d", 1.5}}), "d=1.5&f=0&t=1"},
        {Value::dict({{"u", Value::array({Value::dict({{"n", "v w"}})})}}), "u%5B%5D%5Bn%5D=v%20w"},
        {Value::dict({{"B", 1}, {"a", 2}}), "B=1&a=2"},  // case-sensitive order
        {Value::dict({}), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(NKQueryStringFromDictionary(c.parameters), c.query);
}

TEST(NKQueryFlattening, PairsKeepFieldsUnescaped) {
    auto pairs = NKFlattenQueryPairs(Value(), Value::dict({{"user", Value::dict({{"tags", Value::array({"a"})}})}}));
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].field(), Value("user[tags][]"));
    EXPECT_EQ(pairs[0].value(), Value("a"));
}

class NKRequestSerializerTest : public ::testing::Test {
protected:
    void SetUp() override { NSLocale::setPreferredLanguages(std::vector<std::string>{"en-US", "ru"}); }
    void TearDown() override { NSLocale::setPreferredLanguages(std::nullopt); }

    NSMutableURLRequestPtr build(const NKHTTPRequestSerializer& s, const std::string& method, const std::string& url,
                                 const Value& parameters, NSErrorPtr* error = nullptr) {
        NSErrorPtr local;
        auto request = s.requestWithMethod(method, url, parameters, error ? error : &local);
        return request;
    }
};

TEST_F(NKRequestSerializerTest, ParametersGoIntoTheURLForURIMethodsAndIntoTheBodyOtherwise) {
    auto s = NKHTTPRequestSerializer::serializer();
    struct Case { const char* method; const char* url; Value parameters; const char* expectedURL; const char* body; };
    const Case cases[] = {
        {"GET", "http://h/p", Value::dict({{"a", 1}}), "http://h/p?a=1", "<none>"},
        {"GET", "http://h/p?x=1", Value::dict({{"a", 1}}), "http://h/p?x=1&a=1", "<none>"},
        {"GET", "http://h/p", Value::dict({}), "http://h/p", "<none>"},
        {"get", "http://h/p", Value::dict({{"a", 1}}), "http://h/p?a=1", "<none>"},
        {"DELETE", "http://h/p", Value::dict({{"a", 1}}), "http://h/p?a=1", "<none>"},
        {"HEAD", "http://h/p", Value(), "http://h/p", "<none>"},
        {"PUT", "http://h/p", Value::dict({{"a", 1}}), "http://h/p", "a=1"},
        {"POST", "http://h/p", Value(), "http://h/p", ""},
    };
    for (const auto& c : cases) {
        auto request = build(*s, c.method, c.url, c.parameters);
        ASSERT_TRUE(request) << c.method;
        EXPECT_EQ(request->URL()->absoluteString(), c.expectedURL) << c.method << " " << c.url;
        EXPECT_EQ(bodyText(request), c.body) << c.method;
        if (std::string(c.body) != "<none>") {
            EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "application/x-www-form-urlencoded");
        } else {
            EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Type"));
        }
    }
}

TEST_F(NKRequestSerializerTest, RequestHeadersWinOverDefaultsInAnyLetterCase) {
    auto s = NKHTTPRequestSerializer::serializer();
    s->setValue(std::string("yes"), "X-Default");
    auto request = std::make_shared<NSMutableURLRequest>(NSURL::URLWithString("http://h/"));
    request->setHTTPMethod("POST");
    request->setValue(std::string("mine"), "user-agent");
    request->setValue(std::string("text/plain"), "content-type");
    NSErrorPtr error;
    auto out = s->requestBySerializingRequest(request, Value::dict({{"a", 1}}), &error);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->valueForHTTPHeaderField("User-Agent"), "mine");
    EXPECT_EQ(out->valueForHTTPHeaderField("Content-Type"), "text/plain");
    EXPECT_EQ(out->valueForHTTPHeaderField("X-Default"), "yes");
    EXPECT_EQ(out->valueForHTTPHeaderField("Accept-Language"), "en-US;q=1, ru;q=0.9");
    std::size_t agents = 0;
    for (const auto& [name, value] : out->allHTTPHeaderFields()) agents += (name == "User-Agent" || name == "user-agent");
    EXPECT_EQ(agents, 1u);
}

TEST_F(NKRequestSerializerTest, AcceptLanguageListsAtMostSixLanguages) {
    EXPECT_EQ(NKAcceptLanguageHeader({}), "");
    EXPECT_EQ(NKAcceptLanguageHeader({"a", "b", "c", "d", "e", "f", "g", "h", "i"}),
              "a;q=1, b;q=0.9, c;q=0.8, d;q=0.7, e;q=0.6, f;q=0.5");
    NSLocale::setPreferredLanguages(std::vector<std::string>{});
    EXPECT_EQ(NKHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language"), "");
}

TEST_F(NKRequestSerializerTest, UserAgentIsASCII) {
    auto agent = NKHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("User-Agent");
    ASSERT_TRUE(agent);
    EXPECT_NE(agent->find("; iOS "), std::string::npos);
    EXPECT_NE(agent->find("Scale/"), std::string::npos);
    auto ascii = NKTransliterateToASCII("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 caf\xC3\xA9 \xE2\x98\x83");
    ASSERT_TRUE(ascii);
    EXPECT_EQ(*ascii, "Privet cafe ");
}

TEST_F(NKRequestSerializerTest, RequestPropertiesApplyOnlyOnceSet) {
    auto s = NKHTTPRequestSerializer::serializer();
    auto untouched = build(*s, "GET", "http://h/", Value());
    EXPECT_EQ(untouched->timeoutInterval(), NSURLRequest::DefaultTimeoutInterval);
    EXPECT_TRUE(untouched->HTTPShouldHandleCookies());

    s->setTimeoutInterval(s->timeoutInterval());  // the value it already had still counts
    s->setHTTPShouldHandleCookies(false);
    s->setCachePolicy(NSURLRequestReturnCacheDataElseLoad);
    auto request = build(*s, "GET", "http://h/", Value());
    EXPECT_EQ(request->timeoutInterval(), 0);
    EXPECT_FALSE(request->HTTPShouldHandleCookies());
    EXPECT_EQ(request->cachePolicy(), NSURLRequestReturnCacheDataElseLoad);
    EXPECT_TRUE(request->allowsCellularAccess());  // never set: the request's default
    EXPECT_EQ(s->mutableObservedChangedKeyPaths(),
              (std::set<std::string>{"timeoutInterval", "HTTPShouldHandleCookies", "cachePolicy"}));
}

TEST_F(NKRequestSerializerTest, QueryStyleAndBlock) {
    auto s = NKHTTPRequestSerializer::serializer();
    s->setQueryStringSerializationWithBlock([](const NSURLRequestPtr&, const Value& p, NSErrorPtr*) {
        return "n=" + std::to_string(p.count());
    });
    EXPECT_EQ(build(*s, "GET", "http://h/", Value::dict({{"a", 1}, {"b", 2}}))->URL()->absoluteString(),
              "http://h/?n=2");

    s->setQueryStringSerializationWithBlock([](const NSURLRequestPtr&, const Value&, NSErrorPtr* error) {
        *error = NSError::errorWithDomain("test", 7);
        return std::string();
    });
    NSErrorPtr error;
    EXPECT_FALSE(s->requestWithMethod("POST", "http://h/", Value::dict({{"a", 1}}), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 7);

    s->setQueryStringSerializationWithStyle(1);  // clears the block; no query at all
    EXPECT_EQ(build(*s, "GET", "http://h/", Value::dict({{"a", 1}}))->URL()->absoluteString(), "http://h/");
    EXPECT_EQ(bodyText(build(*s, "POST", "http://h/", Value::dict({{"a", 1}}))), "");
}

TEST_F(NKRequestSerializerTest, BadURLStringIsAnErrorNotAnEmptyRequest) {
    NSErrorPtr error;
    EXPECT_FALSE(NKHTTPRequestSerializer::serializer()->requestWithMethod("GET", "not a url", Value(), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1000);
}

TEST_F(NKRequestSerializerTest, HeadersAndAuthorization) {
    auto s = NKHTTPRequestSerializer::serializer();
    s->setAuthorizationHeaderFieldWithUsername("user", "pa:ss");
    EXPECT_EQ(s->valueForHTTPHeaderField("Authorization"), "Basic dXNlcjpwYTpzcw==");
    EXPECT_FALSE(s->valueForHTTPHeaderField("authorization"));  // exact names on the serializer
    s->clearAuthorizationHeader();
    EXPECT_FALSE(s->valueForHTTPHeaderField("Authorization"));
    s->setValue(std::string("1"), "X-A");
    s->setValue(std::nullopt, "X-A");
    EXPECT_EQ(s->HTTPRequestHeaders().count("X-A"), 0u);
}

TEST_F(NKRequestSerializerTest, JSONBodiesAndTheirErrors) {
    auto s = NKJSONRequestSerializer::serializer();
    auto get = build(*s, "GET", "http://h/", Value::dict({{"a", 1}}));
    EXPECT_EQ(get->URL()->absoluteString(), "http://h/?a=1");
    EXPECT_FALSE(get->HTTPBody());

    auto post = build(*s, "POST", "http://h/", Value::dict({{"a", Value::array({1, Value(), "x"})}}));
    ASSERT_TRUE(post);
    EXPECT_EQ(post->valueForHTTPHeaderField("Content-Type"), "application/json");
    EXPECT_EQ(NSJSONSerialization::JSONObjectWithData(*post->HTTPBody()),
              Value::dict({{"a", Value::array({1, Value(), "x"})}}));

    auto bare = build(*s, "POST", "http://h/", Value());
    EXPECT_FALSE(bare->HTTPBody());
    EXPECT_FALSE(bare->valueForHTTPHeaderField("Content-Type"));

    const Value invalid[] = {Value::dict({{"n", std::nan("")}}), Value("fragment"),
                             Value::dict({{"d", Value::data("x", 1)}}), Value::dict({{1, 2}})};
    for (const auto& parameters : invalid) {
        NSErrorPtr error;
        EXPECT_FALSE(s->requestWithMethod("POST", "http://h/", parameters, &error)) << parameters.description();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "com.netkit.error.serialization.request");
        EXPECT_EQ(error->code(), -1016);
        EXPECT_EQ(error->localizedFailureReason(), "The `parameters` argument is not valid JSON.");
        EXPECT_FALSE(s->requestWithMethod("POST", "http://h/", parameters, nullptr));
    }
}

TEST_F(NKRequestSerializerTest, PropertyListBodiesAndWriterErrors) {
    auto s = NKPropertyListRequestSerializer::serializer();
    EXPECT_EQ(s->format(), 100u);
    auto post = build(*s, "PUT", "http://h/", Value::dict({{"a", Value::array({1, "x"})}}));
    ASSERT_TRUE(post);
    EXPECT_EQ(post->valueForHTTPHeaderField("Content-Type"), "application/x-plist");
    const std::string text = bodyText(post);
    EXPECT_NE(text.find("<plist"), std::string::npos);
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(*post->HTTPBody()),
              Value::dict({{"a", Value::array({1, "x"})}}));

    NSErrorPtr error;
    EXPECT_FALSE(s->requestWithMethod("POST", "http://h/", Value::dict({{"null", Value()}}), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
}

TEST_F(NKRequestSerializerTest, CopiesCarryHeadersStyleAndSubclassFieldsOnly) {
    auto s = NKJSONRequestSerializer::serializerWithWritingOptions(1);
    s->setValue(std::string("v"), "X-Copied");
    s->setStringEncoding(NSASCIIStringEncoding);
    s->setHTTPMethodsEncodingParametersInURI({"GET"});
    s->setQueryStringSerializationWithStyle(3);
    auto copy = std::dynamic_pointer_cast<NKJSONRequestSerializer>(s->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->valueForHTTPHeaderField("X-Copied"), "v");
    EXPECT_EQ(copy->writingOptions(), 1u);
    EXPECT_EQ(copy->queryStringSerializationStyle(), 3u);
    EXPECT_EQ(copy->stringEncoding(), NSUTF8StringEncoding);
    EXPECT_EQ(copy->HTTPMethodsEncodingParametersInURI(), (std::set<std::string>{"GET", "HEAD", "DELETE"}));
    copy->setValue(std::string("w"), "X-Copied");
    EXPECT_EQ(s->valueForHTTPHeaderField("X-Copied"), "v");
}

TEST_F(NKRequestSerializerTest, ArchivesRoundTripUnderSecureCoding) {
    auto s = NKPropertyListRequestSerializer::serializerWithFormat(200, 0);
    s->setValue(std::string("v"), "X-Archived");
    s->setQueryStringSerializationWithStyle(2);
    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(s), true, &error);
    ASSERT_FALSE(data.empty()) << (error ? error->description() : "");
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClass("NKPropertyListRequestSerializer", data, &error)
                       .objectAs<NKPropertyListRequestSerializer>();
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    EXPECT_EQ(decoded->valueForHTTPHeaderField("X-Archived"), "v");
    EXPECT_EQ(decoded->format(), 200u);
    EXPECT_EQ(decoded->queryStringSerializationStyle(), 2u);
}

}  // namespace
