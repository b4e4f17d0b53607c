#include <platform_kernel/SafeMemory.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// Two pages: the first readable and filled, the second PROT_NONE; a third page that
// was mapped and then unmapped.
class SafeMemoryTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        kernel::safeMemoryUsePipeForTesting(GetParam());
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* m = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(m, MAP_FAILED);
        base_ = static_cast<unsigned char*>(m);
        for (std::size_t i = 0; i < page_; ++i) base_[i] = static_cast<unsigned char>(i * 7);
        ASSERT_EQ(mprotect(base_ + page_, page_, PROT_NONE), 0);
        void* gone = mmap(nullptr, page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(gone, MAP_FAILED);
        std::memset(gone, 1, page_);
        ASSERT_EQ(munmap(gone, page_), 0);
        freed_ = static_cast<unsigned char*>(gone);
    }
    void TearDown() override {
        munmap(base_, 2 * page_);
        kernel::safeMemoryUsePipeForTesting(false);
    }
    std::size_t page_ = 0;
    unsigned char* base_ = nullptr;
    unsigned char* freed_ = nullptr;
};

TEST_P(SafeMemoryTest, ReadsTable) {
    struct Case {
        const char* what;
        const void* source;
        std::size_t count;
        std::size_t readable;
    } cases[] = {
        {"mapped", base_ + 16, 100, 100},
        {"whole readable page", base_, page_, page_},
        {"null", nullptr, 8, 0},
        {"never mapped", reinterpret_cast<const void*>(uintptr_t(0x10)), 8, 0},
        {"kernel half", reinterpret_cast<const void*>(uintptr_t(0xffffffff81000000ull)), 8, 0},
        {"top of the user half", reinterpret_cast<const void*>((uintptr_t(1) << 47) - 8), 64, 0},
        {"into a PROT_NONE page", base_ + page_ - 40, 200, 40},
        {"starting in a PROT_NONE page", base_ + page_, 16, 0},
        {"unmapped by munmap", freed_, 64, 0},
    };
    std::vector<unsigned char> out(2 * page_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(out.data(), 0xEE, out.size());
        EXPECT_EQ(kernel::safeReadPrefix(c.source, out.data(), c.count), c.readable);
        EXPECT_EQ(kernel::safeRead(c.source, out.data(), c.count), c.readable == c.count);
        if (c.readable) {
            EXPECT_EQ(std::memcmp(out.data(), c.source, c.readable), 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, SafeMemoryTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pipe" : "VmRead"; });

TEST(SafeMemory, ManyReadersAtOnceThroughThePipe) {
    kernel::safeMemoryUsePipeForTesting(true);
    std::vector<unsigned char> source(100000);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<unsigned char>(i);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            std::vector<unsigned char> out(source.size());
            for (int i = 0; i < 20; ++i)
                if (!kernel::safeRead(source.data(), out.data(), out.size()) || out != source) ++failures;
        });
    for (auto& t : threads) t.join();
    kernel::safeMemoryUsePipeForTesting(false);
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
