// Validation of status codes and content types with the errors it builds, JSON and
// property-list decoding, null removal, the compound serializer, copying and archiving.

#include <gtest/gtest.h>

#include <networking/NKCompoundResponseSerializer.h>
#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKJSONResponseSerializer.h>
#include <networking/NKPropertyListResponseSerializer.h>
#include <networking/NKXMLParserResponseSerializer.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSXMLParser.h>

namespace {

using Data = Value::Data;

Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }

NSURLResponsePtr response(int64_t status, std::optional<std::string> contentType, bool withURL = true) {
    NSHTTPHeaderFields headers;
    if (contentType) headers["Content-Type"] = *contentType;
    return std::make_shared<NSHTTPURLResponse>(withURL ? NSURL::URLWithString("http://example.test/doc") : nullptr,
                                               status, "HTTP/1.1", headers);
}

struct Outcome {
    Value object;
    NSErrorPtr error;
};

Outcome decode(const NKURLResponseSerialization& s, const NSURLResponsePtr& r, const Data* data) {
    Outcome o;
    o.object = s.responseObjectForResponse(r, data, &o.error);
    return o;
}

int64_t codeOf(const NSErrorPtr& e) { return e ? e->code() : 0; }
int64_t underlyingCodeOf(const NSErrorPtr& e) { return e && e->underlyingError() ? e->underlyingError()->code() : 0; }

TEST(NKJSONResponseSerializer, ValidationAndDecodingTable) {
    auto s = NKJSONResponseSerializer::serializer();
    const Data empty, space = bytes(" "), twoSpaces = bytes("  "), doc = bytes(R"({"a":1})"), bad = bytes("{oops"),
               truncated = bytes(R"({"a":[1,2,{"b":"c)"),
                      html = bytes("<html/>");
    struct Case {
        const char* name;
        int64_t status;
        std::optional<std::string> type;
        const Data* data;
        bool withURL;
        bool hasObject;
        int64_t code;
        int64_t underlying;
    };
    const Case cases[] = {
        {"204 without bytes", 204, "application/json", &empty, true, false, 0, 0},
        {"no byte buffer at all", 200, "application/json", nullptr, true, false, 0, 0},
        {"one space", 200, "application/json", &space, true, false, 0, 0},
        {"two spaces are parsed", 200, "application/json", &twoSpaces, true, false, 3840, 0},
        {"valid document", 200, "application/json; charset=utf-8", &doc, true, true, 0, 0},
        {"text/json", 200, "text/json", &doc, true, true, 0, 0},
        {"html with bytes", 200, "text/html", &html, true, false, -1016, 0},
        {"html without bytes", 200, "text/html", &empty, true, false, -1016, 0},
        {"html without URL", 200, "text/html", &html, false, false, -1016, 0},
        {"500 with a document", 500, "application/json", &doc, true, true, -1011, 0},
        {"500 html", 500, "text/html", &html, true, false, -1011, -1016},
        {"no type, no bytes", 200, std::nullopt, &empty, true, false, 0, 0},
        {"no type, bytes", 200, std::nullopt, &doc, true, false, -1016, 0},
        {"404 without URL", 404, "application/json", &doc, false, true, 0, 0},
        {"404 invalid JSON", 404, "application/json", &bad, true, false, 3840, -1011},
        {"unknown status 799", 799, "application/json", &doc, true, true, -1011, 0},
        {"invalid JSON", 200, "application/json", &bad, true, false, 3840, 0},
        {"truncated document", 200, "text/javascript", &truncated, true, false, 3840, 0},
    };
    for (const auto& c : cases) {
        auto o = decode(*s, response(c.status, c.type, c.withURL), c.data);
        EXPECT_EQ(!o.object.isNull(), c.hasObject) << c.name;
        EXPECT_EQ(codeOf(o.error), c.code) << c.name;
        EXPECT_EQ(underlyingCodeOf(o.error), c.underlying) << c.name;
    }
}

TEST(NKJSONResponseSerializer, ContentTypeErrorCarriesResponseBytesAndURL) {
    auto s = NKJSONResponseSerializer::serializer();
    auto r = response(200, "text/html");
    const Data html = bytes("<p>");
    auto o = decode(*s, r, &html);
    ASSERT_TRUE(o.error);
    EXPECT_EQ(o.error->domain(), "com.netkit.error.serialization.response");
    EXPECT_EQ(o.error->localizedDescription(), "Request failed: unacceptable content-type: text/html");
    const auto& info = o.error->userInfo();
    EXPECT_EQ(info.at(Value("com.netkit.serialization.response.error.data")), Value(html));
    EXPECT_EQ(info.at(Value("com.netkit.serialization.response.error.response")).asObject().get(), r.get());
    EXPECT_TRUE(info.count(Value(NSURLErrorFailingURLErrorKey)));
    EXPECT_TRUE(NKErrorChainHasCode(o.error));
}

