#pragma once
// Images for the image-loading tests: solid bitmaps of a given pixel size, PNG bytes of them,
// and UIImages that share one bitmap so that large caches cost no real memory.

#include <cstdint>
#include <memory>
#include <vector>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/CGImage.h>
#include <platform_net/UIImage.h>

namespace nkimage {

inline CGImageRef solidBitmap(std::size_t width, std::size_t height, uint8_t shade = 0x80) {
    std::vector<uint8_t> rgba(width * height * 4);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = shade;
        rgba[i + 1] = static_cast<uint8_t>(255 - shade);
        rgba[i + 2] = static_cast<uint8_t>(i / 4 % 251);
        rgba[i + 3] = 255;
    }
    return std::make_shared<CGImage>(width, height, 8, kCGColorSpaceModelRGB, kCGImageAlphaLast, std::move(rgba));
}

inline UIImagePtr imageOf(const CGImageRef& bitmap, double scale = 1) {
    return UIImage::imageWithCGImage(bitmap, scale, UIImageOrientationUp);
}

inline std::vector<uint8_t> pngBytes(std::size_t width, std::size_t height, uint8_t shade = 0x80) {
    return UIImagePNGRepresentation(imageOf(solidBitmap(width, height, shade)));
}

// Runs what is already queued on the main queue: a marker queued behind it runs last.
inline bool drainMainQueue() {
    auto ran = std::make_shared<bool>(false);
    dispatch_async(dispatch_get_main_queue(), [ran] { *ran = true; });
    return spinMainRunLoopUntil([ran] { return *ran; }, 10);
}

}  // namespace nkimage
