#include "RFRefreshGifLook.h"

#include <cmath>

namespace rf_detail {

std::size_t frameIndexForPercent(std::size_t count, double percent) {
    if (count == 0) return 0;
    double product = std::floor(double(count) * percent);
    if (!(product > 0)) return 0;
    return std::min(count - 1, std::size_t(product));
}

void showFrameForPercent(UIImageView& view, const std::vector<UIImagePtr>& images, double percent) {
    view.stopAnimating();
    if (images.empty()) return;
    view.setImage(images[frameIndexForPercent(images.size(), percent)]);
}

void playImages(UIImageView& view, const std::vector<UIImagePtr>& images, double duration) {
    view.stopAnimating();
    if (images.size() == 1) {
        view.setImage(images.front());
        return;
    }
    view.setAnimationImages(images);
    view.setAnimationDuration(duration);
    view.startAnimating();
}

}  // namespace rf_detail