TEST(NKJSONResponseSerializer, StatusErrorNamesTheStatus) {
    auto s = NKJSONResponseSerializer::serializer();
    const Data doc = bytes("[1]");
    auto o = decode(*s, response(404, "application/json"), &doc);
    EXPECT_EQ(o.object, Value::array({1}));
    ASSERT_TRUE(o.error);
    EXPECT_EQ(o.error->localizedDescription(),
              "Request failed: " + NSHTTPURLResponse::localizedStringForStatusCode(404) + " (404)");
    EXPECT_FALSE(NKErrorChainHasCode(o.error));
}

TEST(NKJSONResponseSerializer, WithoutASlotAnyInvalidResponseGivesNothing) {
    auto s = NKJSONResponseSerializer::serializer();
    const Data doc = bytes("[1]");
    EXPECT_TRUE(s->responseObjectForResponse(response(500, "application/json"), &doc, nullptr).isNull());
    EXPECT_EQ(s->responseObjectForResponse(response(200, "application/json"), &doc, nullptr), Value::array({1}));
}

TEST(NKJSONResponseSerializer, NullRemoval) {
    auto s = NKJSONResponseSerializer::serializer();
    s->setRemovesKeysWithNullValues(true);
    const Data doc = bytes(R"({"a": null, "b": [1, null, {"c": null}]})");
    auto o = decode(*s, response(200, "application/json"), &doc);
    EXPECT_EQ(o.object, Value::dict({{"b", Value::array({1, Value::dict({})})}}));
    EXPECT_FALSE(o.object.isMutable());

    s->setReadingOptions(1);
    auto m = decode(*s, response(200, "application/json"), &doc);
    EXPECT_TRUE(m.object.isMutable());
    EXPECT_TRUE(m.object.objectForKey("b").isMutable());

    // Arrays keep their nulls when only dictionaries are cleaned.
    EXPECT_EQ(NKRemoveNullValues(Value::array({Value(), 1}), 0, false), Value::array({Value(), 1}));
    EXPECT_EQ(NKRemoveNullValues(Value("x"), 0), Value("x"));
}

TEST(NKResponseErrors, ChainingRules) {
    auto a = NSError::errorWithDomain("a", 1);
    auto b = NSError::errorWithDomain("b", 2);
    EXPECT_EQ(NKChainUnderlyingError(nullptr, b), b);
    EXPECT_EQ(NKChainUnderlyingError(a, nullptr), a);
    auto chained = NKChainUnderlyingError(a, b);
    EXPECT_EQ(chained->underlyingError(), b);
    EXPECT_EQ(NKChainUnderlyingError(chained, a), chained);  // already has one
    EXPECT_FALSE(NKErrorChainHasCode(nullptr));
    EXPECT_TRUE(NKErrorChainHasCode(NKChainUnderlyingError(
        a, NSError::errorWithDomain("com.netkit.error.serialization.response", -1016))));
    EXPECT_FALSE(NKErrorChainHasCode(NSError::errorWithDomain("other", -1016)));
}

TEST(NKHTTPResponseSerializer, AnswersTheBytesWhateverTheOutcome) {
    auto s = NKHTTPResponseSerializer::serializer();
    const Data body = bytes("raw");
    auto ok = decode(*s, response(200, "text/plain"), &body);
    EXPECT_EQ(ok.object, Value(body));
    EXPECT_FALSE(ok.error);
    auto failed = decode(*s, response(418, "text/plain"), &body);
    EXPECT_EQ(failed.object, Value(body));
    EXPECT_EQ(codeOf(failed.error), -1011);

    // A response that is not HTTP is not checked.
    auto plain = std::make_shared<NSURLResponse>(NSURL::URLWithString("file:///x"), "text/html", 3, std::nullopt);
    EXPECT_TRUE(s->validateResponse(plain, &body, nullptr));
    s->setAcceptableStatusCodes(std::nullopt);
    EXPECT_TRUE(s->validateResponse(response(999, "x/y"), &body, nullptr));
}

