#include <model_mapping/MMHTTPClient.h>

#include <gtest/gtest.h>

#include <model_mapping/MMModelError.h>
#include <platform_dispatch/NSThread.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLError.h>

#include "MMNetTestServer.h"

namespace {

struct Answer {
    bool done = false;
    bool onMain = false;
    Value json;
    NSErrorPtr error;
};

// Runs one JSON fetch and waits for its completion on the main run loop.
Answer fetch(const std::string& url, const std::string& method, const Value& params = Value(),
             std::optional<std::string> body = std::nullopt, const Value& headers = Value()) {
    auto answer = std::make_shared<Answer>();
    MMHTTPClient::JSONFromURLWithString(url, method, params, body, headers, [answer](Value json, NSErrorPtr error) {
        answer->onMain = NSThread::isMainThread();
        answer->json = std::move(json);
        answer->error = std::move(error);
        answer->done = true;
    });
    EXPECT_TRUE(mmnettest::waitFor([&] { return answer->done; }));
    return *answer;
}

class MMHTTPClientTest : public ::testing::Test {
protected:
    void TearDown() override {
        MMHTTPClient::setRequestContentType(kMMHTTPClientAutomaticContentType);
        MMHTTPClient::requestHeaders().clear();
    }
    mmnettest::Server server;
};

TEST(MMHTTPClientContentType, ChosenFromTheBodyFraming) {
    struct Case {
        std::string text, expected;
    } cases[] = {
        {"{\"a\":1}", "application/json; charset=utf-8"},
        {"[1,2]", "application/json; charset=utf-8"},
        {"{\"a\":1", "application/x-www-form-urlencoded; charset=utf-8"},
        {"a=1&b=2", "application/x-www-form-urlencoded; charset=utf-8"},
        {"[}", "application/x-www-form-urlencoded; charset=utf-8"},
        {"{", "application/x-www-form-urlencoded; charset=utf-8"},
    };
    for (const auto& c : cases) EXPECT_EQ(MMHTTPClient::contentTypeForRequestString(c.text), c.expected) << c.text;

    MMHTTPClient::setRequestContentType("text/plain");
    EXPECT_EQ(MMHTTPClient::contentTypeForRequestString("{}"), "text/plain; charset=utf-8");
    MMHTTPClient::setRequestContentType(kMMHTTPClientAutomaticContentType);
}

TEST(MMHTTPClientURLEncode, OnlyUnreservedCharactersStay) {
    struct Case {
        Value value;
        std::string expected;
    } cases[] = {
        {"a b", "a%20b"},       {"a/b", "a%2Fb"},   {"a&b=c", "a%26b%3Dc"},      {5, "5"},
        {"Az09-._~", "Az09-._~"}, {"é", "%C3%A9"}, {"!*'();:@+$,?%#[]", "%21%2A%27%28%29%3B%3A%40%2B%24%2C%3F%25%23%5B%5D"},
    };
    for (const auto& c : cases) EXPECT_EQ(MMHTTPClient::urlEncode(c.value), c.expected) << c.expected;
}

TEST_F(MMHTTPClientTest, ParametersGoToTheQueryForGetAndTheBodyForPost) {
    Value params = Value::dict({{"b", 2}, {"a", "x y"}});
    struct Case {
        std::string path, method, target, body;
    } cases[] = {
        {"p", "GET", "/p?a=x%20y&b=2", ""},
        {"p?q=1", "GET", "/p?q=1&a=x%20y&b=2", ""},
        {"p", "POST", "/p", "a=x%20y&b=2"},
        {"p", "PUT", "/p", ""},
        {"p", "DELETE", "/p", ""},
    };
    for (const auto& c : cases) {
        auto answer = fetch(server.url(c.path), c.method, params);
        EXPECT_FALSE(answer.error) << c.method << " " << c.path;
        auto seen = server.last();
        EXPECT_EQ(seen.method, c.method);
        EXPECT_EQ(seen.target, c.target) << c.method << " " << c.path;
        EXPECT_EQ(seen.body, c.body) << c.method;
    }
    auto seen = server.last();
    fetch(server.url("p"), "POST", params);
    seen = server.last();
    EXPECT_EQ(seen.header("Content-type"), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(seen.header("Content-Length"), "11");

    // An empty but present dictionary still adds the separator.
    fetch(server.url("p"), "GET", Value::mutableDictionary());
    EXPECT_EQ(server.last().target, "/p?");
}

TEST_F(MMHTTPClientTest, ContentTypeOnTheWire) {
    fetch(server.url("p"), "POST", Value(), std::string("{\"k\":1}"));
    EXPECT_EQ(server.last().header("Content-type"), "application/json; charset=utf-8");

    // With the marker and no body, nothing; the marker itself never goes out, not even for an
    // empty body or when a header tries to set it.
    fetch(server.url("p"), "GET");
    EXPECT_FALSE(server.last().hasHeader("Content-type"));
    fetch(server.url("p"), "POST", Value(), std::string(""));
    EXPECT_FALSE(server.last().hasHeader("Content-type"));
    fetch(server.url("p"), "GET", Value(), std::nullopt, Value::dict({{"Content-type", "mmmodel/automatic"}}));
    EXPECT_FALSE(server.last().hasHeader("Content-type"));

    // Any other type is sent as it is, also without a body.
    MMHTTPClient::setRequestContentType("text/plain");
    fetch(server.url("p"), "GET");
    EXPECT_EQ(server.last().header("Content-type"), "text/plain");
    fetch(server.url("p"), "POST", Value(), std::string("{}"));
    EXPECT_EQ(server.last().header("Content-type"), "text/plain");
}

TEST_F(MMHTTPClientTest, PerCallHeaderBeatsSharedHeader) {
    MMHTTPClient::requestHeaders()[Value("X-One")] = Value("shared");
    MMHTTPClient::requestHeaders()[Value("X-Two")] = Value("shared");
    fetch(server.url("p"), "GET", Value(), std::nullopt, Value::dict({{"X-Two", "call"}}));
    auto seen = server.last();
    EXPECT_EQ(seen.header("X-One"), "shared");
    EXPECT_EQ(seen.header("X-Two"), "call");
    EXPECT_EQ(seen.headers.count("X-Two"), 1u);
}

TEST_F(MMHTTPClientTest, JSONAnswerArrivesOnTheMainQueue) {
    server.respond(200, "{\"name\":\"x\",\"n\":[1,2]}");
    auto answer = fetch(server.url("p"), "GET");
    EXPECT_TRUE(answer.onMain);
    EXPECT_FALSE(answer.error);
    EXPECT_EQ(answer.json.objectForKey("name").asString(), "x");

    bool done = false;
    MMHTTPClient::postJSONFromURLWithBodyData(server.url("d"), Value::Data{'[', '1', ']'}, [&](Value json, NSErrorPtr) {
        EXPECT_TRUE(json.isDictionary());
        done = true;
    });
    ASSERT_TRUE(mmnettest::waitFor([&] { return done; }));
    EXPECT_EQ(server.last().body, "[1]");
    EXPECT_EQ(server.last().header("Content-type"), "application/json; charset=utf-8");
}

TEST_F(MMHTTPClientTest, HTTPErrorStatusKeepsTheBody) {
    server.respond(404, "{\"reason\":\"missing\"}");
    auto answer = fetch(server.url("p"), "GET");
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->domain(), MMModelErrorDomain);
    EXPECT_EQ(answer.error->code(), kMMModelErrorBadResponse);
    EXPECT_EQ(answer.json.objectForKey("reason").asString(), "missing");
    auto modelError = std::dynamic_pointer_cast<MMModelError>(answer.error);
    ASSERT_TRUE(modelError);
    ASSERT_TRUE(modelError->responseData());
    EXPECT_EQ(std::string(modelError->responseData()->begin(), modelError->responseData()->end()),
              "{\"reason\":\"missing\"}");
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(modelError->httpResponse());
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 404);
}

