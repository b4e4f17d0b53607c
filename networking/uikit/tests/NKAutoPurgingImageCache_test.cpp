#include <networking_uikit/NKAutoPurgingImageCache.h>

#include <gtest/gtest.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_uikit/UIApplication.h>

#include "ImageTestSupport.h"

namespace {

using nkimage::imageOf;
using nkimage::solidBitmap;

TEST(NKCachedImage, BytesFollowPixelsAtScaleTruncatedBeforeTimesFour) {
    struct Case {
        CGSize points;
        double scale;
        uint64_t bytes;
    } cases[] = {
        {{100, 50}, 2, 80000},
        {{3, 3}, 1.5, 80},  // 4.5 × 4.5 = 20.25 pixels
        {{0, 10}, 3, 0},
        {{1, 1}, 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(NKCachedImage::estimatedBytes(c.points, c.scale), c.bytes);
    }
    auto image = imageOf(solidBitmap(200, 100), 2);  // 100 × 50 points
    NKCachedImage entry(image, "a");
    EXPECT_EQ(entry.totalBytes(), 80000u);
    EXPECT_EQ(entry.accessImage(), image);
    EXPECT_EQ(entry.description().rfind("Idenfitier: a  lastAccessDate: ", 0), 0u);
}

class ImageCacheTest : public ::testing::Test {
protected:
    // 10 × 10 pixels: 400 bytes an image.
    CGImageRef bitmap = solidBitmap(10, 10);
    UIImagePtr image() const { return imageOf(bitmap); }
    ManualClock::Scope clock;  // access dates only move when a test advances time
};

TEST_F(ImageCacheTest, ReplacementKeepsUsageEqualToTheEntriesPresent) {
    auto cache = NKAutoPurgingImageCache::create();
    cache->addImage(image(), "a");
    cache->addImage(image(), "b");
    auto big = imageOf(solidBitmap(20, 10));
    cache->addImage(big, "a");
    EXPECT_EQ(cache->memoryUsage(), 800u + 400u);
    EXPECT_EQ(cache->imageWithIdentifier("a"), big);
    EXPECT_TRUE(cache->removeImageWithIdentifier("a"));
    EXPECT_FALSE(cache->removeImageWithIdentifier("a"));
    EXPECT_EQ(cache->memoryUsage(), 400u);
    EXPECT_TRUE(cache->removeAllImages());
    EXPECT_FALSE(cache->removeAllImages());
    EXPECT_EQ(cache->memoryUsage(), 0u);
}

TEST_F(ImageCacheTest, RequestKeysAppendTheExtraIdentifierDirectly) {
    auto cache = NKAutoPurgingImageCache::create();
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString("http://h/i.png"));
    std::string extra = "@thumb";
    cache->addImage(image(), request, &extra);
    EXPECT_NE(cache->imageWithIdentifier("http://h/i.png@thumb"), nullptr);
    EXPECT_EQ(cache->imageforRequest(request, nullptr), nullptr);
    EXPECT_NE(cache->imageforRequest(request, &extra), nullptr);
    EXPECT_TRUE(cache->shouldCacheImage(image(), request, nullptr));
    EXPECT_TRUE(cache->removeImageforRequest(request, &extra));
    EXPECT_EQ(cache->memoryUsage(), 0u);
}

// Capacity 2,000 bytes (5 images), preferred 1,000.
TEST_F(ImageCacheTest, PurgeDropsLeastRecentlyAccessedFirstAndAReadProtects) {
    struct Case {
        const char* name;
        bool advanceBetween;  // distinct access dates, or all equal (sequence decides)
    } cases[] = {{"distinct dates", true}, {"same date", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto cache = NKAutoPurgingImageCache::create(2000, 1000);
        for (const char* id : {"1", "2", "3", "4", "5"}) {
            cache->addImage(image(), id);
            if (c.advanceBetween) ManualClock::advance(1);
        }
        EXPECT_EQ(cache->memoryUsage(), 2000u);  // equal to the capacity: no purge
        EXPECT_EQ(cache->count(), 5u);
        ASSERT_NE(cache->imageWithIdentifier("1"), nullptr);  // the oldest, read now
        if (c.advanceBetween) ManualClock::advance(1);
        cache->addImage(image(), "6");  // 2,400 > 2,000: purge at least 1,400 → four entries
        EXPECT_EQ(cache->memoryUsage(), 800u);
        EXPECT_NE(cache->imageWithIdentifier("1"), nullptr);
        EXPECT_NE(cache->imageWithIdentifier("6"), nullptr);
        for (const char* gone : {"2", "3", "4", "5"}) EXPECT_EQ(cache->imageWithIdentifier(gone), nullptr) << gone;
    }
}

TEST_F(ImageCacheTest, AnImageLargerThanTheCapacityEmptiesTheCache) {
    auto cache = NKAutoPurgingImageCache::create(2000, 1000);
    cache->addImage(image(), "small");
    cache->addImage(imageOf(solidBitmap(30, 30)), "huge");  // 3,600 bytes
    EXPECT_EQ(cache->memoryUsage(), 0u);
    EXPECT_EQ(cache->count(), 0u);
}

// A preferred level above the capacity purges down to the capacity, not everything.
TEST_F(ImageCacheTest, PreferredAboveCapacityPurgesToTheCapacity) {
    auto cache = NKAutoPurgingImageCache::create(2000, 5000);
    for (const char* id : {"1", "2", "3", "4", "5", "6"}) cache->addImage(image(), id);
    EXPECT_EQ(cache->memoryUsage(), 2000u);
    EXPECT_EQ(cache->count(), 5u);
    EXPECT_EQ(cache->imageWithIdentifier("1"), nullptr);
    EXPECT_NE(cache->imageWithIdentifier("6"), nullptr);
}

// The default budget, with images that share one 1 MiB bitmap.
TEST_F(ImageCacheTest, DefaultBudgetPurgesDownToSixtyMebibytes) {
    auto cache = NKAutoPurgingImageCache::create();
    auto mebibyte = solidBitmap(512, 512);
    for (int i = 0; i < 100; ++i) cache->addImage(imageOf(mebibyte), std::to_string(i));
    EXPECT_EQ(cache->memoryUsage(), 100u << 20);
    ASSERT_NE(cache->imageWithIdentifier("0"), nullptr);
    cache->addImage(imageOf(mebibyte), "100");  // 101 MiB: at least 41 MiB go
    EXPECT_EQ(cache->memoryUsage(), 60u << 20);
    EXPECT_NE(cache->imageWithIdentifier("0"), nullptr);
    EXPECT_EQ(cache->imageWithIdentifier("1"), nullptr);
    EXPECT_EQ(cache->imageWithIdentifier("41"), nullptr);
    EXPECT_NE(cache->imageWithIdentifier("42"), nullptr);
}

TEST_F(ImageCacheTest, MemoryWarningFromTheApplicationEmptiesTheCache) {
    auto cache = NKAutoPurgingImageCache::create();
    cache->addImage(image(), "a");
    UIApplication::sharedApplication()->simulateMemoryWarning();
    EXPECT_EQ(cache->memoryUsage(), 0u);
    EXPECT_EQ(cache->imageWithIdentifier("a"), nullptr);
}

}  // namespace
