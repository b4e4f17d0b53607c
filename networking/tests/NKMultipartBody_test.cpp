// Multipart bodies: the exact bytes of delimiters, headers and bodies, reads of any size and
// throttled reads, copies, file parts and their errors, the parts the request serializer
// makes from parameters, and the body written to a file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKStreamingMultipartFormData.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSInputStream.h>

#include "NKMultipartTestSupport.h"

namespace {

using nkmultipart::readAll;
using nkmultipart::TempDir;

NSURLRequestPtr postRequest() {
    auto request = std::make_shared<NSMutableURLRequest>(NSURL::URLWithString("http://127.0.0.1/upload"));
    request->setHTTPMethod("POST");
    return request;
}

Value::Data bytes(const std::string& s) { return Value::Data(s.begin(), s.end()); }

TEST(NKMultipartFormData, FinalizingWithoutPartsLeavesTheRequestAlone) {
    auto form = NKStreamingMultipartFormData::initWithURLRequest(postRequest(), NSUTF8StringEncoding);
    auto request = form->requestByFinalizingMultipartFormData();
    EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Type"));
    EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Length"));
    EXPECT_FALSE(nkmultipart::bodyStreamOf(*request));
}

TEST(NKMultipartFormData, OneFormFieldGivesExactlyTheseBytes) {
    auto form = NKStreamingMultipartFormData::initWithURLRequest(postRequest(), NSUTF8StringEncoding);
    form->appendPartWithFormData(bytes("x"), "a");
    auto request = form->requestByFinalizingMultipartFormData();
    const std::string b = form->boundary();
    const std::string expected =
        "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--" + b + "--\r\n";
    auto stream = nkmultipart::bodyStreamOf(*request);
    ASSERT_TRUE(stream);
    EXPECT_EQ(readAll(*stream, 4096), expected);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "multipart/form-data; boundary=" + b);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
}

TEST(NKMultipartFormData, BoundariesAreFreshAndWellFormed) {
    auto a = NKStreamingMultipartFormData::initWithURLRequest(postRequest(), NSUTF8StringEncoding);
    auto b = NKStreamingMultipartFormData::initWithURLRequest(postRequest(), NSUTF8StringEncoding);
    EXPECT_NE(a->boundary(), b->boundary());
    const std::regex shape("Boundary\\+[0-9A-F]{16}");
    EXPECT_TRUE(std::regex_match(a->boundary(), shape)) << a->boundary();
    EXPECT_EQ(b->boundary().size(), 25u);
}

class NKMultipartBodyTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string filePath;
    Value::Data fileBytes;

    void SetUp() override {
        for (int i = 0; i < 5000; ++i) fileBytes.push_back(static_cast<uint8_t>((i * 131) ^ (i >> 3)));
        filePath = dir.write("photo.png", fileBytes);
    }

    // Raw bytes, a file, a field and a file without a MIME type.
    std::shared_ptr<NKStreamingMultipartFormData> mixedForm() {
        auto form = NKStreamingMultipartFormData::initWithURLRequest(postRequest(), NSUTF8StringEncoding);
        form->appendPartWithFormData(bytes(std::string("value\r\nwith\0nul", 15)), "field");
        NSErrorPtr error;
        EXPECT_TRUE(form->appendPartWithFileURL(NSURL::fileURLWithPath(filePath), "file", &error));
        form->appendPartWithFileData(bytes("{}"), "doc", "doc.json", "application/json");
        form->appendPartWithFileData(bytes("??"), "blob", "blob.bin", "");
        return form;
    }
};

TEST_F(NKMultipartBodyTest, AnyReadSizeYieldsTheSameBytesAndTheDeclaredLength) {
    auto form = mixedForm();
    auto request = form->requestByFinalizingMultipartFormData();
    auto whole = readAll(*nkmultipart::bodyStreamOf(*request), 1 << 20);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(whole.size()));
    for (std::size_t size : {1u, 2u, 7u, 29u, 1000u}) {
        auto copy = form->bodyStream()->copy();
        EXPECT_EQ(readAll(*copy, size), whole) << size;
    }
    const std::string fileText(fileBytes.begin(), fileBytes.end());
    EXPECT_NE(whole.find("Content-Disposition: form-data; name=\"file\"; filename=\"photo.png\"\r\n"
                         "Content-Type: image/png\r\n\r\n" + fileText + "\r\n--"),
              std::string::npos);
    EXPECT_NE(whole.find("name=\"blob\"; filename=\"blob.bin\"\r\n\r\n??\r\n--" + form->boundary() + "--\r\n"),
              std::string::npos);
}

TEST_F(NKMultipartBodyTest, ThrottledReadsNeverExceedThePacketSize) {
    auto form = mixedForm();
    form->throttleBandwidthWithPacketSize(16, 0.0001);
    auto request = form->requestByFinalizingMultipartFormData();
    auto stream = nkmultipart::bodyStreamOf(*request);
    stream->open();
    std::string out;
    uint8_t buffer[4096];
    for (;;) {
        const int64_t n = stream->read(buffer, sizeof buffer);
        ASSERT_LE(n, 16);
        if (n <= 0) break;
        out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    }
    EXPECT_EQ(out, readAll(*form->bodyStream()->copy(), 4096));
}

TEST_F(NKMultipartBodyTest, EndAndClosedStates) {
    auto form = mixedForm();
    form->requestByFinalizingMultipartFormData();
    auto stream = form->bodyStream();
    readAll(*stream, 512);
    uint8_t buffer[8];
    EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);  // after the last part
    EXPECT_TRUE(stream->hasBytesAvailable());
    stream->close();
    EXPECT_EQ(stream->streamStatus(), 6u);
    EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(stream->hasBytesAvailable());
}

