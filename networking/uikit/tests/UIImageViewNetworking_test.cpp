#include <networking_uikit/UIImageViewNetworking.h>

#include <gtest/gtest.h>

#include <atomic>

#include <networking/NKImageResponseSerializer.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLError.h>

#include "ImageServer.h"

namespace {

bool waitFor(const std::function<bool()>& condition) { return spinMainRunLoopUntil(condition, 10); }

// Misses its first lookups, then answers as the real cache: the view's own lookup misses while
// the downloader's, made right after, hits (as when an insertion lands between the two).
class RacingCache : public NKAutoPurgingImageCache {
public:
    RacingCache() : NKAutoPurgingImageCache(kDefaultMemoryCapacity, kDefaultPreferredMemoryUsageAfterPurge) {}
    UIImagePtr imageforRequest(const NSURLRequestPtr& request, const std::string* extra) override {
        if (misses > 0) {
            --misses;
            return nullptr;
        }
        return NKAutoPurgingImageCache::imageforRequest(request, extra);
    }
    int misses = 0;
};

struct Calls {
    int successes = 0, failures = 0;
    UIImagePtr image;
    NSErrorPtr error;
    NKImageDownloadSuccess success() {
        return [this](const NSURLRequestPtr&, const NSHTTPURLResponsePtr&, const UIImagePtr& im) {
            ++successes;
            image = im;
        };
    }
    NKImageDownloadFailure failure() {
        return [this](const NSURLRequestPtr&, const NSHTTPURLResponsePtr&, const NSErrorPtr& e) {
            ++failures;
            error = e;
        };
    }
};

class ImageViewLoadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto manager = std::make_shared<NKHTTPSessionManager>(nullptr, NSURLSessionConfiguration::ephemeralSessionConfiguration());
        manager->setResponseSerializer(NKImageResponseSerializer::serializer());
        cache = std::make_shared<RacingCache>();
        downloader = NKImageDownloader::create(manager, NKImageDownloadPrioritizationFIFO, 4, cache);
        UIImageViewSetSharedImageDownloader(downloader);
        UIButtonSetSharedImageDownloader(downloader);
    }
    void TearDown() override {
        downloader->sessionManager()->invalidateSessionCancelingTasks(true, false);
        UIImageViewSetSharedImageDownloader(nullptr);
        UIButtonSetSharedImageDownloader(nullptr);
    }
    static NSURLRequestPtr request(const std::string& url) {
        return NSURLRequest::requestWithURL(NSURL::URLWithString(url));
    }

    nkimage::ImageServer server;
    std::shared_ptr<RacingCache> cache;
    NKImageDownloader::Ptr downloader;
    UIImagePtr placeholder = nkimage::imageOf(nkimage::solidBitmap(1, 1));
};

TEST_F(ImageViewLoadingTest, LoadsSetTheImageAndTheSameURLIsNotLoadedTwice) {
    auto view = std::make_shared<UIImageView>();
    setImageWithURL(view, NSURL::URLWithString(server.held("a")), placeholder);
    EXPECT_EQ(view->image(), placeholder);
    auto receipt = nk_activeImageDownloadReceipt(*view);
    ASSERT_TRUE(receipt);
    EXPECT_EQ(receipt->task->originalRequest()->valueForHTTPHeaderField("Accept"), "image/*");
    auto other = nkimage::imageOf(nkimage::solidBitmap(2, 2));
    setImageWithURL(view, NSURL::URLWithString(server.held("a")), other);  // already loading: ignored
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(nk_activeImageDownloadReceipt(*view), receipt);
    server.release("a");
    ASSERT_TRUE(waitFor([&] { return view->image() != placeholder; }));
    EXPECT_EQ(view->image()->CGImage()->width(), 8u);
    EXPECT_EQ(nk_activeImageDownloadReceipt(*view), nullptr);
    EXPECT_EQ(server.requests("/held/a"), 1);
}

