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
    // A counter that rises with every access on any thread (and keeps moving while a test
    // holds the date still), without a shared counter that all readers would contend on.
#if defined(__x86_64__)
    uint64_t sequence = __builtin_ia32_rdtsc();
#else
    uint64_t sequence = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
    accessSequence_.store(sequence, std::memory_order_relaxed);
}

UIImagePtr NKCachedImage::accessImage() {
    stamp();
    return image_;
}

std::string NKCachedImage::description() const {
    return "Idenfitier: " + identifier_ + "  lastAccessDate: " + lastAccessDate().description() + " ";
}
