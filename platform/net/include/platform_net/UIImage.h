#pragma once
// An image decoded from PNG, JPEG or GIF data: a bitmap with a scale (pixels per point) and
// an orientation, plus PNG / JPEG encoding of it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <platform_net/CGImage.h>
#include <platform_runtime/Geometry.h>
#include <platform_runtime/ObjCDeclare.h>

enum UIImageOrientation : int64_t {
    UIImageOrientationUp = 0,
    UIImageOrientationDown = 1,
    UIImageOrientationLeft = 2,
    UIImageOrientationRight = 3,
    UIImageOrientationUpMirrored = 4,
    UIImageOrientationDownMirrored = 5,
    UIImageOrientationLeftMirrored = 6,
    UIImageOrientationRightMirrored = 7,
};

// How an image is drawn: as its own colours, or as a shape filled with the tint colour.
enum UIImageRenderingMode : int64_t {
    UIImageRenderingModeAutomatic = 0,
    UIImageRenderingModeAlwaysOriginal = 1,
    UIImageRenderingModeAlwaysTemplate = 2,
};

class UIImage;
using UIImagePtr = std::shared_ptr<UIImage>;

class UIImage : public NSObject {
    NS_CLASS(UIImage, NSObject)
public:
    // An empty image: no bitmap, size zero, scale 1.
    UIImage() = default;
    UIImage(CGImageRef image, double scale, UIImageOrientation orientation);

    // nullptr for data that is not a whole PNG, JPEG or GIF, or too large; never throws.
    // A JPEG's Exif orientation becomes the image's orientation (the bitmap stays as stored).
    static UIImagePtr imageWithData(const std::vector<uint8_t>& data);
    static UIImagePtr imageWithData(const std::vector<uint8_t>& data, double scale);
    // scale <= 0 counts as 1. nullptr for a null bitmap.
    static UIImagePtr imageWithCGImage(CGImageRef image, double scale, UIImageOrientation orientation);

    const CGImageRef& CGImage() const { return image_; }
    // In points: pixels / scale, width and height swapped for the Left / Right orientations.
    CGSize size() const;
    double scale() const { return scale_; }
    UIImageOrientation imageOrientation() const { return orientation_; }
    // The frames of an animated image; empty for a still one (GIFs decode to their first frame).
    const std::vector<UIImagePtr>& images() const { return images_; }
    double duration() const { return 0; }

    // The name a named-image loader found it by ("" for other images). Set by the loader
    // before the image is shared.
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    UIImageRenderingMode renderingMode() const { return renderingMode_; }
    // A copy drawn in `mode` (the bitmap is shared).
    UIImagePtr imageWithRenderingMode(UIImageRenderingMode mode) const;
    bool isTemplate() const { return renderingMode_ == UIImageRenderingModeAlwaysTemplate; }

    std::string className() const override { return "UIImage"; }

private:
    CGImageRef image_;
    double scale_ = 1;
    UIImageOrientation orientation_ = UIImageOrientationUp;
    std::vector<UIImagePtr> images_;
    UIImageRenderingMode renderingMode_ = UIImageRenderingModeAutomatic;
    std::string name_;
};

// The bitmap as PNG (RGBA, or RGB when opaque); empty for an image without a bitmap.
std::vector<uint8_t> UIImagePNGRepresentation(const UIImagePtr& image);
// The bitmap as baseline JPEG, quality 0...1; empty for an image without a bitmap.
std::vector<uint8_t> UIImageJPEGRepresentation(const UIImagePtr& image, double compressionQuality);