TEST_F(ImageViewLoadingTest, ADifferentURLCancelsTheEarlierLoadWhoseCallbacksNeverRun) {
    auto view = std::make_shared<UIImageView>();
    Calls first, second;
    setImageWithURLRequest(view, request(server.held("old")), nullptr, first.success(), first.failure());
    auto oldReceipt = nk_activeImageDownloadReceipt(*view);
    setImageWithURLRequest(view, request(server.image("new")), nullptr, second.success(), second.failure());
    ASSERT_TRUE(waitFor([&] { return second.successes == 1 && oldReceipt->task->state() == NSURLSessionTaskStateCompleted; }));
    downloader->waitForCompletionsInProgress();
    EXPECT_TRUE(nkimage::drainMainQueue());  // any late callback has arrived by now
    EXPECT_EQ(first.successes + first.failures, 0);
    EXPECT_EQ(view->image(), nullptr);  // a success callback takes the image instead of the view
}

TEST_F(ImageViewLoadingTest, ACachedImageIsAppliedAtOnceWithoutReceipt) {
    auto view = std::make_shared<UIImageView>();
    auto cached = nkimage::imageOf(nkimage::solidBitmap(3, 3));
    cache->addImage(cached, server.image("c"));
    setImageWithURL(view, NSURL::URLWithString(server.image("c")), placeholder);
    EXPECT_EQ(view->image(), cached);
    EXPECT_EQ(nk_activeImageDownloadReceipt(*view), nullptr);
    EXPECT_EQ(server.requests("/img/c"), 0);
}

TEST_F(ImageViewLoadingTest, ARequestWithoutURLSetsThePlaceholderAndFailsAtOnce) {
    auto view = std::make_shared<UIImageView>();
    view->setImage(nkimage::imageOf(nkimage::solidBitmap(2, 2)));
    Calls calls;
    setImageWithURLRequest(view, std::make_shared<NSURLRequest>(nullptr), placeholder, calls.success(), calls.failure());
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_EQ(calls.failures, 1);
    EXPECT_EQ(calls.error->code(), NSURLErrorBadURL);
}

// The downloader answers from its cache (its lookup saw an image the view's lookup missed):
// no receipt is held, and the answer for the view's latest download is applied all the same.
TEST_F(ImageViewLoadingTest, AnAnswerFromTheDownloadersCacheIsApplied) {
    auto view = std::make_shared<UIImageView>();
    auto cached = nkimage::imageOf(nkimage::solidBitmap(3, 3));
    cache->addImage(cached, server.image("raced"));
    cache->misses = 1;
    setImageWithURL(view, NSURL::URLWithString(server.image("raced")), placeholder);
    EXPECT_EQ(nk_activeImageDownloadReceipt(*view), nullptr);
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_TRUE(waitFor([&] { return view->image() == cached; }));
    EXPECT_EQ(server.requests("/img/raced"), 0);
}

