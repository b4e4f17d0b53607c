#include <model_mapping/MMModelNetworking.h>

#include <gtest/gtest.h>

#include <platform_dispatch/NSThread.h>
#include <platform_net/NSURLError.h>

#include "MMNetTestServer.h"
#include "TestModels.h"

namespace {

struct ModelAnswer {
    bool done = false;
    bool onMain = false;
    bool loadingAtCompletion = true;
    MMModelPtr model;
    NSErrorPtr error;
};

MMModelNetworking::Completion recorder(std::shared_ptr<ModelAnswer> answer) {
    return [answer](MMModelPtr model, NSErrorPtr error) {
        answer->onMain = NSThread::isMainThread();
        answer->loadingAtCompletion = MMModelNetworking::isLoading();
        answer->model = std::move(model);
        answer->error = std::move(error);
        answer->done = true;
    };
}

class MMModelNetworkingTest : public ::testing::Test {
protected:
    mmnettest::Server server;
};

TEST_F(MMModelNetworkingTest, InitFromURLFillsTheShellItAnswered) {
    server.respond(200, R"({"label":"a","weight":2})");
    auto answer = std::make_shared<ModelAnswer>();
    auto shell = MMModelNetworking::initFromURLWithString<MMTTag>(server.url("tag"), recorder(answer));
    ASSERT_TRUE(shell);
    EXPECT_TRUE(MMModelNetworking::isLoading());
    ASSERT_TRUE(mmnettest::waitFor([&] { return answer->done; }));
    EXPECT_TRUE(answer->onMain);
    EXPECT_FALSE(answer->loadingAtCompletion);
    EXPECT_FALSE(answer->error);
    EXPECT_EQ(answer->model.get(), shell.get());
    EXPECT_EQ(shell->label(), "a");
    EXPECT_EQ(shell->weight(), 2);
}

TEST_F(MMModelNetworkingTest, InitFromURLReportsTheClientsErrorWithoutModel) {
    std::string url;
    {
        mmnettest::Server gone;
        url = gone.url("tag");
    }
    auto answer = std::make_shared<ModelAnswer>();
    MMModelNetworking::initFromURLWithString<MMTTag>(url, recorder(answer));
    ASSERT_TRUE(mmnettest::waitFor([&] { return answer->done; }));
    EXPECT_TRUE(answer->onMain);
    EXPECT_FALSE(answer->model);
    ASSERT_TRUE(answer->error);
    EXPECT_EQ(answer->error->domain(), NSURLErrorDomain);
    EXPECT_FALSE(MMModelNetworking::isLoading());
}

TEST_F(MMModelNetworkingTest, GetModelMapsTheAnswerOrReportsWhyNot) {
    struct Case {
        const char* name;
        int status;
        std::string body;
        bool model;
        int64_t code;  // 0: no error
    } cases[] = {
        {"dictionary", 200, R"({"label":"b","weight":3})", true, 0},
        {"array", 200, R"([{"label":"b"}])", false, kMMModelErrorInvalidData},
        {"missing required key", 200, R"({"weight":3})", false, kMMModelErrorInvalidData},
        {"HTTP error with a model body", 404, R"({"label":"b","weight":3})", false, kMMModelErrorBadResponse},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.respond(c.status, c.body);
        auto answer = std::make_shared<ModelAnswer>();
        MMModelNetworking::getModelFromURLWithString(MMTTag::classObject(), server.url("tag"), recorder(answer));
        ASSERT_TRUE(mmnettest::waitFor([&] { return answer->done; }));
        EXPECT_TRUE(answer->onMain);
        EXPECT_EQ(answer->model != nullptr, c.model);
        if (c.model) {
            EXPECT_TRUE(std::dynamic_pointer_cast<MMTTag>(answer->model));
        }
        EXPECT_EQ(answer->error ? answer->error->code() : 0, c.code);
    }
    EXPECT_FALSE(MMModelNetworking::isLoading());
}

TEST_F(MMModelNetworkingTest, PostModelSendsItsJSONAndReadsTheAnswer) {
    MMTTag sent;
    sent.setLabel("out");
    sent.setWeight(9);
    server.respond(200, R"({"label":"in","weight":1})");
    auto answer = std::make_shared<ModelAnswer>();
    MMModelNetworking::postModel(sent, MMTTag::classObject(), server.url("tags"), recorder(answer));
    ASSERT_TRUE(mmnettest::waitFor([&] { return answer->done; }));
    auto seen = server.last();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.body, *sent.toJSONString());
    EXPECT_EQ(seen.header("Content-type"), "application/json; charset=utf-8");
    auto received = std::dynamic_pointer_cast<MMTTag>(answer->model);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->label(), "in");
}

TEST_F(MMModelNetworkingTest, RequestsRunWithoutCompletion) {
    MMModelNetworking::getModelFromURLWithString(MMTTag::classObject(), server.url("a"), nullptr);
    MMModelNetworking::initFromURLWithString<MMTTag>(server.url("b"), nullptr);
    EXPECT_TRUE(mmnettest::waitFor([&] { return server.seen().size() == 2 && !MMModelNetworking::isLoading(); }));
}

}  // namespace
