#pragma once
// Maps points between layer spaces in one walk of the layer tree: up from
// `from` to its root, then down from the root of `to` (nullptr: stay in the
// root's space). Converting several points at once (a rectangle's corners)
// walks the chains and computes each layer's transform once for all of them;
// each point gets exactly the arithmetic a one-point conversion gives it.
// Main thread, like the layers.

#include <platform_uikit/CGAffineTransform.h>

#include <cstddef>

class CALayer;

namespace uikit_detail {

// One step: `count` points of the layer's space into its superlayer's, or back.
void layerPointsToSuperlayer(const CALayer& layer, CGPoint* points, std::size_t count);
void layerPointsFromSuperlayer(const CALayer& layer, CGPoint* points, std::size_t count);

void convertLayerPoints(const CALayer& from, CGPoint* points, std::size_t count, const CALayer* to);

}  // namespace uikit_detail