TEST_F(ImageViewLoadingTest, AReleasedViewIgnoresItsCompletion) {
    auto view = std::make_shared<UIImageView>();
    std::weak_ptr<UIImageView> weak = view;
    setImageWithURL(view, NSURL::URLWithString(server.held("gone")));
    auto task = nk_activeImageDownloadReceipt(*view)->task;
    view.reset();
    EXPECT_TRUE(weak.expired());
    server.release("gone");
    ASSERT_TRUE(waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
}

TEST_F(ImageViewLoadingTest, ButtonStatesShareSlotsAsTheyMap) {
    struct Case {
        UIControlState first, second;
        bool shareSlot;
    } cases[] = {
        {UIControlStateNormal, 3, true},
        {UIControlStateNormal, 8, true},
        {UIControlStateHighlighted, UIControlStateNormal, false},
        {UIControlStateDisabled, UIControlStateSelected, false},
        {UIControlStateSelected, UIControlStateHighlighted, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " then " + std::to_string(c.second));
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        std::string a = "s" + std::to_string(n) + "a", b = "s" + std::to_string(n++) + "b";
        Calls first, second;
        setImageForState(button, c.first, request(server.held(a)), nullptr, first.success(), first.failure());
        auto firstReceipt = nk_imageDownloadReceiptForState(*button, c.first);
        ASSERT_TRUE(firstReceipt);
        setImageForState(button, c.second, request(server.held(b)), nullptr, second.success(), second.failure());
        if (c.shareSlot) {
            EXPECT_EQ(nk_imageDownloadReceiptForState(*button, c.first), nk_imageDownloadReceiptForState(*button, c.second));
            EXPECT_TRUE(waitFor([&] { return firstReceipt->task->state() == NSURLSessionTaskStateCompleted; }));
        } else {
            EXPECT_EQ(nk_imageDownloadReceiptForState(*button, c.first), firstReceipt);
        }
        server.release(a);
        server.release(b);
        ASSERT_TRUE(waitFor([&] { return second.successes == 1 && (c.shareSlot || first.successes == 1); }));
        downloader->waitForCompletionsInProgress();
        EXPECT_TRUE(nkimage::drainMainQueue());
        EXPECT_EQ(first.successes + first.failures, c.shareSlot ? 0 : 1);
    }
}

TEST_F(ImageViewLoadingTest, ButtonImageAndBackgroundSlotsNeverInterfere) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    setImageForState(button, UIControlStateNormal, NSURL::URLWithString(server.image("fg")));
    setBackgroundImageForState(button, UIControlStateNormal, NSURL::URLWithString(server.image("bg")), placeholder);
    EXPECT_TRUE(nk_imageDownloadReceiptForState(*button, UIControlStateNormal));
    EXPECT_TRUE(nk_backgroundImageDownloadReceiptForState(*button, UIControlStateNormal));
    EXPECT_EQ(button->backgroundImageForState(UIControlStateNormal), placeholder);
    ASSERT_TRUE(waitFor([&] {
        auto fg = button->imageForState(UIControlStateNormal), bg = button->backgroundImageForState(UIControlStateNormal);
        return fg && bg && bg != placeholder;
    }));
    EXPECT_NE(button->imageForState(UIControlStateNormal), button->backgroundImageForState(UIControlStateNormal));
    EXPECT_EQ(server.requests("/img/fg"), 1);
    EXPECT_EQ(server.requests("/img/bg"), 1);
}

// A button does not check the URL itself: the downloader's -1000 reaches the failure callback.
TEST_F(ImageViewLoadingTest, AButtonRequestWithoutURLFailsThroughTheDownloader) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    Calls calls;
    setImageForState(button, UIControlStateNormal, std::make_shared<NSURLRequest>(nullptr), placeholder,
                     calls.success(), calls.failure());
    EXPECT_EQ(calls.failures, 0);
    ASSERT_TRUE(waitFor([&] { return calls.failures == 1; }));
    EXPECT_EQ(calls.error->code(), NSURLErrorBadURL);
}

TEST(ImageViewSharedDownloader, WithoutASettingBothShareTheDefaultInstance) {
    EXPECT_EQ(UIImageViewSharedImageDownloader(), NKImageDownloader::defaultInstance());
    EXPECT_EQ(UIButtonSharedImageDownloader(), NKImageDownloader::defaultInstance());
    auto own = NKImageDownloader::create(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    UIImageViewSetSharedImageDownloader(own);
    EXPECT_EQ(UIImageViewSharedImageDownloader(), own);
    EXPECT_EQ(UIButtonSharedImageDownloader(), NKImageDownloader::defaultInstance());
    UIImageViewSetSharedImageDownloader(nullptr);
    // Waited for: an invalidation still on its way at exit leaves the manager and its session
    // holding each other.
    auto invalid = std::make_shared<std::atomic<bool>>(false);
    own->sessionManager()->setSessionDidBecomeInvalidBlock(
        [invalid](const NSURLSessionPtr&, const NSErrorPtr&) { *invalid = true; });
    own->sessionManager()->invalidateSessionCancelingTasks(true, false);
    EXPECT_TRUE(waitFor([&] { return invalid->load(); }));
}

}  // namespace
