// Image cache hits against a shared_mutex-guarded map of the same keys (8 threads), and 500
// distinct 64 × 64 PNGs fetched from loopback through the image downloader (4 at a time)
// against a bare session keeping 4 in flight and decoding with UIImage; same process, same run.

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <networking/NKImageResponseSerializer.h>
#include <networking_uikit/NKAutoPurgingImageCache.h>
#include <networking_uikit/NKImageDownloader.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLSession.h>

#include "../tests/ImageServer.h"

namespace {

constexpr int kKeys = 1000;

std::vector<std::string> keys() {
    std::vector<std::string> k;
    for (int i = 0; i < kKeys; ++i) k.push_back("https://images.example.invalid/photos/" + std::to_string(i) + ".png");
    return k;
}

struct CacheFixture {
    std::vector<std::string> names = keys();
    NKAutoPurgingImageCache::Ptr cache = NKAutoPurgingImageCache::create();
    std::shared_mutex mutex;
    std::unordered_map<std::string, UIImagePtr> map;
    CacheFixture() {
        auto bitmap = nkimage::solidBitmap(16, 16);
        for (auto& name : names) {
            auto image = nkimage::imageOf(bitmap);
            cache->addImage(image, name);
            map[name] = image;
        }
    }
};

CacheFixture& cacheFixture() {
    static CacheFixture* f = new CacheFixture();
    return *f;
}

void BM_ImageCacheHits(benchmark::State& state) {
    auto& f = cacheFixture();
    std::size_t i = static_cast<std::size_t>(state.thread_index()) * 7919;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.cache->imageWithIdentifier(f.names[i++ % kKeys]));
    }
}
BENCHMARK(BM_ImageCacheHits)->Threads(8)->Iterations(1000000)->UseRealTime();

void BM_Anchor_SharedMutexMapHits(benchmark::State& state) {
    auto& f = cacheFixture();
    std::size_t i = static_cast<std::size_t>(state.thread_index()) * 7919;
    for (auto _ : state) {
        std::shared_lock lock(f.mutex);
        auto it = f.map.find(f.names[i++ % kKeys]);
        benchmark::DoNotOptimize(it == f.map.end() ? UIImagePtr() : it->second);
    }
}
BENCHMARK(BM_Anchor_SharedMutexMapHits)->Threads(8)->Iterations(1000000)->UseRealTime();

constexpr int kImages = 500;

nkimage::ImageServer& server() {
    static auto* s = new nkimage::ImageServer();
    return *s;
}

std::atomic<int> rounds{0};

std::string imageURL(int round, int i) {
    return server().url("/png64/" + std::to_string(round) + "-" + std::to_string(i));
}

// One round of `kImages` distinct images through the downloader; false when any failed.
bool downloaderRound(NKImageDownloader& downloader) {
    int r = rounds++;
    int done = 0, failed = 0;
    for (int i = 0; i < kImages; ++i)
        downloader.downloadImageForURLRequest(
            NSURLRequest::requestWithURL(NSURL::URLWithString(imageURL(r, i))),
            [&](const NSURLRequestPtr&, const NSHTTPURLResponsePtr&, const UIImagePtr& image) {
                ++done;
                benchmark::DoNotOptimize(image);
            },
            [&](const NSURLRequestPtr&, const NSHTTPURLResponsePtr&, const NSErrorPtr&) {
                ++done;
                ++failed;
            });
    spinMainRunLoopUntil([&] { return done == kImages; }, 120);
    return done == kImages && failed == 0;
}

void BM_DownloaderFetches500Images(benchmark::State& state) {
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    auto manager = std::make_shared<NKHTTPSessionManager>(nullptr, configuration);
    manager->setResponseSerializer(NKImageResponseSerializer::serializer());
    auto downloader =
        NKImageDownloader::create(manager, NKImageDownloadPrioritizationFIFO, 4, NKAutoPurgingImageCache::create());
    // An untimed round first, as for the anchor: whichever side runs first in the process
    // would otherwise pay for cold allocator pages, server threads and lazily made objects.
    if (!downloaderRound(*downloader)) state.SkipWithError("a download failed");
    for (auto _ : state) {
        if (!downloaderRound(*downloader)) state.SkipWithError("a download failed");
    }
    state.SetItemsProcessed(state.iterations() * kImages);
}
BENCHMARK(BM_DownloaderFetches500Images)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Keeps `kImages` fetches going, 4 at a time; shared with the completions, which may still be
// returning when the benchmark thread moves on.
struct SessionRound : std::enable_shared_from_this<SessionRound> {
    NSURLSessionPtr session;
    int round = 0;
    std::mutex mutex;
    std::condition_variable cv;
    int next = 0, done = 0, failed = 0;

    void startNext() {
        int i;
        {
            std::lock_guard lock(mutex);
            if (next == kImages) return;
            i = next++;
        }
        auto self = shared_from_this();
        session
            ->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(imageURL(round, i))),
                                  [self](std::optional<NSURLSessionDataTask::Data> data, NSURLResponsePtr, NSErrorPtr error) {
                                      UIImagePtr image = data && !error ? UIImage::imageWithData(*data) : nullptr;
                                      benchmark::DoNotOptimize(image);
                                      {
                                          std::lock_guard lock(self->mutex);
                                          ++self->done;
                                          if (!image) ++self->failed;
                                      }
                                      self->cv.notify_all();
                                      self->startNext();
                                  })
            ->resume();
    }
};

// One round of `kImages` distinct images through the bare session; false when any failed.
bool sessionRound(const NSURLSessionPtr& session) {
    auto r = std::make_shared<SessionRound>();
    r->session = session;
    r->round = rounds++;
    for (int k = 0; k < 4; ++k) r->startNext();
    std::unique_lock lock(r->mutex);
    r->cv.wait(lock, [&] { return r->done == kImages; });
    return r->failed == 0;
}

void BM_Anchor_SessionFetches500Images(benchmark::State& state) {
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    if (!sessionRound(session)) state.SkipWithError("a download failed");
    for (auto _ : state) {
        if (!sessionRound(session)) state.SkipWithError("a download failed");
    }
    state.SetItemsProcessed(state.iterations() * kImages);
}
BENCHMARK(BM_Anchor_SessionFetches500Images)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
