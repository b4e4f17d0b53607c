#include <platform_uikit/UICollectionViewLayout.h>

#include <platform_uikit/UICollectionView.h>

#include <platform_runtime/ObjCRuntime.h>

#include <algorithm>

NS_CLASS_LOAD(UICollectionViewLayout) {
    cls.addMethod("finalizeCollectionViewUpdates", makeInstanceImp<void()>([](NSObject&) {}), "v16@0:8");
}

std::vector<UICollectionViewLayoutAttributes> UICollectionViewLayout::layoutAttributesForElementsInRect(CGRect) const {
    return {};
}

std::optional<UICollectionViewLayoutAttributes> UICollectionViewLayout::layoutAttributesForItemAtIndexPath(NSIndexPath) const {
    return std::nullopt;
}

void UICollectionViewLayout::invalidateLayout() {
    valid_ = false;
    if (collectionView_) collectionView_->setNeedsLayout();
}

void UICollectionViewLayout::prepareIfNeeded() {
    if (valid_) return;
    valid_ = true;
    prepareLayout();
}

void UICollectionViewLayout::finalizeCollectionViewUpdates() { invokeMethod<void()>(*this, "finalizeCollectionViewUpdates"); }

// --- flow ---

void UICollectionViewFlowLayout::prepareLayout() {
    frames_.clear();
    contentSize_ = CGSizeZero;
    UICollectionView* view = collectionView();
    if (!view) return;
    auto delegate = view->delegate();
    bool vertical = direction_ == UICollectionViewScrollDirectionVertical;
    CGSize bounds = view->bounds().size;
    // Work in (across, along): across is the line's direction, along the scrolling one.
    double extent = vertical ? bounds.width : bounds.height;
    double along = 0;
    int64_t sections = view->numberOfSections();
    for (int64_t s = 0; s < sections; ++s) {
        std::vector<CGRect> frames;
        double startAcross = vertical ? sectionInset_.left : sectionInset_.top;
        double endAcross = extent - (vertical ? sectionInset_.right : sectionInset_.bottom);
        along += vertical ? sectionInset_.top : sectionInset_.left;
        double x = startAcross, lineDepth = 0;
        std::size_t lineStart = 0;
        int64_t items = view->numberOfItemsInSection(s);
        // Items in one line are centred on the line's depth.
        auto closeLine = [&] {
            for (std::size_t i = lineStart; i < frames.size(); ++i) {
                CGRect& f = frames[i];
                double depth = vertical ? f.size.height : f.size.width;
                double offset = along + (lineDepth - depth) / 2;
                if (vertical) f.origin.y = offset; else f.origin.x = offset;
            }
            along += lineDepth;
            lineStart = frames.size();
            lineDepth = 0;
            x = startAcross;
        };
        for (int64_t i = 0; i < items; ++i) {
            CGSize size = itemSize_;
            if (delegate) {
                CGSize asked = delegate->collectionViewLayoutSizeForItemAtIndexPath(*view, *this, {s, i});
                if (asked.width >= 0 && asked.height >= 0) size = asked;
            }
            double width = vertical ? size.width : size.height, depth = vertical ? size.height : size.width;
            if (frames.size() > lineStart && x + width > endAcross) {
                closeLine();
                along += lineSpacing_;
            }
            frames.push_back(vertical ? CGRectMake(x, 0, size.width, size.height) : CGRectMake(0, x, size.width, size.height));
            x += width + itemSpacing_;
            lineDepth = std::max(lineDepth, depth);
        }
        if (frames.size() > lineStart) closeLine();
        along += vertical ? sectionInset_.bottom : sectionInset_.right;
        frames_.push_back(std::move(frames));
    }
    contentSize_ = vertical ? CGSizeMake(bounds.width, along) : CGSizeMake(along, bounds.height);
}

std::vector<UICollectionViewLayoutAttributes> UICollectionViewFlowLayout::layoutAttributesForElementsInRect(CGRect rect) const {
    std::vector<UICollectionViewLayoutAttributes> out;
    for (std::size_t s = 0; s < frames_.size(); ++s)
        for (std::size_t i = 0; i < frames_[s].size(); ++i) {
            const CGRect& f = frames_[s][i];
            if (CGRectGetMaxX(f) > CGRectGetMinX(rect) && CGRectGetMinX(f) < CGRectGetMaxX(rect) &&
                CGRectGetMaxY(f) > CGRectGetMinY(rect) && CGRectGetMinY(f) < CGRectGetMaxY(rect))
                out.push_back({{static_cast<int64_t>(s), static_cast<int64_t>(i)}, f});
        }
    return out;
}

std::optional<UICollectionViewLayoutAttributes> UICollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(
    NSIndexPath p) const {
    if (p.section < 0 || p.section >= static_cast<int64_t>(frames_.size())) return std::nullopt;
    const auto& frames = frames_[static_cast<std::size_t>(p.section)];
    if (p.row < 0 || p.row >= static_cast<int64_t>(frames.size())) return std::nullopt;
    return UICollectionViewLayoutAttributes{p, frames[static_cast<std::size_t>(p.row)]};
}
