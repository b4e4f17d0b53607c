#pragma once
// A decoded bitmap: dimensions, the source's colour model and depth, and RGBA pixels.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

enum CGColorSpaceModel : int32_t {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
    kCGColorSpaceModelCMYK = 2,
    kCGColorSpaceModelIndexed = 5,
};

enum CGImageAlphaInfo : uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};
inline constexpr uint32_t kCGBitmapAlphaInfoMask = 0x1F;

class CGImage;
using CGImageRef = std::shared_ptr<const CGImage>;

class CGImage {
public:
    // rgba: width × height pixels, 4 bytes each (R, G, B, A), rows top to bottom, not
    // premultiplied. bitsPerComponent and colorSpaceModel describe the source (a 16-bit PNG
    // says 16, a CMYK JPEG says CMYK) even though the pixels are always 8-bit RGBA.
    CGImage(std::size_t width, std::size_t height, std::size_t bitsPerComponent, CGColorSpaceModel model,
            uint32_t bitmapInfo, std::vector<uint8_t> rgba);

    std::size_t width() const { return width_; }
    std::size_t height() const { return height_; }
    std::size_t bitsPerComponent() const { return bitsPerComponent_; }
    std::size_t bytesPerRow() const { return width_ * 4; }
    CGColorSpaceModel colorSpaceModel() const { return model_; }
    // kCGImageAlphaLast when the source has alpha, kCGImageAlphaNoneSkipLast when opaque.
    uint32_t bitmapInfo() const { return bitmapInfo_; }
    CGImageAlphaInfo alphaInfo() const { return static_cast<CGImageAlphaInfo>(bitmapInfo_ & kCGBitmapAlphaInfoMask); }
    const std::vector<uint8_t>& pixels() const { return rgba_; }
    // The pixel at (x, y) as {R, G, B, A}.
    std::array<uint8_t, 4> pixelAt(std::size_t x, std::size_t y) const;

private:
    std::size_t width_, height_, bitsPerComponent_;
    CGColorSpaceModel model_;
    uint32_t bitmapInfo_;
    std::vector<uint8_t> rgba_;
};

// Decoders for one format each; nullptr when the bytes are not a sound image of it.
CGImageRef CGImageCreateWithPNGData(const std::vector<uint8_t>& data);
CGImageRef CGImageCreateWithJPEGData(const std::vector<uint8_t>& data);
CGImageRef CGImageCreateWithGIFData(const std::vector<uint8_t>& data);
// Any supported format (PNG, JPEG, GIF's first frame), told by its signature.
CGImageRef CGImageCreateWithImageData(const std::vector<uint8_t>& data);

// Images larger than this many pixels are refused rather than decoded.
inline constexpr std::size_t kCGImageMaxPixels = std::size_t{1} << 27;
