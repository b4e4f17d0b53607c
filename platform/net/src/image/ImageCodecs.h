#pragma once
// Encoders behind the image representations.

#include <cstdint>
#include <vector>

#include <platform_net/CGImage.h>

std::vector<uint8_t> encodePNG(const CGImage& image);
std::vector<uint8_t> encodeJPEG(const CGImage& image, int quality);

// width × height within kCGImageMaxPixels (and neither zero).
inline bool acceptableImageSize(std::size_t width, std::size_t height) {
    return width > 0 && height > 0 && width <= kCGImageMaxPixels / height;
}
