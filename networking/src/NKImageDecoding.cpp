#include <networking/NKImageDecoding.h>

#include <mutex>

namespace {

constexpr std::size_t kMaxInflatedPixels = 1024 * 1024;

// The alpha layout of a device-RGB drawing context for a bitmap of this layout.
uint32_t deviceRGBBitmapInfo(uint32_t bitmapInfo) {
    const uint32_t alpha = bitmapInfo & kCGBitmapAlphaInfoMask;
    uint32_t newAlpha = alpha;
    if (alpha == kCGImageAlphaNone) {
        newAlpha = kCGImageAlphaNoneSkipFirst;
    } else if (alpha != kCGImageAlphaNoneSkipLast && alpha != kCGImageAlphaNoneSkipFirst) {
        newAlpha = kCGImageAlphaPremultipliedFirst;
    }
    return (bitmapInfo & ~kCGBitmapAlphaInfoMask) | newAlpha;
}

// Draws the bitmap into a context of the same size and depth in device RGB.
CGImageRef drawIntoDeviceRGB(const CGImage& image) {
    const uint32_t info = deviceRGBBitmapInfo(image.bitmapInfo());
    std::vector<uint8_t> pixels = image.pixels();
    const uint32_t alpha = info & kCGBitmapAlphaInfoMask;
    if (alpha == kCGImageAlphaNoneSkipFirst || alpha == kCGImageAlphaNoneSkipLast) {
        // A context without alpha draws every pixel opaque.
        for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0xFF;
    }
    return std::make_shared<const CGImage>(image.width(), image.height(), image.bitsPerComponent(),
                                           kCGColorSpaceModelRGB, info, std::move(pixels));
}

}  // namespace

UIImagePtr nk_safeImageWithData(const Value::Data& data) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    return UIImage::imageWithData(data);
}

UIImagePtr NKImageFromDataAtScale(const Value::Data& data, double scale) {
    auto image = nk_safeImageWithData(data);
    if (!image || !image->images().empty()) return image;
    return UIImage::imageWithCGImage(image->CGImage(), scale, image->imageOrientation());
}

UIImagePtr NKInflateImageFromResponse(const NSURLResponsePtr& response, const Value::Data* data, double scale) {
    if (!data || data->empty()) return nullptr;
    CGImageRef bitmap;
    UIImagePtr image;
    const auto mime = response ? response->MIMEType() : std::nullopt;
    if (mime == "image/png") {
        bitmap = CGImageCreateWithPNGData(*data);
        // Bytes that decode as a PNG make an upright, still image of this very bitmap: no
        // second decode for it.
        if (bitmap) image = UIImage::imageWithCGImage(bitmap, scale, UIImageOrientationUp);
    } else if (mime == "image/jpeg") {
        bitmap = CGImageCreateWithJPEGData(*data);
        // CMYK is left to the general decoder.
        if (bitmap && bitmap->colorSpaceModel() == kCGColorSpaceModelCMYK) bitmap = nullptr;
    }

    if (!image) image = NKImageFromDataAtScale(*data, scale);
    if (!bitmap) {
        if (!image || !image->images().empty()) return image;
        bitmap = image->CGImage();
        if (!bitmap) return nullptr;
    }
    if (bitmap->width() * bitmap->height() > kMaxInflatedPixels || bitmap->bitsPerComponent() > 8) return image;

    auto inflated = drawIntoDeviceRGB(*bitmap);
    return UIImage::imageWithCGImage(inflated, scale,
                                     image ? image->imageOrientation() : UIImageOrientationUp);
}
