#pragma once
// Where a collection view's items go. The base layout places nothing; the
// flow layout fills lines (rows when scrolling vertically, columns when
// horizontally) with items of a fixed or delegated size, separated by the
// minimum spacings, inside each section's insets.
//
// `finalizeCollectionViewUpdates` runs through the class's method slot
// "finalizeCollectionViewUpdates" (the base body calls the slot, the slot's
// own implementation does nothing), so a hook exchanged into it runs once per
// update, also under a subclass override that calls the base body. It runs
// after the layout prepared the updated content, before the collection view
// takes the new content size.
//
// Main thread. A layout belongs to one collection view, which it does not hold.

#include <platform_uikit/NSIndexPath.h>

#include <platform_runtime/Geometry.h>
#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <optional>
#include <vector>

class UICollectionView;

struct UICollectionViewLayoutAttributes {
    NSIndexPath indexPath;
    CGRect frame{};
};

enum UICollectionUpdateAction : int64_t {
    UICollectionUpdateActionInsert = 0,
    UICollectionUpdateActionDelete = 1,
    UICollectionUpdateActionReload = 2,
};

struct UICollectionViewUpdateItem {
    UICollectionUpdateAction action;
    NSIndexPath indexPath;
};

class UICollectionViewLayout : public NSObject {
    NS_CLASS(UICollectionViewLayout, NSObject)
public:
    UICollectionView* collectionView() const { return collectionView_; }

    // Called before the layout is asked anything after an invalidation.
    virtual void prepareLayout() {}
    virtual CGSize collectionViewContentSize() const { return CGSizeZero; }
    virtual std::vector<UICollectionViewLayoutAttributes> layoutAttributesForElementsInRect(CGRect rect) const;
    virtual std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(NSIndexPath indexPath) const;
    // The next layout pass prepares again.
    virtual void invalidateLayout();
    bool isValid() const { return valid_; }

    virtual void prepareForCollectionViewUpdates(const std::vector<UICollectionViewUpdateItem>& /*items*/) {}
    // Through the "finalizeCollectionViewUpdates" slot.
    virtual void finalizeCollectionViewUpdates();

    // Used by the collection view.
    void attachToCollectionView(UICollectionView* view) { collectionView_ = view; }
    void prepareIfNeeded();

private:
    UICollectionView* collectionView_ = nullptr;
    bool valid_ = false;
};

enum UICollectionViewScrollDirection : int64_t {
    UICollectionViewScrollDirectionVertical = 0,
    UICollectionViewScrollDirectionHorizontal = 1,
};

class UICollectionViewFlowLayout : public UICollectionViewLayout {
    NS_CLASS(UICollectionViewFlowLayout, UICollectionViewLayout)
public:
    CGSize itemSize() const { return itemSize_; }
    void setItemSize(CGSize size) { itemSize_ = size; invalidateLayout(); }
    double minimumLineSpacing() const { return lineSpacing_; }
    void setMinimumLineSpacing(double spacing) { lineSpacing_ = spacing; invalidateLayout(); }
    double minimumInteritemSpacing() const { return itemSpacing_; }
    void setMinimumInteritemSpacing(double spacing) { itemSpacing_ = spacing; invalidateLayout(); }
    UIEdgeInsets sectionInset() const { return sectionInset_; }
    void setSectionInset(UIEdgeInsets inset) { sectionInset_ = inset; invalidateLayout(); }
    UICollectionViewScrollDirection scrollDirection() const { return direction_; }
    void setScrollDirection(UICollectionViewScrollDirection d) { direction_ = d; invalidateLayout(); }

    void prepareLayout() override;
    CGSize collectionViewContentSize() const override { return contentSize_; }
    std::vector<UICollectionViewLayoutAttributes> layoutAttributesForElementsInRect(CGRect rect) const override;
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(NSIndexPath indexPath) const override;

private:
    CGSize itemSize_{50, 50};
    double lineSpacing_ = 10, itemSpacing_ = 10;
    UIEdgeInsets sectionInset_{};
    UICollectionViewScrollDirection direction_ = UICollectionViewScrollDirectionVertical;
    CGSize contentSize_{};
    std::vector<std::vector<CGRect>> frames_;  // per section, per item
};
