// The kit's request serializers beside the app's: the same requests from the same input,
// the kit's own classes for serializers, builders and body streams, and a multipart body
// that an independent MIME parser reads back part for part.

#include <gtest/gtest.h>

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKJSONRequestSerializer.h>
#include <networking/NKPropertyListRequestSerializer.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <sdk_http/ZPKNKMultipartFormData.h>
#include <sdk_http/ZPKNKURLRequestSerialization.h>

#include "../../networking/tests/NKMultipartTestSupport.h"

namespace {

std::string bodyText(const NSURLRequestPtr& request) {
    const auto& body = request->HTTPBody();
    return body ? std::string(body->begin(), body->end()) : std::string();
}

TEST(ZPKNKQueryString, SortedEscapedPairs) {
    const Value parameters = Value::dict({{"b", "x y&z"}, {"a", Value::array({1, 2})}, {"c", Value::dict({{"d", "\xC3\xA9"}})}});
    EXPECT_EQ(ZPKNKQueryStringFromDictionary(parameters), "a%5B%5D=1&a%5B%5D=2&b=x%20y%26z&c%5Bd%5D=%C3%A9");
    EXPECT_EQ(ZPKNKQueryStringFromDictionary(parameters), NKQueryStringFromDictionary(parameters));
    auto pairs = ZPKNKFlattenQueryPairs(Value(), parameters);
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[3].URLEncodedStringValue(), "c%5Bd%5D=%C3%A9");
    EXPECT_EQ(ZPKNKEscapeQueryComponent("a b/?"), "a%20b/?");
    EXPECT_EQ(ZPKNKObservedRequestKeyPaths().front(), "allowsCellularAccess");
}

TEST(ZPKNKRequestSerializers, BuildTheSameRequestsAsTheApps) {
    struct Case {
        const char* name;
        std::shared_ptr<NKHTTPRequestSerializerCore> kit, app;
        const char* method;
    };
    const Case cases[] = {
        {"form, GET", ZPKNKHTTPRequestSerializer::serializer(), NKHTTPRequestSerializer::serializer(), "GET"},
        {"form, POST", ZPKNKHTTPRequestSerializer::serializer(), NKHTTPRequestSerializer::serializer(), "POST"},
        {"JSON, PUT", ZPKNKJSONRequestSerializer::serializer(), NKJSONRequestSerializer::serializer(), "PUT"},
        {"property list, PATCH", ZPKNKPropertyListRequestSerializer::serializer(),
         NKPropertyListRequestSerializer::serializer(), "PATCH"},
    };
    const Value parameters = Value::dict({{"q", "a b"}, {"n", 3}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.kit->setTimeoutInterval(7);
        c.app->setTimeoutInterval(7);
        NSErrorPtr kitError, appError;
        auto kit = c.kit->requestWithMethod(c.method, "http://example.test/p", parameters, &kitError);
        auto app = c.app->requestWithMethod(c.method, "http://example.test/p", parameters, &appError);
        ASSERT_TRUE(kit && app);
        EXPECT_EQ(kit->URL()->absoluteString(), app->URL()->absoluteString());
        EXPECT_EQ(bodyText(kit), bodyText(app));
        EXPECT_EQ(kit->allHTTPHeaderFields(), app->allHTTPHeaderFields());
        EXPECT_EQ(kit->timeoutInterval(), 7);
    }
    NSErrorPtr error;
    EXPECT_FALSE(ZPKNKHTTPRequestSerializer::serializer()->requestWithMethod("GET", "", Value(), &error));
    EXPECT_TRUE(error);
}

TEST(ZPKNKRequestSerializers, OwnClassesInCopiesAndArchives) {
    auto json = ZPKNKJSONRequestSerializer::serializerWithWritingOptions(1);
    json->setValue("v", "X-Kit");
    EXPECT_EQ(json->objcClass().superclass()->name(), "ZPKNKHTTPRequestSerializer");
    EXPECT_FALSE(json->isKindOfClass(&NKHTTPRequestSerializer::classObject()));
    auto copy = std::dynamic_pointer_cast<ZPKNKJSONRequestSerializer>(json->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->writingOptions(), 1u);
    EXPECT_EQ(copy->valueForHTTPHeaderField("X-Kit"), "v");

    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(json), true, &error);
    ASSERT_FALSE(data.empty()) << (error ? error->description() : "");
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClass("ZPKNKJSONRequestSerializer", data, &error)
                       .objectAs<ZPKNKJSONRequestSerializer>();
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    EXPECT_EQ(decoded->writingOptions(), 1u);
    EXPECT_EQ(decoded->valueForHTTPHeaderField("X-Kit"), "v");
}

TEST(ZPKNKMultipart, WithoutPartsTheRequestKeepsNoBody) {
    NSErrorPtr error;
    auto request = ZPKNKHTTPRequestSerializer::serializer()->multipartFormRequestWithMethod(
        "POST", "http://example.test/upload", Value(), nullptr, &error);
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->HTTPBodyStream());
    EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Length"));
    auto type = request->valueForHTTPHeaderField("Content-Type");
    EXPECT_TRUE(!type || type->find("multipart") == std::string::npos);
}

TEST(ZPKNKMultipart, KitBodyStreamParsesIndependently) {
    const std::string log("\x1f\x8b\x08\x00gzip\r\n--Boundary+", 20);
    NSErrorPtr error;
    auto request = ZPKNKHTTPRequestSerializer::serializer()->multipartFormRequestWithMethod(
        "POST", "http://example.test/upload", Value::dict({{"app", "kit"}}),
        [&](ZPKNKMultipartFormData& form) {
            form.appendPartWithFormData(Value::Data(log.begin(), log.end()), "file");
            form.appendPartWithFileData(Value::Data{'{', '}'}, "meta", "meta.json", "application/json");
        },
        &error);
    ASSERT_TRUE(request) << (error ? error->description() : "");
    auto stream = nkmultipart::bodyStreamOf<ZPKNKMultipartBodyStream>(*request);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->className(), "ZPKNKMultipartBodyStream");
    auto again = stream->copy();
    EXPECT_EQ(again->className(), "ZPKNKMultipartBodyStream");
    const std::string body = nkmultipart::readAll(*stream, 7);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(nkmultipart::readAll(*again, 1 << 16), body);

    if (!nkmultipart::pythonAvailable()) GTEST_SKIP() << "python3 is not available";
    nkmultipart::TempDir dir;
    const std::string output = nkmultipart::runPython(nkmultipart::kMIMEParser, dir.write("body.bin", body),
                                                      *request->valueForHTTPHeaderField("Content-Type"));
    NSErrorPtr parseError;
    Value report = NSJSONSerialization::JSONObjectWithData(output, 0, &parseError);
    ASSERT_FALSE(parseError) << output;
    EXPECT_EQ(report.objectForKey("defects"), Value(0));
    const Value& parts = report.objectForKey("parts");
    ASSERT_EQ(parts.count(), 3u) << output;
    EXPECT_EQ(parts[0].objectForKey("name"), Value("app"));
    EXPECT_EQ(parts[0].objectForKey("hex"), Value(nkmultipart::hex("kit")));
    EXPECT_EQ(parts[1].objectForKey("name"), Value("file"));
    EXPECT_EQ(parts[1].objectForKey("type"), Value());
    EXPECT_EQ(parts[1].objectForKey("hex"), Value(nkmultipart::hex(log)));
    EXPECT_EQ(parts[2].objectForKey("filename"), Value("meta.json"));
    EXPECT_EQ(parts[2].objectForKey("type"), Value("application/json"));
}

}  // namespace