TEST_F(NKMultipartBodyTest, AFileThatVanishesEndsTheReadWithAnError) {
    auto form = mixedForm();
    form->requestByFinalizingMultipartFormData();
    std::filesystem::remove(filePath);
    auto stream = form->bodyStream();
    stream->open();
    uint8_t buffer[4096];
    int64_t n;
    int reads = 0;
    while ((n = stream->read(buffer, sizeof buffer)) > 0 && ++reads < 100) {
    }
    ASSERT_TRUE(stream->streamError());
    EXPECT_EQ(stream->streamError()->code(), ENOENT);
}

TEST_F(NKMultipartBodyTest, InputStreamPartsAreReadOnceAndDeclareTheirLength) {
    auto form = NKStreamingMultipartFormData::initWithURLRequest(postRequest(), NSUTF8StringEncoding);
    auto source = NSInputStream::inputStreamWithData(bytes("streamed bytes"));
    form->appendPartWithInputStream(source, "s", "s.txt", 14, "");
    auto request = form->requestByFinalizingMultipartFormData();
    const std::string b = form->boundary();
    const std::string expected =
        "--" + b + "\r\nContent-Disposition: form-data; name=\"s\"; filename=\"s.txt\"\r\n\r\nstreamed bytes\r\n--" + b +
        "--\r\n";
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(readAll(*nkmultipart::bodyStreamOf(*request), 3), expected);
    EXPECT_EQ(source->streamStatus(), NSStreamStatusClosed);
    // A copy shares the caller's stream, which has nothing left to give.
    auto again = readAll(*form->bodyStream()->copy(), 64);
    EXPECT_EQ(again.find("streamed bytes"), std::string::npos);
}

TEST_F(NKMultipartBodyTest, FileURLErrorsAppendNothing) {
    auto form = NKStreamingMultipartFormData::initWithURLRequest(postRequest(), NSUTF8StringEncoding);
    struct Case { NSURLPtr url; const char* reason; };
    const Case cases[] = {
        {NSURL::URLWithString("http://h/x.png"), "Expected URL to be a file URL"},
        {NSURL::fileURLWithPath(dir.path() + "/missing.png"), "File URL not reachable."},
        {NSURL::fileURLWithPath(dir.path()), "File URL not reachable."},
        {nullptr, "Expected URL to be a file URL"},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        EXPECT_FALSE(form->appendPartWithFileURL(c.url, "f", &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "com.netkit.error.serialization.request");
        EXPECT_EQ(error->code(), -1000);
        EXPECT_EQ(error->localizedFailureReason(), c.reason);
    }
    EXPECT_TRUE(form->bodyStream()->isEmpty());
}

TEST_F(NKMultipartBodyTest, SerializerTurnsParametersIntoSortedParts) {
    auto serializer = NKHTTPRequestSerializer::serializer();
    const Value::Data raw = {0x00, 0xFF, 0x0D, 0x0A, 0x2D, 0x2D};
    NSErrorPtr error;
    auto request = serializer->multipartFormRequestWithMethod(
        "POST", "http://127.0.0.1/u", Value::dict({{"n", 5}, {"f", Value(raw)}, {"z", Value()}}),
        [&](NKMultipartFormData& form) { form.appendPartWithFormData(bytes("last"), "extra"); }, &error);
    ASSERT_TRUE(request) << (error ? error->description() : "");
    auto body = readAll(*nkmultipart::bodyStreamOf(*request), 64);
    const auto type = *request->valueForHTTPHeaderField("Content-Type");
    const std::string b = type.substr(type.find("boundary=") + 9);
    const std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n" +
                                 std::string(raw.begin(), raw.end()) + "\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"n\"\r\n\r\n5\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"z\"\r\n\r\n\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"extra\"\r\n\r\nlast\r\n--" + b + "--\r\n";
    EXPECT_EQ(body, expected);
    // The empty form body of a POST without parameters is not sent beside the multipart body.
    EXPECT_FALSE(request->HTTPBody() && !request->HTTPBody()->empty());
}

TEST_F(NKMultipartBodyTest, BodyWrittenToAFileMatchesTheStream) {
    auto serializer = NKHTTPRequestSerializer::serializer();
    auto form = mixedForm();
    auto request = form->requestByFinalizingMultipartFormData();
    const std::string expected = readAll(*form->bodyStream()->copy(), 4096);
    const std::string target = dir.path() + "/body.bin";
    bool done = false;
    NSErrorPtr result = NSError::errorWithDomain("unset", 0);
    auto fileRequest = serializer->requestWithMultipartFormRequest(request, NSURL::fileURLWithPath(target),
                                                                   [&](NSErrorPtr error) {
                                                                       result = error;
                                                                       done = true;
                                                                   });
    ASSERT_TRUE(fileRequest);
    EXPECT_FALSE(nkmultipart::bodyStreamOf(*fileRequest));
    EXPECT_EQ(fileRequest->valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done; }, 10));
    EXPECT_FALSE(result);
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);

    done = false;
    serializer->requestWithMultipartFormRequest(request, NSURL::fileURLWithPath(dir.path() + "/no/such/dir/x"),
                                                [&](NSErrorPtr error) {
                                                    result = error;
                                                    done = true;
                                                });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done; }, 10));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->code(), ENOENT);
}

}  // namespace
