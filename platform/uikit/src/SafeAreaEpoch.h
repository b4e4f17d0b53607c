#pragma once
// Counts of the changes that can move a view's safe area, so a safe area worked out once
// serves again while none happened. Geometry of any layer but a bounds origin, the layer and
// view trees, windows and controller insets advance the geometry count; a bounds origin
// advances the origin count and notes which layer a run of such changes is on (a scroll view's
// own offset moves its subviews, not its own safe area). Changed and read on any thread
// (atomics); views are used on the main thread.

#include <atomic>
#include <cstdint>

class CALayer;

namespace uikit_detail {

struct SafeAreaEpoch {
    std::atomic<uint64_t> geometry{1};
    std::atomic<uint64_t> origin{1};
    std::atomic<const CALayer*> originRunLayer{nullptr};  // the layer of the latest run of origin changes
    std::atomic<uint64_t> originRunStart{0};               // the origin count its run began with
};

inline SafeAreaEpoch& safeAreaEpoch() {
    static SafeAreaEpoch epoch;
    return epoch;
}

inline void safeAreaGeometryChanged() { safeAreaEpoch().geometry.fetch_add(1, std::memory_order_relaxed); }

inline void safeAreaBoundsOriginChanged(const CALayer& layer) {
    SafeAreaEpoch& e = safeAreaEpoch();
    const uint64_t now = e.origin.fetch_add(1, std::memory_order_relaxed) + 1;
    if (e.originRunLayer.load(std::memory_order_relaxed) != &layer) {
        e.originRunStart.store(now, std::memory_order_relaxed);
        e.originRunLayer.store(&layer, std::memory_order_relaxed);
    }
}

// Whether every bounds-origin change since the origin count read `since` was on `layer`.
inline bool onlyOriginOfSince(const CALayer& layer, uint64_t since) {
    SafeAreaEpoch& e = safeAreaEpoch();
    if (e.origin.load(std::memory_order_relaxed) == since) return true;
    return e.originRunLayer.load(std::memory_order_relaxed) == &layer &&
           e.originRunStart.load(std::memory_order_relaxed) <= since + 1;
}

}  // namespace uikit_detail
