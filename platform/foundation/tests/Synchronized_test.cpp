#include <platform_foundation/Synchronized.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Whether another thread is refused the monitor (probed without blocking, by leaving it).
bool heldElsewhere(const void* obj) {
    return std::async(std::launch::async, [obj] { return objc_sync_exit(obj); }).get() ==
           OBJC_SYNC_NOT_OWNING_THREAD_ERROR;
}

TEST(Synchronized, SectionsOnOneObjectExcludeEachOther) {
    int object = 0;
    long counter = 0;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                SynchronizedSection sync(&object);
                if (inside.fetch_add(1) != 0) overlapped = true;
                ++counter;
                inside.fetch_sub(1);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 20000);
    EXPECT_FALSE(overlapped);
}

TEST(Synchronized, DifferentObjectsDoNotBlockEachOther) {
    int a = 0, b = 0;
    SynchronizedSection holdA(&a);
    auto other = std::async(std::launch::async, [&] { SynchronizedSection holdB(&b); });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "b's section waited for a's monitor";
}

TEST(Synchronized, RecursiveOnTheOwningThread) {
    int object = 0;
    EXPECT_EQ(objc_sync_enter(&object), OBJC_SYNC_SUCCESS);
    EXPECT_EQ(objc_sync_enter(&object), OBJC_SYNC_SUCCESS);
    EXPECT_EQ(objc_sync_exit(&object), OBJC_SYNC_SUCCESS);
    // Still held once: another thread must wait for it.
    std::atomic<bool> entered{false};
    auto other = std::async(std::launch::async, [&] {
        objc_sync_enter(&object);
        entered = true;
        objc_sync_exit(&object);
    });
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    EXPECT_FALSE(entered);
    EXPECT_EQ(objc_sync_exit(&object), OBJC_SYNC_SUCCESS);
    other.get();
    EXPECT_TRUE(entered);
}

TEST(Synchronized, ExitWithoutEnterIsAnError) {
    int object = 0;
    EXPECT_EQ(objc_sync_exit(&object), OBJC_SYNC_NOT_OWNING_THREAD_ERROR);
    objc_sync_enter(&object);
    EXPECT_TRUE(heldElsewhere(&object));
    EXPECT_EQ(objc_sync_exit(&object), OBJC_SYNC_SUCCESS);
    EXPECT_EQ(objc_sync_exit(&object), OBJC_SYNC_NOT_OWNING_THREAD_ERROR);
    EXPECT_EQ(objc_sync_enter(nullptr), OBJC_SYNC_SUCCESS);
    EXPECT_EQ(objc_sync_exit(nullptr), OBJC_SYNC_SUCCESS);
}

TEST(Synchronized, AnExceptionLeavesTheSection) {
    auto object = std::make_shared<int>(0);
    try {
        SynchronizedSection sync(object);
        throw std::runtime_error("leave");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(std::async(std::launch::async, [&] {
                    SynchronizedSection sync(object);
                    return true;
                }).get());
}

}  // namespace