TEST(NKPropertyListResponseSerializer, DecodesAndReportsParseErrors) {
    auto s = NKPropertyListResponseSerializer::serializer();
    const Data plist = NSPropertyListSerialization::dataWithPropertyList(Value::dict({{"k", "v"}}),
                                                                         NSPropertyListBinaryFormat_v1_0);
    auto ok = decode(*s, response(200, "application/x-plist"), &plist);
    EXPECT_EQ(ok.object, Value::dict({{"k", "v"}}));
    EXPECT_FALSE(ok.error);

    const Data garbage = bytes("<plist><dict><key>");
    auto bad = decode(*s, response(500, "application/x-plist"), &garbage);
    EXPECT_TRUE(bad.object.isNull());
    EXPECT_EQ(bad.error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(underlyingCodeOf(bad.error), -1011);

    EXPECT_TRUE(decode(*s, response(200, "application/x-plist"), nullptr).object.isNull());
    EXPECT_EQ(codeOf(decode(*s, response(200, "application/json"), &plist).error), -1016);
}

class ElementCounter : public NSXMLParserDelegate {
    NS_CLASS(ElementCounter, NSXMLParserDelegate)
    NS_SELECTORS("parser:didStartElement:namespaceURI:qualifiedName:attributes:")

public:
    int elements = 0;
    void didStartElement(NSXMLParser&, const std::string&, const std::optional<std::string>&,
                         const std::optional<std::string>&, const Attributes&) override {
        ++elements;
    }
};

TEST(NKXMLParserResponseSerializer, AnswersAnUnstartedParserOverTheBytes) {
    auto s = NKXMLParserResponseSerializer::serializer();
    const Data xml = bytes("<a><b/><c>text</c></a>");
    auto o = decode(*s, response(200, "text/xml"), &xml);
    auto parser = o.object.objectAs<NSXMLParser>();
    ASSERT_TRUE(parser);
    EXPECT_FALSE(o.error);
    auto counter = std::make_shared<ElementCounter>();
    parser->setDelegate(counter);
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(counter->elements, 3);

    EXPECT_EQ(codeOf(decode(*s, response(200, "application/json"), &xml).error), -1016);
    auto failed = decode(*s, response(500, "application/xml"), &xml);
    EXPECT_TRUE(failed.object.objectAs<NSXMLParser>());
    EXPECT_EQ(codeOf(failed.error), -1011);
}

TEST(NKCompoundResponseSerializer, FirstDecodedObjectWinsElseTheBytes) {
    auto plist = NKPropertyListResponseSerializer::serializer();
    auto json = NKJSONResponseSerializer::serializer();
    auto compound = NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers({json, plist});
    EXPECT_EQ(compound->acceptableContentTypes(), std::nullopt);

    const Data doc = bytes("{\"x\":true}");
    auto o = decode(*compound, response(200, "application/json"), &doc);
    EXPECT_EQ(o.object, Value::dict({{"x", true}}));
    EXPECT_FALSE(o.error);

    const Data body = bytes("hello");
    auto fallback = decode(*compound, response(200, "text/plain"), &body);
    EXPECT_EQ(fallback.object, Value(body));
    EXPECT_FALSE(fallback.error);
    auto failed = decode(*compound, response(503, "text/plain"), &body);
    EXPECT_EQ(codeOf(failed.error), -1011);

    // A decoded object with a status error: the object, and the error in the slot.
    auto partial = decode(*compound, response(500, "application/json"), &doc);
    EXPECT_EQ(partial.object, Value::dict({{"x", true}}));
    EXPECT_EQ(codeOf(partial.error), -1011);
}

TEST(NKResponseSerializers, CopiesAndArchivesKeepTheConfiguration) {
    auto json = NKJSONResponseSerializer::serializerWithReadingOptions(1);
    json->setRemovesKeysWithNullValues(true);
    json->setAcceptableStatusCodes(std::set<int64_t>{200, 404});
    auto copy = std::dynamic_pointer_cast<NKJSONResponseSerializer>(json->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->readingOptions(), 1u);
    EXPECT_TRUE(copy->removesKeysWithNullValues());
    EXPECT_EQ(copy->acceptableStatusCodes(), (std::set<int64_t>{200, 404}));
    EXPECT_EQ(copy->acceptableContentTypes(), json->acceptableContentTypes());

    auto compound = NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers({json});
    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(compound), true, &error);
    ASSERT_FALSE(data.empty()) << (error ? error->description() : "");
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClasses(
                       {"NKCompoundResponseSerializer", "NKJSONResponseSerializer"}, data, &error)
                       .objectAs<NKCompoundResponseSerializer>();
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    ASSERT_EQ(decoded->responseSerializers().size(), 1u);
    auto inner = std::dynamic_pointer_cast<NKJSONResponseSerializer>(decoded->responseSerializers()[0]);
    ASSERT_TRUE(inner);
    EXPECT_TRUE(inner->removesKeysWithNullValues());
    EXPECT_EQ(inner->readingOptions(), 1u);
    EXPECT_EQ(inner->acceptableStatusCodes(), (std::set<int64_t>{200, 404}));
    EXPECT_EQ(inner->acceptableContentTypes(), (std::set<std::string>{"application/json", "text/json", "text/javascript"}));
}

}  // namespace
