#include <platform_net/CGImage.h>

#include <cstring>

#include "image/ImageCodecs.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

CGImageRef CGImageCreateWithGIFData(const std::vector<uint8_t>& data) {
    if (data.size() < 10 || (std::memcmp(data.data(), "GIF87a", 6) != 0 && std::memcmp(data.data(), "GIF89a", 6) != 0)) {
        return nullptr;
    }
    // The logical screen size, checked before the decoder allocates for it.
    std::size_t width = data[6] | (data[7] << 8), height = data[8] | (data[9] << 8);
    if (!acceptableImageSize(width, height) || data.size() > static_cast<std::size_t>(INT32_MAX)) return nullptr;
    int w = 0, h = 0, components = 0;
    // The first frame, composed over the logical screen, as RGBA.
    stbi_uc* pixels = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &components, 4);
    if (!pixels) return nullptr;
    std::vector<uint8_t> rgba(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    stbi_image_free(pixels);
    return std::make_shared<CGImage>(static_cast<std::size_t>(w), static_cast<std::size_t>(h), 8, kCGColorSpaceModelRGB,
                                     kCGImageAlphaLast, std::move(rgba));
}
