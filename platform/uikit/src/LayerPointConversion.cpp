#include "LayerPointConversion.h"

#include <platform_uikit/CALayer.h>

#include <vector>

namespace uikit_detail {

namespace {

// How far the anchor point lies from the bounds origin.
CGPoint anchorInBounds(const CALayer& layer) {
    const CGRect b = layer.bounds();
    const CGPoint a = layer.anchorPoint();
    return CGPointMake(a.x * b.size.width, a.y * b.size.height);
}

}  // namespace

void layerPointsToSuperlayer(const CALayer& layer, CGPoint* points, std::size_t count) {
    // Into the anchor-relative space, through the transform, then to the parent.
    const CGRect b = layer.bounds();
    const CGPoint anchor = anchorInBounds(layer), position = layer.position();
    const CGAffineTransform t = layer.affineTransform();
    for (std::size_t i = 0; i < count; ++i) {
        const CGPoint local = CGPointMake(points[i].x - b.origin.x - anchor.x, points[i].y - b.origin.y - anchor.y);
        const CGPoint q = CGPointApplyAffineTransform(local, t);
        points[i] = CGPointMake(q.x + position.x, q.y + position.y);
    }
}

void layerPointsFromSuperlayer(const CALayer& layer, CGPoint* points, std::size_t count) {
    const CGRect b = layer.bounds();
    const CGPoint anchor = anchorInBounds(layer), position = layer.position();
    const CGAffineTransform inverse = CGAffineTransformInvert(layer.affineTransform());
    for (std::size_t i = 0; i < count; ++i) {
        const CGPoint local = CGPointMake(points[i].x - position.x, points[i].y - position.y);
        const CGPoint q = CGPointApplyAffineTransform(local, inverse);
        points[i] = CGPointMake(q.x + b.origin.x + anchor.x, q.y + b.origin.y + anchor.y);
    }
}

void convertLayerPoints(const CALayer& from, CGPoint* points, std::size_t count, const CALayer* to) {
    for (const CALayer* l = &from; l;) {
        auto parent = l->superlayer();
        if (!parent) break;
        layerPointsToSuperlayer(*l, points, count);
        l = parent.get();
    }
    if (!to) return;
    // The target's chain, root side last; most trees are shallow enough for the array.
    const CALayer* shallow[16];
    std::vector<const CALayer*> deep;
    std::size_t depth = 0;
    for (const CALayer* l = to; l;) {
        auto parent = l->superlayer();
        if (!parent) break;
        if (depth < 16) shallow[depth] = l;
        else deep.push_back(l);
        ++depth;
        l = parent.get();
    }
    for (std::size_t k = depth; k-- > 0;) layerPointsFromSuperlayer(*(k < 16 ? shallow[k] : deep[k - 16]), points, count);
}

}  // namespace uikit_detail
