#pragma once
// What the image-sequence controls share: the frame that a pull shows, and
// playing a state's images.

#include <platform_uikit/UIImageView.h>

#include <vector>

namespace rf_detail {
// Stops the view and shows image floor(count × percent), within 0 ... count − 1.
void showFrameForPercent(UIImageView& view, const std::vector<UIImagePtr>& images, double percent);
// Index of that image.
std::size_t frameIndexForPercent(std::size_t count, double percent);
// Stops the view; one image shows still, several animate over `duration`.
void playImages(UIImageView& view, const std::vector<UIImagePtr>& images, double duration);
}  // namespace rf_detail
