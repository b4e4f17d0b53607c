#include <platform_net/CGImage.h>

#include <cstring>

CGImage::CGImage(std::size_t width, std::size_t height, std::size_t bitsPerComponent, CGColorSpaceModel model,
                 uint32_t bitmapInfo, std::vector<uint8_t> rgba)
    : width_(width), height_(height), bitsPerComponent_(bitsPerComponent), model_(model), bitmapInfo_(bitmapInfo),
      rgba_(std::move(rgba)) {
    rgba_.resize(width_ * height_ * 4);
}

std::array<uint8_t, 4> CGImage::pixelAt(std::size_t x, std::size_t y) const {
    if (x >= width_ || y >= height_) return {0, 0, 0, 0};
    const uint8_t* p = rgba_.data() + (y * width_ + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

CGImageRef CGImageCreateWithImageData(const std::vector<uint8_t>& data) {
    auto startsWith = [&](const char* magic, std::size_t n) {
        return data.size() >= n && std::memcmp(data.data(), magic, n) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n", 8)) return CGImageCreateWithPNGData(data);
    if (startsWith("\xff\xd8\xff", 3)) return CGImageCreateWithJPEGData(data);
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) return CGImageCreateWithGIFData(data);
    return nullptr;
}
