#include <platform_net/UIImage.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

std::vector<uint8_t> fixture(const std::string& name) {
    std::ifstream f(std::string(TEST_SOURCE_DIR) + "/data/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

using Pixel = std::array<uint8_t, 4>;

void expectNear(const Pixel& actual, const Pixel& expected, int tolerance, const std::string& what) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " channel " << i;
    }
}

TEST(UIImage, DecodesEachFormat) {
    struct Row {
        const char* file;
        std::size_t width, height, bits;
        CGColorSpaceModel model;
        CGImageAlphaInfo alpha;
        Pixel topLeft;
        int tolerance;
    };
    const Row rows[] = {
        {"rgba.png", 3, 2, 8, kCGColorSpaceModelRGB, kCGImageAlphaLast, {255, 0, 0, 255}, 0},
        {"rgb.png", 4, 4, 8, kCGColorSpaceModelRGB, kCGImageAlphaNoneSkipLast, {0, 255, 100, 255}, 0},
        {"gray16.png", 5, 3, 16, kCGColorSpaceModelMonochrome, kCGImageAlphaNoneSkipLast, {0, 0, 0, 255}, 0},
        {"orange.jpg", 16, 8, 8, kCGColorSpaceModelRGB, kCGImageAlphaNoneSkipLast, {255, 128, 0, 255}, 3},
        {"gray.jpg", 16, 8, 8, kCGColorSpaceModelMonochrome, kCGImageAlphaNoneSkipLast, {100, 100, 100, 255}, 2},
        // Full cyan ink, stored inverted with the Adobe marker.
        {"cmyk.jpg", 16, 8, 8, kCGColorSpaceModelCMYK, kCGImageAlphaNoneSkipLast, {0, 255, 255, 255}, 3},
        {"anim.gif", 2, 2, 8, kCGColorSpaceModelRGB, kCGImageAlphaLast, {255, 0, 0, 255}, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        auto image = UIImage::imageWithData(fixture(r.file));
        ASSERT_TRUE(image);
        const auto& cg = image->CGImage();
        ASSERT_TRUE(cg);
        EXPECT_EQ(cg->width(), r.width);
        EXPECT_EQ(cg->height(), r.height);
        EXPECT_EQ(cg->bitsPerComponent(), r.bits);
        EXPECT_EQ(cg->colorSpaceModel(), r.model);
        EXPECT_EQ(cg->alphaInfo(), r.alpha);
        EXPECT_EQ(cg->pixels().size(), r.width * r.height * 4);
        expectNear(cg->pixelAt(0, 0), r.topLeft, r.tolerance, "top left");
        EXPECT_EQ(image->scale(), 1.0);
        EXPECT_EQ(image->size(), CGSizeMake(double(r.width), double(r.height)));
        EXPECT_TRUE(image->images().empty());
    }
}

TEST(UIImage, PixelsAreStraightRGBA) {
    auto png = UIImage::imageWithData(fixture("rgba.png"))->CGImage();
    EXPECT_EQ(png->pixelAt(2, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(png->pixelAt(0, 1), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(png->pixelAt(1, 1)[3], 0);
    EXPECT_EQ(png->pixelAt(2, 1), (Pixel{128, 128, 128, 128})) << "not premultiplied";
    EXPECT_EQ(png->pixelAt(9, 9), (Pixel{0, 0, 0, 0})) << "outside";

    // The first frame of the animation, its transparent index clear.
    auto gif = UIImage::imageWithData(fixture("anim.gif"))->CGImage();
    EXPECT_EQ(gif->pixelAt(1, 0), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(gif->pixelAt(0, 1), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(gif->pixelAt(1, 1)[3], 0);

    auto grey = UIImage::imageWithData(fixture("gray16.png"))->CGImage();
    auto last = grey->pixelAt(4, 2);
    EXPECT_EQ(last[0], last[1]);
    EXPECT_GT(last[0], 200);
}

TEST(UIImage, ScaleAndOrientationGiveThePointSize) {
    auto data = fixture("orange.jpg");
    auto at2 = UIImage::imageWithData(data, 2);
    EXPECT_EQ(at2->scale(), 2.0);
    EXPECT_EQ(at2->size(), CGSizeMake(8, 4));
    for (double bad : {0.0, -3.0}) EXPECT_EQ(UIImage::imageWithData(data, bad)->scale(), 1.0);

    auto turned = UIImage::imageWithCGImage(at2->CGImage(), 4, UIImageOrientationRight);
    EXPECT_EQ(turned->size(), CGSizeMake(2, 4));
    EXPECT_EQ(turned->imageOrientation(), UIImageOrientationRight);
    EXPECT_EQ(turned->CGImage(), at2->CGImage()) << "same bitmap";
    EXPECT_EQ(UIImage::imageWithCGImage(nullptr, 1, UIImageOrientationUp), nullptr);

    UIImage empty;
    EXPECT_EQ(empty.CGImage(), nullptr);
    EXPECT_EQ(empty.size(), CGSizeZero);
}

// orange.jpg with an Exif block stating orientation tag value.
std::vector<uint8_t> withExifOrientation(uint16_t value, bool bigEndian) {
    auto data = fixture("orange.jpg");
    std::vector<uint8_t> tiff = bigEndian ? std::vector<uint8_t>{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2}
                                          : std::vector<uint8_t>{'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0};
    auto entry = [&](uint16_t tag, uint16_t type, uint16_t v) {
        auto put16 = [&](uint16_t x) {
            if (bigEndian) {
                tiff.push_back(x >> 8), tiff.push_back(x & 0xff);
            } else {
                tiff.push_back(x & 0xff), tiff.push_back(x >> 8);
            }
        };
        put16(tag), put16(type), put16(1), put16(0), put16(v), put16(0);
    };
    entry(0x010f, 2, 0);  // an unrelated tag first
    entry(0x0112, 3, value);
    std::vector<uint8_t> app1{0xff, 0xe1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    std::size_t length = app1.size() - 2;
    app1[2] = static_cast<uint8_t>(length >> 8), app1[3] = static_cast<uint8_t>(length & 0xff);
    data.insert(data.begin() + 2, app1.begin(), app1.end());
    return data;
}

TEST(UIImage, JPEGExifOrientationIsKept) {
    struct Row {
        uint16_t exif;
        UIImageOrientation orientation;
    };
    for (bool bigEndian : {false, true}) {
        for (const Row& r : {Row{1, UIImageOrientationUp}, Row{3, UIImageOrientationDown},
                             Row{6, UIImageOrientationRight}, Row{8, UIImageOrientationLeft},
                             Row{2, UIImageOrientationUpMirrored}, Row{0, UIImageOrientationUp},
                             Row{99, UIImageOrientationUp}}) {
            auto image = UIImage::imageWithData(withExifOrientation(r.exif, bigEndian));
            ASSERT_TRUE(image) << r.exif;
            EXPECT_EQ(image->imageOrientation(), r.orientation) << r.exif;
        }
    }
    // Turned a quarter: the 16 × 8 bitmap is 8 × 16 points.
    EXPECT_EQ(UIImage::imageWithData(withExifOrientation(6, false))->size(), CGSizeMake(8, 16));
    // A damaged Exif block is ignored.
    auto damaged = withExifOrientation(6, false);
    damaged[16] = 0xff;  // the first IFD offset now points far outside
    auto image = UIImage::imageWithData(damaged);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), UIImageOrientationUp);
}

// Standard CRC-32, to forge a well-formed header chunk.
uint32_t crc32(const uint8_t* p, std::size_t n) {
    uint32_t c = 0xffffffff;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320 & (0 - (c & 1)));
    }
    return ~c;
}

TEST(UIImage, CorruptOrHostileDataGivesNoImage) {
    std::vector<std::vector<uint8_t>> bad = {{}, {0x89, 'P', 'N', 'G'}, {0xff, 0xd8, 0xff}, {'G', 'I', 'F', '8', '9', 'a'},
                                             std::vector<uint8_t>(100, 0x42)};
    for (const char* name : {"rgba.png", "orange.jpg", "cmyk.jpg"}) {
        auto data = fixture(name);
        for (std::size_t cut : {data.size() / 4, data.size() / 2, data.size() - 14}) {
            bad.emplace_back(data.begin(), data.begin() + static_cast<long>(cut));
        }
    }
    // (A cut inside the closing chunk alone leaves the image whole, so the cuts reach the data.)
    // A PNG header chunk (with a valid CRC) claiming 100000 × 100000 pixels.
    auto huge = fixture("rgb.png");
    const uint8_t dims[8] = {0, 1, 0x86, 0xa0, 0, 1, 0x86, 0xa0};
    std::copy(dims, dims + 8, huge.begin() + 16);
    uint32_t crc = crc32(huge.data() + 12, 17);
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    bad.push_back(huge);
    // A GIF whose screen is 65535 × 65535.
    auto bigGif = fixture("anim.gif");
    for (int i = 6; i < 10; ++i) bigGif[i] = 0xff;
    bad.push_back(bigGif);

    for (const auto& data : bad) {
        EXPECT_EQ(UIImage::imageWithData(data), nullptr) << data.size() << " bytes";
    }

    // Damaged bodies may decode to something or nothing, but never crash.
    std::srand(7);
    for (const char* name : {"rgba.png", "orange.jpg", "cmyk.jpg", "anim.gif", "gray16.png"}) {
        auto data = fixture(name);
        for (int round = 0; round < 200; ++round) {
            auto copy = data;
            for (int k = 0; k < 3; ++k) copy[std::rand() % copy.size()] ^= static_cast<uint8_t>(1 + std::rand() % 255);
            auto image = UIImage::imageWithData(copy);
            if (image) {
                const auto& cg = *image->CGImage();
                EXPECT_EQ(cg.pixels().size(), cg.width() * cg.height() * 4);
            }
        }
    }
}

TEST(UIImage, RepresentationsDecodeBack) {
    auto original = UIImage::imageWithData(fixture("rgba.png"));
    auto png = UIImagePNGRepresentation(original);
    auto again = UIImage::imageWithData(png);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->CGImage()->pixels(), original->CGImage()->pixels());
    EXPECT_EQ(again->CGImage()->alphaInfo(), kCGImageAlphaLast);

    auto opaque = UIImage::imageWithData(fixture("rgb.png"));
    auto opaqueAgain = UIImage::imageWithData(UIImagePNGRepresentation(opaque));
    EXPECT_EQ(opaqueAgain->CGImage()->alphaInfo(), kCGImageAlphaNoneSkipLast);
    EXPECT_EQ(opaqueAgain->CGImage()->pixels(), opaque->CGImage()->pixels());

    auto orange = UIImage::imageWithData(fixture("orange.jpg"));
    auto jpeg = UIImageJPEGRepresentation(orange, 0.9);
    ASSERT_FALSE(jpeg.empty());
    auto decoded = UIImage::imageWithData(jpeg);
    ASSERT_TRUE(decoded);
    expectNear(decoded->CGImage()->pixelAt(5, 5), {255, 128, 0, 255}, 4, "re-encoded");
    EXPECT_LT(UIImageJPEGRepresentation(orange, 0.0).size(), jpeg.size());

    EXPECT_TRUE(UIImagePNGRepresentation(std::make_shared<UIImage>()).empty());
    EXPECT_TRUE(UIImageJPEGRepresentation(nullptr, 1).empty());
}

}  // namespace
