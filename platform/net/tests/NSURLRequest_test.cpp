#include <gtest/gtest.h>

#include <functional>

#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSInputStream.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLSessionConfiguration.h>

namespace {

NSURLPtr url(const char* text) { return NSURL::URLWithString(text); }

TEST(NSURLRequest, Defaults) {
    auto r = NSURLRequest::requestWithURL(url("http://example.com/a"));
    EXPECT_EQ(r->HTTPMethod(), "GET");
    EXPECT_EQ(r->timeoutInterval(), 60.0);
    EXPECT_EQ(r->cachePolicy(), NSURLRequestUseProtocolCachePolicy);
    EXPECT_TRUE(r->HTTPShouldHandleCookies());
    EXPECT_TRUE(r->allowsCellularAccess());
    EXPECT_FALSE(r->HTTPShouldUsePipelining());
    EXPECT_EQ(r->networkServiceType(), NSURLNetworkServiceTypeDefault);
    EXPECT_TRUE(r->allHTTPHeaderFields().empty());
    EXPECT_FALSE(r->HTTPBody());
    EXPECT_EQ(r->HTTPBodyStream(), nullptr);
}

TEST(NSURLRequest, HeaderNamesIgnoreCaseSetReplacesAndAddAppends) {
    auto r = NSMutableURLRequest::requestWithURL(url("http://example.com/"));
    r->setValue("text/html", "Accept");
    r->setValue("application/json", "accept");  // replaces, keeps the first spelling
    EXPECT_EQ(r->valueForHTTPHeaderField("ACCEPT"), "application/json");
    ASSERT_EQ(r->allHTTPHeaderFields().size(), 1u);
    EXPECT_EQ(r->allHTTPHeaderFields().begin()->first, "Accept");
    r->addValue("text/plain", "ACCEPT");
    EXPECT_EQ(r->valueForHTTPHeaderField("accept"), "application/json, text/plain");
    r->addValue("gzip", "Accept-Encoding");  // add on an absent field sets it
    EXPECT_EQ(r->valueForHTTPHeaderField("accept-encoding"), "gzip");
    r->setValue(std::nullopt, "accept");
    EXPECT_FALSE(r->valueForHTTPHeaderField("Accept"));
    EXPECT_FALSE(r->valueForHTTPHeaderField("Missing"));
}

TEST(NSURLRequest, BodyAndBodyStreamExcludeEachOther) {
    auto r = NSMutableURLRequest::requestWithURL(url("http://example.com/"));
    r->setHTTPBody(std::vector<uint8_t>{1, 2, 3});
    r->setHTTPBodyStream(NSInputStream::inputStreamWithData({4, 5}));
    EXPECT_FALSE(r->HTTPBody());
    EXPECT_NE(r->HTTPBodyStream(), nullptr);
    r->setHTTPBody(std::vector<uint8_t>{6});
    EXPECT_EQ(r->HTTPBodyStream(), nullptr);
    EXPECT_EQ(*r->HTTPBody(), std::vector<uint8_t>{6});
    r->setHTTPMethod("");
    EXPECT_EQ(r->HTTPMethod(), "GET");
}

TEST(NSURLRequest, CopiesAreIndependentAndEqual) {
    auto r = NSMutableURLRequest::requestWithURL(url("http://example.com/"));
    r->setHTTPMethod("POST");
    r->setValue("1", "X-A");
    r->setTimeoutInterval(5);
    auto frozen = r->copy();
    auto again = r->mutableCopy();
    EXPECT_TRUE(frozen->isEqual(*r));
    EXPECT_TRUE(again->isEqual(*r));
    again->setValue("2", "X-A");
    EXPECT_FALSE(again->isEqual(*r));
    EXPECT_EQ(frozen->valueForHTTPHeaderField("x-a"), "1");
    EXPECT_EQ(frozen->timeoutInterval(), 5.0);
}

// Every field takes part in equality, and copies carry every field.
TEST(NSURLRequest, EachFieldTakesPartInEqualityAndCopies) {
    auto stream = NSInputStream::inputStreamWithData({1, 2});
    struct Case {
        const char* field;
        std::function<void(NSMutableURLRequest&)> change;
    };
    const Case cases[] = {
        {"URL", [](NSMutableURLRequest& r) { r.setURL(url("http://example.com/b")); }},
        {"main document URL", [](NSMutableURLRequest& r) { r.setMainDocumentURL(url("http://example.com/")); }},
        {"method", [](NSMutableURLRequest& r) { r.setHTTPMethod("POST"); }},
        {"header value", [](NSMutableURLRequest& r) { r.setValue("2", "X-A"); }},
        {"another header", [](NSMutableURLRequest& r) { r.setValue("1", "X-B"); }},
        {"body", [](NSMutableURLRequest& r) { r.setHTTPBody(std::vector<uint8_t>{1}); }},
        {"body stream", [&](NSMutableURLRequest& r) { r.setHTTPBodyStream(stream); }},
        {"cache policy", [](NSMutableURLRequest& r) { r.setCachePolicy(NSURLRequestReturnCacheDataDontLoad); }},
        {"timeout", [](NSMutableURLRequest& r) { r.setTimeoutInterval(7); }},
        {"cookies", [](NSMutableURLRequest& r) { r.setHTTPShouldHandleCookies(false); }},
        {"pipelining", [](NSMutableURLRequest& r) { r.setHTTPShouldUsePipelining(true); }},
        {"cellular", [](NSMutableURLRequest& r) { r.setAllowsCellularAccess(false); }},
        {"service type", [](NSMutableURLRequest& r) { r.setNetworkServiceType(NSURLNetworkServiceTypeBackground); }},
    };
    auto base = NSMutableURLRequest::requestWithURL(url("http://example.com/a"));
    base->setValue("1", "X-A");
    EXPECT_EQ(base->timeoutInterval(), NSURLRequest::DefaultTimeoutInterval);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        auto changed = base->mutableCopy();
        c.change(*changed);
        EXPECT_FALSE(changed->isEqual(*base));
        EXPECT_FALSE(base->isEqual(*changed));
        EXPECT_TRUE(changed->copy()->isEqual(*changed));
        EXPECT_TRUE(changed->mutableCopy()->isEqual(*changed));
    }
    // Header names compare without case, URLs by value.
    auto spelled = NSMutableURLRequest::requestWithURL(url("http://example.com/a"));
    spelled->setValue("1", "x-a");
    EXPECT_TRUE(spelled->isEqual(*base));
}

