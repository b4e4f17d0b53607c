// Archiving session managers, once for both stacks: what an archive carries comes back in a
// manager of the same class, and an archive without serializers leaves the defaults in
// place instead of a manager that cannot serialize its first request.

#include <gtest/gtest.h>

#include <networking/NKHTTPSessionManager.h>
#include <networking/NKJSONRequestSerializer.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <sdk_http/ZPKNKHTTPSessionManager.h>

#include "../../networking/tests/NKSessionTestSupport.h"

// Archives only the base URL, as an archive written without serializers would be.
class ZPKNKTestSparseManager : public ZPKNKHTTPSessionManager {
    NS_CLASS(ZPKNKTestSparseManager, ZPKNKHTTPSessionManager)
public:
    using ZPKNKHTTPSessionManager::ZPKNKHTTPSessionManager;
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeObject(Value(baseURL()->absoluteString()), "baseURL");
    }
};

namespace {

template <class Manager>
std::shared_ptr<Manager> roundTrip(const std::shared_ptr<Manager>& manager, const char* className) {
    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(std::static_pointer_cast<NSObject>(manager)), true, &error);
    EXPECT_FALSE(data.empty()) << (error ? error->description() : "");
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClass(className, data, &error).objectAs<Manager>();
    EXPECT_TRUE(decoded) << (error ? error->description() : "");
    return decoded;
}

TEST(ManagerArchiving, KitManagerComesBackWithItsParts) {
    auto kit = ZPKNKHTTPSessionManager::managerWithBaseURL(
        NSURL::URLWithString("https://collect.example.test/api"),
        NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.kit.upload"));
    kit->setRequestSerializer(ZPKNKJSONRequestSerializer::serializerWithWritingOptions(1));
    kit->setResponseSerializer(ZPKNKHTTPResponseSerializer::serializer());
    auto policy = ZPKNKSecurityPolicy::policyWithPinningMode(NKSSLPinningModePublicKey, std::set<NKCertificateData>{});
    kit->setSecurityPolicy(policy);

    auto decoded = roundTrip(kit, "ZPKNKHTTPSessionManager");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->className(), "ZPKNKHTTPSessionManager");
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "https://collect.example.test/api/");
    EXPECT_EQ(decoded->sessionConfiguration()->identifier(), "com.kit.upload");
    ASSERT_TRUE(decoded->requestSerializer());
    EXPECT_EQ(decoded->requestSerializer()->className(), "ZPKNKJSONRequestSerializer");
    EXPECT_EQ(std::dynamic_pointer_cast<NSObject>(decoded->responseSerializer())->className(),
              "ZPKNKHTTPResponseSerializer");
    EXPECT_EQ(decoded->securityPolicy()->SSLPinningMode(), NKSSLPinningModePublicKey);
    // Waited for: an invalidation still on its way at exit leaves the manager and its session
    // holding each other.
    auto invalid = nktest::watchInvalidation(*kit);
    kit->invalidateSessionCancelingTasks(true);
    EXPECT_TRUE(nktest::waitFor([&] { return invalid->load(); }));
}

TEST(ManagerArchiving, AppManagerComesBackToo) {
    auto app = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString("http://catalogue.example.test/"));
    app->setRequestSerializer(NKJSONRequestSerializer::serializer());
    auto decoded = roundTrip(app, "NKHTTPSessionManager");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "http://catalogue.example.test/");
    EXPECT_EQ(decoded->requestSerializer()->className(), "NKJSONRequestSerializer");
    EXPECT_FALSE(decoded->sessionConfiguration()->identifier());
    auto invalid = nktest::watchInvalidation(*app);
    app->invalidateSessionCancelingTasks(true, false);
    EXPECT_TRUE(nktest::waitFor([&] { return invalid->load(); }));
}

TEST(ManagerArchiving, AbsentSerializersKeepTheDefaults) {
    auto sparse = std::make_shared<ZPKNKTestSparseManager>(NSURL::URLWithString("http://collect.example.test/"));
    auto decoded = roundTrip(sparse, "ZPKNKTestSparseManager");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "http://collect.example.test/");
    ASSERT_TRUE(decoded->requestSerializer());
    EXPECT_EQ(decoded->requestSerializer()->className(), "ZPKNKHTTPRequestSerializer");
    ASSERT_TRUE(decoded->responseSerializer());
    EXPECT_EQ(std::dynamic_pointer_cast<NSObject>(decoded->responseSerializer())->className(),
              "ZPKNKJSONResponseSerializer");
    NSErrorPtr error;
    EXPECT_TRUE(decoded->requestSerializer()->requestWithMethod("GET", "http://collect.example.test/x", Value(), &error));
}

}  // namespace