TEST_F(MMHTTPClientTest, EmptyOrNonJSONSuccessIsAnError) {
    server.respond(204, "");
    auto empty = fetch(server.url("p"), "GET");
    EXPECT_TRUE(empty.json.isNull());
    ASSERT_TRUE(empty.error);
    EXPECT_EQ(empty.error->code(), kMMModelErrorBadResponse);

    server.respond(200, "not json");
    auto garbage = fetch(server.url("p"), "GET");
    EXPECT_TRUE(garbage.json.isNull());
    ASSERT_TRUE(garbage.error);
    EXPECT_EQ(garbage.error->domain(), "NSCocoaErrorDomain");
    EXPECT_EQ(garbage.error->code(), 3840);

    // A bare scalar is not a JSON document here.
    server.respond(200, "42");
    auto scalar = fetch(server.url("p"), "GET");
    EXPECT_TRUE(scalar.json.isNull());
    EXPECT_TRUE(scalar.error);
}

TEST(MMHTTPClientTransport, UnreachableHostGivesTheTransportErrorAsModelError) {
    std::string url;
    {
        mmnettest::Server gone;
        url = gone.url("p");
    }
    auto answer = fetch(url, "GET");
    ASSERT_TRUE(answer.error);
    EXPECT_TRUE(answer.onMain);
    EXPECT_EQ(answer.error->domain(), NSURLErrorDomain);
    EXPECT_TRUE(std::dynamic_pointer_cast<MMModelError>(answer.error));
    EXPECT_TRUE(answer.json.isNull());

    auto bad = fetch("", "GET");
    ASSERT_TRUE(bad.error);
    EXPECT_TRUE(bad.onMain);
}

}  // namespace
