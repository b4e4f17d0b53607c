#include <networking_uikit/NKCachedImage.h>

#include <chrono>

NKCachedImage::NKCachedImage(UIImagePtr image, std::string identifier)
    : image_(std::move(image)), identifier_(std::move(identifier)), totalBytes_(image_ ? estimatedBytes(*image_) : 0) {
    stamp();
}

uint64_t NKCachedImage::estimatedBytes(const UIImage& image) { return estimatedBytes(image.size(), image.scale()); }

uint64_t NKCachedImage::estimatedBytes(CGSize size, double scale) {
    double pixels = (size.width * scale) * (size.height * scale);
    if (!(pixels > 0)) return 0;
    return 4 * static_cast<uint64_t>(pixels);
}

void NKCachedImage::stamp() {
    lastAccess_.store(NSDate::timeIntervalSinceReferenceDateNow(), std::memory_order_relaxed);
    // The monotonic clock in nanoseconds: rises with every access on any thread (it keeps
    // moving while a test holds the date still) and costs no shared counter that all readers
    // would contend on.
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    accessSequence_.store(static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                          std::memory_order_relaxed);
}

UIImagePtr NKCachedImage::accessImage() {
    stamp();
    return image_;
}

std::string NKCachedImage::description() const {
    return "Idenfitier: " + identifier_ + "  lastAccessDate: " + lastAccessDate().description() + " ";
}
