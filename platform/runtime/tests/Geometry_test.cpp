#include <platform_runtime/Geometry.h>

#include <gtest/gtest.h>

namespace {

TEST(Geometry, EdgesOfRectsWithNegativeSizes) {
    const struct {
        CGRect rect;
        double minX, midX, maxX, minY, midY, maxY, width, height;
    } cases[] = {
        {CGRectMake(10, 20, 30, 40), 10, 25, 40, 20, 40, 60, 30, 40},
        {CGRectMake(10, 20, -30, -40), -20, -5, 10, -20, 0, 20, 30, 40},
        {CGRectZero, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CGRectGetMinX(c.rect), c.minX);
        EXPECT_EQ(CGRectGetMidX(c.rect), c.midX);
        EXPECT_EQ(CGRectGetMaxX(c.rect), c.maxX);
        EXPECT_EQ(CGRectGetMinY(c.rect), c.minY);
        EXPECT_EQ(CGRectGetMidY(c.rect), c.midY);
        EXPECT_EQ(CGRectGetMaxY(c.rect), c.maxY);
        EXPECT_EQ(CGRectGetWidth(c.rect), c.width);
        EXPECT_EQ(CGRectGetHeight(c.rect), c.height);
    }
}

TEST(Geometry, ContainsPointIsHalfOpen) {
    const CGRect r = CGRectMake(0, 0, 10, 10);
    EXPECT_TRUE(CGRectContainsPoint(r, CGPointMake(0, 0)));
    EXPECT_TRUE(CGRectContainsPoint(r, CGPointMake(9.99, 5)));
    EXPECT_FALSE(CGRectContainsPoint(r, CGPointMake(10, 5)));
    EXPECT_FALSE(CGRectContainsPoint(r, CGPointMake(5, 10)));
    EXPECT_FALSE(CGRectContainsPoint(r, CGPointMake(-0.01, 5)));
    EXPECT_TRUE(CGRectContainsPoint(CGRectMake(10, 10, -10, -10), CGPointMake(5, 5)));
    EXPECT_FALSE(CGRectContainsPoint(CGRectZero, CGPointZero));
}

TEST(Geometry, EqualityAndInsets) {
    EXPECT_TRUE(CGRectEqualToRect(CGRectMake(1, 2, 3, 4), CGRect{{1, 2}, {3, 4}}));
    EXPECT_FALSE(CGRectEqualToRect(CGRectMake(1, 2, 3, 4), CGRectMake(1, 2, 3, 5)));
    EXPECT_TRUE(CGPointEqualToPoint(CGPointMake(1, 2), CGPoint{1, 2}));
    EXPECT_TRUE(CGSizeEqualToSize(CGSizeMake(1, 2), CGSize{1, 2}));
    EXPECT_TRUE(UIEdgeInsetsEqualToEdgeInsets(UIEdgeInsetsMake(1, 2, 3, 4), UIEdgeInsets{1, 2, 3, 4}));
    EXPECT_TRUE(UIOffsetEqualToOffset(UIOffsetMake(1, 2), UIOffset{1, 2}));
    EXPECT_TRUE(CGRectIsEmpty(CGRectMake(5, 5, 0, 3)));
    EXPECT_EQ(UIEdgeInsetsInsetRect(CGRectMake(0, 0, 100, 50), UIEdgeInsetsMake(1, 2, 3, 4)), CGRectMake(2, 1, 94, 46));
}

}  // namespace
