// The kit's response serializers beside the app's: the same validation and decoding, the
// one difference in JSON null removal, the kit's own classes in copies, archives and
// compound lists.

#include <gtest/gtest.h>

#include <networking/NKJSONResponseSerializer.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSXMLParser.h>
#include <sdk_http/ZPKNKURLResponseSerialization.h>

namespace {

using Data = Value::Data;

Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }

NSURLResponsePtr response(int64_t status, const std::string& contentType) {
    return std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://example.test/doc"), status, "HTTP/1.1",
                                               NSHTTPHeaderFields{{"Content-Type", contentType}});
}

TEST(ZPKNKJSONResponseSerializer, NullRemovalKeepsNullArrayElements) {
    const Data doc = bytes(R"({"a": null, "b": [null, {"c": null}]})");
    auto kit = ZPKNKJSONResponseSerializer::serializer();
    auto app = NKJSONResponseSerializer::serializer();
    kit->setRemovesKeysWithNullValues(true);
    app->setRemovesKeysWithNullValues(true);
    NSErrorPtr error;
    EXPECT_EQ(kit->responseObjectForResponse(response(200, "application/json"), &doc, &error),
              Value::dict({{"b", Value::array({Value(), Value::dict({})})}}));
    EXPECT_FALSE(error);
    EXPECT_EQ(app->responseObjectForResponse(response(200, "application/json"), &doc, &error),
              Value::dict({{"b", Value::array({Value::dict({})})}}));
    // The setting survives copying.
    auto copy = std::dynamic_pointer_cast<ZPKNKJSONResponseSerializer>(kit->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->responseObjectForResponse(response(200, "application/json"), &doc, &error),
              Value::dict({{"b", Value::array({Value(), Value::dict({})})}}));
}

TEST(ZPKNKResponseSerializers, DecodeAsTheSharedRulesSay) {
    const Data json = bytes(R"({"x":1})"), html = bytes("<html/>"), space = bytes(" "), xml = bytes("<a/>");
    struct Case {
        const char* name;
        std::shared_ptr<NKHTTPResponseSerializerCore> serializer;
        int64_t status;
        std::string type;
        const Data* data;
        bool hasObject;
        int64_t code;
    };
    const Case cases[] = {
        {"raw bytes, 500", ZPKNKHTTPResponseSerializer::serializer(), 500, "text/plain", &html, true, -1011},
        {"raw bytes, 200", ZPKNKHTTPResponseSerializer::serializer(), 200, "text/plain", &html, true, 0},
        {"JSON with a 404", ZPKNKJSONResponseSerializer::serializer(), 404, "application/json", &json, true, -1011},
        {"HTML to JSON", ZPKNKJSONResponseSerializer::serializer(), 200, "text/html", &html, false, -1016},
        {"one space", ZPKNKJSONResponseSerializer::serializer(), 200, "application/json", &space, false, 0},
        {"invalid JSON", ZPKNKJSONResponseSerializer::serializer(), 200, "application/json", &html, false, 3840},
        {"XML parser", ZPKNKXMLParserResponseSerializer::serializer(), 200, "text/xml", &xml, true, 0},
        {"property list refuses JSON", ZPKNKPropertyListResponseSerializer::serializer(), 200, "application/json",
         &json, false, -1016},
        {"image refuses HTML", ZPKNKImageResponseSerializer::serializer(), 200, "text/html", &html, false, -1016},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        Value object = c.serializer->responseObjectForResponse(response(c.status, c.type), c.data, &error);
        EXPECT_EQ(!object.isNull(), c.hasObject);
        EXPECT_EQ(error ? error->code() : 0, c.code);
    }
}

TEST(ZPKNKResponseSerializers, OwnClassesInCopiesArchivesAndCompounds) {
    auto raw = ZPKNKHTTPResponseSerializer::serializer();
    raw->setStringEncoding(NSASCIIStringEncoding);
    auto copy = raw->copy();
    EXPECT_EQ(copy->className(), "ZPKNKHTTPResponseSerializer");
    EXPECT_EQ(copy->stringEncoding(), NSASCIIStringEncoding);
    EXPECT_EQ(ZPKNKImageResponseSerializer::serializer()->objcClass().superclass()->name(),
              "ZPKNKHTTPResponseSerializer");
    EXPECT_FALSE(ZPKNKJSONResponseSerializer::serializer()->isKindOfClass(&NKHTTPResponseSerializer::classObject()));

    auto compound = ZPKNKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {ZPKNKJSONResponseSerializer::serializer(), nullptr});
    EXPECT_EQ(compound->responseSerializers().size(), 1u);
    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(compound), true, &error);
    ASSERT_FALSE(data.empty()) << (error ? error->description() : "");
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClass("ZPKNKCompoundResponseSerializer", data, &error)
                       .objectAs<ZPKNKCompoundResponseSerializer>();
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    ASSERT_EQ(decoded->responseSerializers().size(), 1u);
    EXPECT_EQ(decoded->responseSerializers()[0]->className(), "ZPKNKJSONResponseSerializer");
    const Data json = bytes(R"({"x":1})");
    EXPECT_EQ(decoded->responseObjectForResponse(response(200, "application/json"), &json, &error),
              Value::dict({{"x", 1}}));
}

TEST(ZPKNKResponseErrors, KitNamesOfTheSharedHelpers) {
    auto a = NSError::errorWithDomain("a", 1);
    auto b = NSError::errorWithDomain(NKURLResponseSerializationErrorDomain, -1016);
    EXPECT_EQ(ZPKNKAttachUnderlyingError(nullptr, b), b);
    EXPECT_EQ(ZPKNKAttachUnderlyingError(a, nullptr), a);
    auto chained = ZPKNKAttachUnderlyingError(a, b);
    EXPECT_EQ(chained->underlyingError(), b);
    EXPECT_TRUE(ZPKNKErrorHasCodeInDomain(chained));
    EXPECT_FALSE(ZPKNKErrorHasCodeInDomain(a));
    EXPECT_FALSE(ZPKNKImageWithDataAtScale(bytes("not an image"), 2));
}

}  // namespace
