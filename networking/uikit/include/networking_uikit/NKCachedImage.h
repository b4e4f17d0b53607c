#pragma once
// One entry of the auto-purging image cache: the image, its key, its estimated bitmap size
// and when it was last put in or read. The access stamp is written by concurrent readers
// (atomics); everything else is fixed at construction.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <platform_net/UIImage.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/ObjCDeclare.h>

class NKCachedImage : public NSObject {
    NS_CLASS(NKCachedImage, NSObject)
public:
    NKCachedImage(UIImagePtr image, std::string identifier);

    // Bytes of the decoded bitmap: 4 × truncate((width × scale) × (height × scale)).
    static uint64_t estimatedBytes(const UIImage& image);
    static uint64_t estimatedBytes(CGSize pointSize, double scale);

    // Refreshes the access stamp and returns the image.
    UIImagePtr accessImage();

    const UIImagePtr& image() const { return image_; }
    const std::string& identifier() const { return identifier_; }
    uint64_t totalBytes() const { return totalBytes_; }
    NSDate lastAccessDate() const { return NSDate(lastAccess_.load(std::memory_order_relaxed)); }
    // Orders entries that share an access date: taken at insertion and at every read from the
    // processor's invariant time-stamp counter (the monotonic clock elsewhere), so a later
    // access has the larger number.
    uint64_t accessSequence() const { return accessSequence_.load(std::memory_order_relaxed); }

    std::string description() const override;
    std::string className() const override { return "NKCachedImage"; }

private:
    void stamp();

    UIImagePtr image_;
    std::string identifier_;
    uint64_t totalBytes_;
    // On a line of their own: readers stamp them while other readers copy image_.
    alignas(64) std::atomic<double> lastAccess_{0};
    std::atomic<uint64_t> accessSequence_{0};
};
