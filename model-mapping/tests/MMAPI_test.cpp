#include <model_mapping/MMAPI.h>

#include <gtest/gtest.h>

#include <model_mapping/MMModelError.h>
#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSJSONSerialization.h>

#include "MMNetTestServer.h"

namespace {

struct RPCAnswer {
    bool done = false;
    bool onMain = false;
    std::optional<Value> result;
    NSErrorPtr error;
};

template <class Start>
RPCAnswer rpc(Start start) {
    auto answer = std::make_shared<RPCAnswer>();
    start([answer](std::optional<Value> result, NSErrorPtr error) {
        answer->onMain = NSThread::isMainThread();
        answer->result = std::move(result);
        answer->error = std::move(error);
        answer->done = true;
    });
    EXPECT_TRUE(mmnettest::waitFor([&] { return answer->done; }));
    return *answer;
}

struct JSONAnswer {
    bool done = false;
    bool onMain = false;
    Value json;
    NSErrorPtr error;
};

template <class Start>
JSONAnswer call(Start start) {
    auto answer = std::make_shared<JSONAnswer>();
    start([answer](Value json, NSErrorPtr error) {
        answer->onMain = NSThread::isMainThread();
        answer->json = std::move(json);
        answer->error = std::move(error);
        answer->done = true;
    });
    EXPECT_TRUE(mmnettest::waitFor([&] { return answer->done; }));
    return *answer;
}

class MMAPITest : public ::testing::Test {
protected:
    void SetUp() override { MMAPI::setAPIBaseURLWithString(server.url("rpc")); }
    void TearDown() override { MMAPI::setAPIBaseURLWithString(std::nullopt); }
    Value lastRequest() { return NSJSONSerialization::JSONObjectWithData(server.last().body); }
    mmnettest::Server server;
};

TEST_F(MMAPITest, RequestsOfBothVersionsShareOneIdCounter) {
    server.respond(200, "{\"result\":3}");
    auto first = rpc([](auto done) { MMAPI::rpcWithMethodName("sum", Value(), done); });
    EXPECT_TRUE(first.onMain);
    EXPECT_FALSE(first.error);
    ASSERT_TRUE(first.result);
    EXPECT_EQ(first.result->integerValue(), 3);

    auto seen = server.last();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.target, "/rpc");
    EXPECT_EQ(seen.header("Content-type"), "application/json; charset=utf-8");
    Value v1 = lastRequest();
    EXPECT_EQ(v1.asDictionary().size(), 3u);
    EXPECT_EQ(v1.objectForKey("method").asString(), "sum");
    EXPECT_EQ(v1.objectForKey("params"), Value::array({}));
    int64_t id = v1.objectForKey("id").integerValue();
    EXPECT_GE(id, 1);

    rpc([](auto done) { MMAPI::rpc2WithMethodName("sum", Value::dict({{"a", 1}}), done); });
    Value v2 = lastRequest();
    EXPECT_EQ(v2.asDictionary().size(), 4u);
    EXPECT_EQ(v2.objectForKey("jsonrpc").asString(), "2.0");
    EXPECT_EQ(v2.objectForKey("id").integerValue(), id + 1);
    EXPECT_EQ(v2.objectForKey("params"), Value::dict({{"a", 1}}));
    EXPECT_EQ(v2.objectForKey("method").asString(), "sum");
}

TEST_F(MMAPITest, AnswersMapToResultOrError) {
    struct Case {
        const char* name;
        int status;
        std::string body;
        std::optional<Value> result;
        std::optional<int64_t> code;  // nullopt: no error
        std::string description;
    } cases[] = {
        {"rpc error object", 200, R"({"error":{"code":-32601,"message":"x"}})", std::nullopt, -32601, "x"},
        {"error object with data", 200, R"({"error":{"code":7,"message":"m","data":[1]}})", std::nullopt, 7, "m"},
        {"error without message", 200, R"({"error":{"code":-32601}})", std::nullopt, kMMModelErrorBadResponse, ""},
        {"neither member", 200, R"({"other":1})", std::nullopt, kMMModelErrorBadResponse, ""},
        {"not JSON", 200, "oops", std::nullopt, kMMModelErrorBadResponse, ""},
        {"null result", 200, R"({"result":null})", Value(), std::nullopt, ""},
        {"result with HTTP error", 500, R"({"result":1})", Value(1), kMMModelErrorBadResponse, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.respond(c.status, c.body);
        auto answer = rpc([](auto done) { MMAPI::rpc2WithMethodName("m", Value(), done); });
        EXPECT_EQ(answer.result.has_value(), c.result.has_value());
        if (answer.result && c.result) {
            EXPECT_EQ(*answer.result, *c.result);
        }
        ASSERT_EQ(answer.error != nullptr, c.code.has_value());
        if (!c.code) continue;
        EXPECT_EQ(answer.error->domain(), MMModelErrorDomain);
        EXPECT_EQ(answer.error->code(), *c.code);
        if (!c.description.empty()) {
            EXPECT_EQ(answer.error->localizedDescription(), c.description);
        }
    }
}

TEST_F(MMAPITest, PathsAreAppendedToTheBaseURL) {
    server.respond(200, "{\"ok\":true}");
    MMAPI::setAPIBaseURLWithString(server.url("api"));
    auto got = call([](auto done) { MMAPI::getWithPath("/items", Value::dict({{"b", 2}, {"a", 1}}), done); });
    EXPECT_TRUE(got.onMain);
    EXPECT_FALSE(got.error);
    EXPECT_TRUE(got.json.objectForKey("ok").boolValue());
    EXPECT_EQ(server.last().target, "/api/items?a=1&b=2");

    call([](auto done) { MMAPI::postWithPath("/items", Value::dict({{"a", "x y"}}), done); });
    EXPECT_EQ(server.last().method, "POST");
    EXPECT_EQ(server.last().target, "/api/items");
    EXPECT_EQ(server.last().body, "a=x%20y");

    // No separator is added or removed.
    MMAPI::setAPIBaseURLWithString(server.url(""));
    call([](auto done) { MMAPI::getWithPath("/x", Value(), done); });
    EXPECT_EQ(server.last().target, "//x");

    server.respond(404, "{\"e\":1}");
    auto failed = call([](auto done) { MMAPI::getWithPath("/x", Value(), done); });
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->code(), kMMModelErrorBadResponse);
    EXPECT_EQ(failed.json.objectForKey("e").integerValue(), 1);
}

TEST_F(MMAPITest, CallsWithoutBaseURLFailWithoutARequest) {
    MMAPI::setAPIBaseURLWithString(std::nullopt);
    auto got = call([](auto done) { MMAPI::getWithPath("/x", Value(), done); });
    auto posted = call([](auto done) { MMAPI::postWithPath("/x", Value(), done); });
    auto called = rpc([](auto done) { MMAPI::rpcWithMethodName("m", Value(), done); });
    for (const NSErrorPtr& error : {got.error, posted.error, called.error}) {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), MMModelErrorDomain);
        EXPECT_EQ(error->code(), kMMModelErrorBadResponse);
    }
    EXPECT_TRUE(got.onMain && posted.onMain && called.onMain);
    EXPECT_FALSE(called.result);
    EXPECT_TRUE(server.seen().empty());
}

TEST(MMAPIContentType, SetsTheClientsContentType) {
    MMAPI::setContentType("text/plain");
    EXPECT_EQ(MMHTTPClient::requestContentType(), "text/plain");
    MMAPI::setContentType(kMMHTTPClientAutomaticContentType);
}

}  // namespace
