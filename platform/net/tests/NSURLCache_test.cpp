#include <gtest/gtest.h>

#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLCache.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        std::string p = (fs::temp_directory_path() / "urlcache-XXXXXX").string();
        path = mkdtemp(p.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

NSURLRequestPtr request(const std::string& u) { return NSURLRequest::requestWithURL(NSURL::URLWithString(u)); }

NSCachedURLResponsePtr entry(const std::string& u, size_t size, NSURLCacheStoragePolicy policy = NSURLCacheStorageAllowed) {
    auto response = NSHTTPURLResponse::create(NSURL::URLWithString(u), 200, "HTTP/1.1",
                                              {{"Content-Type", "text/plain; charset=utf-8"}, {"Cache-Control", "max-age=5"}});
    return std::make_shared<NSCachedURLResponse>(response, std::vector<uint8_t>(size, 'a'), Value::Dictionary{}, policy);
}

TEST(NSURLCache, StoresAndFindsByURLWithoutFragment) {
    auto cache = NSURLCache::create(100000, 0, std::nullopt);
    cache->storeCachedResponse(entry("http://h/a", 10), *request("http://h/a"));
    auto found = cache->cachedResponseForRequest(*request("http://h/a#part"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->data().size(), 10u);
    EXPECT_EQ(cache->cachedResponseForRequest(*request("http://h/b")), nullptr);
    cache->removeCachedResponseForRequest(*request("http://h/a"));
    EXPECT_EQ(cache->cachedResponseForRequest(*request("http://h/a")), nullptr);
}

TEST(NSURLCache, KeepsWithinCapacityAndSkipsOversizedEntries) {
    auto cache = NSURLCache::create(20000, 0, std::nullopt);
    cache->storeCachedResponse(entry("http://h/big", 1500), *request("http://h/big"));  // over a twentieth
    EXPECT_EQ(cache->cachedResponseForRequest(*request("http://h/big")), nullptr);
    for (int i = 0; i < 40; ++i) {
        std::string u = "http://h/" + std::to_string(i);
        cache->storeCachedResponse(entry(u, 400), *request(u));
    }
    EXPECT_LE(cache->currentMemoryUsage(), 20000u);
    EXPECT_NE(cache->cachedResponseForRequest(*request("http://h/39")), nullptr);
    EXPECT_EQ(cache->cachedResponseForRequest(*request("http://h/0")), nullptr);  // the oldest went first
    cache->setMemoryCapacity(0);
    EXPECT_EQ(cache->currentMemoryUsage(), 0u);
}

TEST(NSURLCache, DiskEntriesOutliveTheCacheObjectUnlessMemoryOnly) {
    TempDir dir;
    {
        auto cache = NSURLCache::create(0, 1 << 20, dir.path);
        cache->storeCachedResponse(entry("http://h/kept", 100), *request("http://h/kept"));
        cache->storeCachedResponse(entry("http://h/mem", 100, NSURLCacheStorageAllowedInMemoryOnly), *request("http://h/mem"));
        cache->storeCachedResponse(entry("http://h/none", 100, NSURLCacheStorageNotAllowed), *request("http://h/none"));
        EXPECT_GT(cache->currentDiskUsage(), 100u);
    }
    auto reopened = NSURLCache::create(0, 1 << 20, dir.path);
    auto kept = reopened->cachedResponseForRequest(*request("http://h/kept"));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->data(), std::vector<uint8_t>(100, 'a'));
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(kept->response());
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->statusCode(), 200);
    EXPECT_EQ(http->valueForHTTPHeaderField("cache-control"), "max-age=5");
    EXPECT_EQ(http->textEncodingName(), "utf-8");
    EXPECT_EQ(reopened->cachedResponseForRequest(*request("http://h/mem")), nullptr);
    EXPECT_EQ(reopened->cachedResponseForRequest(*request("http://h/none")), nullptr);
    reopened->removeAllCachedResponses();
    EXPECT_EQ(reopened->currentDiskUsage(), 0u);
    EXPECT_EQ(NSURLCache::create(0, 1 << 20, dir.path)->cachedResponseForRequest(*request("http://h/kept")), nullptr);
}

// Disk files are written behind the caller: whatever order stores and removals come in, the
// cache answers at once what it was last told, and a reopened cache finds the same.
TEST(NSURLCache, DiskWritesBehindTheCallerKeepTheLastWord) {
    struct Case {
        const char* what;
        int stores;       // of the same URL, body sizes 1..stores
        bool removeAfter;  // then removed
        bool removeAll;    // then everything removed
    } cases[] = {
        {"stored once", 1, false, false},
        {"stored again and again before a write: the newest is kept", 60, false, false},
        {"removed right after being stored: never comes back", 1, true, false},
        {"stored often, then removed", 60, true, false},
        {"everything removed right after", 60, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string u = "http://h/polled";
        {
            auto cache = NSURLCache::create(0, 1 << 20, dir.path);  // nothing in memory: disk only
            for (int i = 1; i <= c.stores; ++i) {
                cache->storeCachedResponse(entry(u, static_cast<size_t>(i)), *request(u));
                auto found = cache->cachedResponseForRequest(*request(u));
                ASSERT_NE(found, nullptr);
                EXPECT_EQ(found->data().size(), static_cast<size_t>(i));
            }
            if (c.removeAfter) cache->removeCachedResponseForRequest(*request(u));
            if (c.removeAll) cache->removeAllCachedResponses();
        }
        const bool gone = c.removeAfter || c.removeAll;
        auto found = NSURLCache::create(0, 1 << 20, dir.path)->cachedResponseForRequest(*request(u));
        if (gone) {
            EXPECT_EQ(found, nullptr);
            std::size_t files = 0;
            for (auto& item : fs::directory_iterator(dir.path)) files += item.is_regular_file();
            EXPECT_EQ(files, 0u);
        } else {
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->data(), std::vector<uint8_t>(static_cast<size_t>(c.stores), 'a'));
        }
    }
}

}  // namespace
