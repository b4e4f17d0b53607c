#include <platform_net/UIImage.h>

#include <algorithm>
#include <cmath>

#include "image/ExifOrientation.h"
#include "image/ImageCodecs.h"

UIImage::UIImage(CGImageRef image, double scale, UIImageOrientation orientation)
    : image_(std::move(image)), scale_(scale > 0 && std::isfinite(scale) ? scale : 1), orientation_(orientation) {}

UIImagePtr UIImage::imageWithData(const std::vector<uint8_t>& data) { return imageWithData(data, 1); }

UIImagePtr UIImage::imageWithData(const std::vector<uint8_t>& data, double scale) {
    auto image = CGImageCreateWithImageData(data);
    if (!image) return nullptr;
    UIImageOrientation orientation = UIImageOrientationUp;
    if (data[0] == 0xff) {
        // Exif orientation 1...8 in the order the camera states it.
        static const UIImageOrientation fromExif[9] = {
            UIImageOrientationUp,           UIImageOrientationUp,           UIImageOrientationUpMirrored,
            UIImageOrientationDown,         UIImageOrientationDownMirrored, UIImageOrientationLeftMirrored,
            UIImageOrientationRight,        UIImageOrientationRightMirrored, UIImageOrientationLeft};
        orientation = fromExif[jpegExifOrientation(data)];
    }
    return std::make_shared<UIImage>(std::move(image), scale, orientation);
}

UIImagePtr UIImage::imageWithCGImage(CGImageRef image, double scale, UIImageOrientation orientation) {
    if (!image) return nullptr;
    return std::make_shared<UIImage>(std::move(image), scale, orientation);
}

UIImagePtr UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
    auto copy = std::make_shared<UIImage>(image_, scale_, orientation_);
    copy->images_ = images_;
    copy->renderingMode_ = mode;
    copy->name_ = name_;
    return copy;
}

CGSize UIImage::size() const {
    if (!image_) return CGSizeZero;
    double w = static_cast<double>(image_->width()) / scale_, h = static_cast<double>(image_->height()) / scale_;
    switch (orientation_) {
        case UIImageOrientationLeft:
        case UIImageOrientationRight:
        case UIImageOrientationLeftMirrored:
        case UIImageOrientationRightMirrored: return CGSizeMake(h, w);
        default: return CGSizeMake(w, h);
    }
}

std::vector<uint8_t> UIImagePNGRepresentation(const UIImagePtr& image) {
    if (!image || !image->CGImage()) return {};
    return encodePNG(*image->CGImage());
}

std::vector<uint8_t> UIImageJPEGRepresentation(const UIImagePtr& image, double compressionQuality) {
    if (!image || !image->CGImage()) return {};
    int quality = static_cast<int>(std::lround(std::clamp(compressionQuality, 0.0, 1.0) * 100));
    return encodeJPEG(*image->CGImage(), std::max(quality, 1));
}
