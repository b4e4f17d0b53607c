// Image responses: decoding at the serializer's scale, inflation into a device-RGB bitmap
// within the size limit, the format chosen by MIME type with a fallback, bad bytes and
// content types, and the compound serializer choosing the image.

#include <gtest/gtest.h>

#include <networking/NKCompoundResponseSerializer.h>
#include <networking/NKImageDecoding.h>
#include <networking/NKImageResponseSerializer.h>
#include <networking/NKJSONResponseSerializer.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_net/NSHTTPURLResponse.h>

#include <cstdio>
#include <jpeglib.h>

namespace {

using Data = Value::Data;

Data png(std::size_t width, std::size_t height, bool withAlpha) {
    std::vector<uint8_t> pixels(width * height * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = static_cast<uint8_t>(i / 4 % 251);
        pixels[i + 1] = 0x40;
        pixels[i + 2] = 0x80;
        pixels[i + 3] = withAlpha && (i / 4) % 2 ? 0x7F : 0xFF;
    }
    auto bitmap = std::make_shared<const CGImage>(width, height, 8, kCGColorSpaceModelRGB,
                                                  withAlpha ? kCGImageAlphaLast : kCGImageAlphaNoneSkipLast, pixels);
    return UIImagePNGRepresentation(UIImage::imageWithCGImage(bitmap, 1, UIImageOrientationUp));
}

// A CMYK JPEG (four components per pixel), as print workflows write them.
Data cmykJPEG(int width, int height) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 4, 0);
    for (int x = 0; x < width; ++x) row[x * 4 + 1] = 200;  // magenta ink
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    Data data(out, out + size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return data;
}

NSURLResponsePtr response(const std::string& type, int64_t status = 200) {
    return std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://127.0.0.1/i"), status, "HTTP/1.1",
                                               NSHTTPHeaderFields{{"Content-Type", type}});
}

UIImagePtr decode(const NKURLResponseSerialization& s, const NSURLResponsePtr& r, const Data& data,
                  NSErrorPtr* error) {
    return s.responseObjectForResponse(r, &data, error).objectAs<UIImage>();
}

TEST(NKImageResponseSerializer, InflatesUpToTheSizeLimitAtTheSerializersScale) {
    auto s = NKImageResponseSerializer::serializer();
    s->setImageScale(3);
    struct Case { std::size_t w, h; bool alpha; uint32_t alphaInfo; };
    const Case cases[] = {
        {1024, 1024, true, kCGImageAlphaPremultipliedFirst},  // exactly the limit: inflated
        {2000, 1000, true, kCGImageAlphaLast},                // above: as decoded
        {8, 4, false, kCGImageAlphaNoneSkipLast},             // opaque stays without alpha
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        auto image = decode(*s, response("image/png"), png(c.w, c.h, c.alpha), &error);
        ASSERT_TRUE(image) << c.w;
        EXPECT_FALSE(error);
        EXPECT_EQ(image->scale(), 3);
        EXPECT_EQ(image->CGImage()->width(), c.w);
        EXPECT_EQ(image->CGImage()->alphaInfo(), c.alphaInfo) << c.w << "x" << c.h;
        EXPECT_EQ(image->size().width, c.w / 3.0);
    }
    // Pixels survive the redraw; an opaque context makes every pixel opaque.
    auto inflated = decode(*s, response("image/png"), png(4, 2, true), nullptr);
    EXPECT_EQ((inflated->CGImage()->pixelAt(1, 0)), (std::array<uint8_t, 4>{1, 0x40, 0x80, 0x7F}));
}

TEST(NKImageResponseSerializer, WithoutInflationTheDecodedBitmapIsKept) {
    auto s = NKImageResponseSerializer::serializer();
    s->setAutomaticallyInflatesResponseImage(false);
    auto image = decode(*s, response("image/png"), png(16, 16, true), nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->CGImage()->alphaInfo(), kCGImageAlphaLast);
    EXPECT_EQ(image->scale(), s->imageScale());
}

TEST(NKImageResponseSerializer, FormatsBadBytesAndContentTypes) {
    auto s = NKImageResponseSerializer::serializer();
    auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithData(png(32, 16, false)), 0.9);
    ASSERT_FALSE(jpeg.empty());
    struct Case { const char* name; std::string type; Data data; bool image; int64_t code; };
    const Case cases[] = {
        {"jpeg", "image/jpeg", jpeg, true, 0},
        {"jpeg sent as png", "image/png", jpeg, true, 0},
        {"png sent as gif", "image/gif", png(3, 3, true), true, 0},
        {"garbage", "image/png", Data{1, 2, 3, 4}, false, 0},
        {"truncated png", "image/png", [] { auto d = png(64, 64, true); d.resize(d.size() / 2); return d; }(), false, 0},
        {"empty", "image/png", Data{}, false, 0},
        {"html", "text/html", png(3, 3, true), false, -1016},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        auto image = decode(*s, response(c.type), c.data, &error);
        EXPECT_EQ(image != nullptr, c.image) << c.name;
        EXPECT_EQ(error ? error->code() : 0, c.code) << c.name;
    }
    NSErrorPtr error;
    EXPECT_TRUE(decode(*s, response("image/png", 404), png(3, 3, false), &error));
    EXPECT_EQ(error ? error->code() : 0, -1011);
}

TEST(NKImageResponseSerializer, CMYKJPEGGoesThroughTheGeneralDecoder) {
    auto s = NKImageResponseSerializer::serializer();
    s->setImageScale(2);
    NSErrorPtr error;
    auto image = decode(*s, response("image/jpeg"), cmykJPEG(8, 4), &error);
    ASSERT_TRUE(image);
    EXPECT_FALSE(error);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->CGImage()->colorSpaceModel(), kCGColorSpaceModelRGB);
    EXPECT_EQ(image->CGImage()->width(), 8u);
}

TEST(NKImageResponseSerializer, CompoundWithJSONAnswersTheImage) {
    auto compound = NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {NKJSONResponseSerializer::serializer(), NKImageResponseSerializer::serializer()});
    NSErrorPtr error;
    auto image = decode(*compound, response("image/png"), png(5, 5, true), &error);
    EXPECT_TRUE(image);
    EXPECT_FALSE(error);
}

TEST(NKImageResponseSerializer, CopiesAndArchivesKeepScaleAndInflation) {
    auto s = NKImageResponseSerializer::serializer();
    s->setImageScale(1.5);
    s->setAutomaticallyInflatesResponseImage(false);
    auto copy = std::dynamic_pointer_cast<NKImageResponseSerializer>(s->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->imageScale(), 1.5);
    EXPECT_FALSE(copy->automaticallyInflatesResponseImage());

    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(s), true, &error);
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClass("NKImageResponseSerializer", data, &error)
                       .objectAs<NKImageResponseSerializer>();
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    EXPECT_EQ(decoded->imageScale(), 1.5);
    EXPECT_FALSE(decoded->automaticallyInflatesResponseImage());
    EXPECT_EQ(decoded->acceptableContentTypes()->count("image/x-icon"), 1u);
}

}  // namespace
