#include <platform_net/CGImage.h>

#include <png.h>

#include <cstring>

#include "image/ImageCodecs.h"

CGImageRef CGImageCreateWithPNGData(const std::vector<uint8_t>& data) {
    if (data.size() < 8 || std::memcmp(data.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return nullptr;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return nullptr;
    const png_uint_32 sourceFormat = image.format;
    if (!acceptableImageSize(image.width, image.height)) {
        png_image_free(&image);
        return nullptr;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    // A truncated or corrupt stream fails here (libpng reports it, nothing is thrown).
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return nullptr;
    }
    bool alpha = sourceFormat & PNG_FORMAT_FLAG_ALPHA;
    bool color = sourceFormat & PNG_FORMAT_FLAG_COLOR;
    std::size_t depth = (sourceFormat & PNG_FORMAT_FLAG_LINEAR) ? 16 : 8;
    return std::make_shared<CGImage>(image.width, image.height, depth,
                                     color ? kCGColorSpaceModelRGB : kCGColorSpaceModelMonochrome,
                                     alpha ? kCGImageAlphaLast : kCGImageAlphaNoneSkipLast, std::move(pixels));
}

std::vector<uint8_t> encodePNG(const CGImage& source) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(source.width());
    image.height = static_cast<png_uint_32>(source.height());
    image.format = PNG_FORMAT_RGBA;
    const void* pixels = source.pixels().data();
    std::vector<uint8_t> rgb;
    auto alpha = source.alphaInfo();
    if (alpha == kCGImageAlphaNone || alpha == kCGImageAlphaNoneSkipLast || alpha == kCGImageAlphaNoneSkipFirst) {
        image.format = PNG_FORMAT_RGB;
        rgb.reserve(source.width() * source.height() * 3);
        const auto& p = source.pixels();
        for (std::size_t i = 0; i + 3 < p.size(); i += 4) rgb.insert(rgb.end(), p.begin() + i, p.begin() + i + 3);
        pixels = rgb.data();
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, nullptr)) return {};
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, nullptr)) return {};
    out.resize(size);
    return out;
}