TEST(NSHTTPURLResponse, ReadsTypeEncodingAndLengthFromItsHeaders) {
    struct Case {
        NSHTTPHeaderFields headers;
        std::optional<std::string> mime;
        std::optional<std::string> encoding;
        int64_t length;
    };
    const Case cases[] = {
        {{{"content-type", "Text/HTML; Charset=\"UTF-8\""}, {"Content-Length", "42"}}, "text/html", "utf-8", 42},
        {{{"Content-Type", "application/json"}}, "application/json", std::nullopt, -1},
        {{{"Content-Length", "12"}, {"Content-Encoding", "gzip"}}, std::nullopt, std::nullopt, -1},
        {{{"Content-Length", "abc"}}, std::nullopt, std::nullopt, -1},
        {{}, std::nullopt, std::nullopt, -1},
    };
    for (const auto& c : cases) {
        auto r = NSHTTPURLResponse::create(url("http://example.com/x"), 200, "HTTP/1.1", c.headers);
        EXPECT_EQ(r->MIMEType(), c.mime);
        EXPECT_EQ(r->textEncodingName(), c.encoding);
        EXPECT_EQ(r->expectedContentLength(), c.length);
    }
    auto r = NSHTTPURLResponse::create(url("http://example.com/x"), 404, std::nullopt, {{"X-Thing", "v"}});
    EXPECT_EQ(r->valueForHTTPHeaderField("x-thing"), "v");
    EXPECT_EQ(r->statusCode(), 404);
    EXPECT_EQ(NSHTTPURLResponse::create(nullptr, 200, std::nullopt, {}), nullptr);
}

TEST(NSHTTPURLResponse, SuggestedFilenameStaysInsideItsFolder) {
    struct Case {
        const char* url;
        NSHTTPHeaderFields headers;
        const char* expected;
    };
    const Case cases[] = {
        {"http://h/files/report.pdf", {}, "report.pdf"},
        {"http://h/files/report", {{"Content-Type", "application/json"}}, "report.json"},
        {"http://h/", {}, "Unknown"},
        {"http://h/x", {{"Content-Disposition", "attachment; filename=\"data.csv\""}}, "data.csv"},
        {"http://h/x", {{"Content-Disposition", "attachment; filename=../../etc/passwd"}}, "passwd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(NSHTTPURLResponse::create(url(c.url), 200, std::nullopt, c.headers)->suggestedFilename(), c.expected);
    }
}

TEST(NSHTTPURLResponse, LocalizedStringForStatusCode) {
    EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(200), "no error");
    EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(404), "not found");
    EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(500), "internal server error");
    EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(299), "success");
    EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(399), "redirected");
    EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(499), "client error");
    EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(599), "server error");
}

TEST(NSURLError, ErrorsCarryTheFailingURLAndDescription) {
    auto e = NSURLErrorWithCode(NSURLErrorTimedOut, url("http://example.com/slow"));
    EXPECT_EQ(e->domain(), NSURLErrorDomain);
    EXPECT_EQ(e->code(), -1001);
    EXPECT_EQ(e->localizedDescription(), "The request timed out.");
    EXPECT_EQ(e->userInfo().at(Value(NSURLErrorFailingURLStringErrorKey)).stringValue(), "http://example.com/slow");
    EXPECT_TRUE(e->userInfo().at(Value(NSURLErrorFailingURLErrorKey)).objectAs<NSURL>());
    EXPECT_FALSE(NSURLErrorWithCode(NSURLErrorCancelled, nullptr)->userInfo().count(Value(NSURLErrorFailingURLErrorKey)));
}

TEST(NSURLSessionConfiguration, KindsAndCopies) {
    auto def = NSURLSessionConfiguration::defaultSessionConfiguration();
    EXPECT_EQ(def->URLCache(), NSURLCache::sharedURLCache());
    EXPECT_EQ(def->timeoutIntervalForRequest(), 60.0);
    EXPECT_EQ(def->timeoutIntervalForResource(), 7 * 24 * 3600.0);
    auto eph = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    EXPECT_TRUE(eph->isEphemeral());
    EXPECT_NE(eph->URLCache(), NSURLCache::sharedURLCache());
    auto bg = NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("sync");
    EXPECT_EQ(bg->identifier(), "sync");
    def->setHTTPAdditionalHeaders({{"X-A", "1"}});
    auto copy = def->copy();
    def->setHTTPAdditionalHeaders({});
    def->setTimeoutIntervalForRequest(1);
    EXPECT_EQ(copy->HTTPAdditionalHeaders().size(), 1u);
    EXPECT_EQ(copy->timeoutIntervalForRequest(), 60.0);
}

}  // namespace
