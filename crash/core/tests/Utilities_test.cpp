#include <crash_core/CRCachedData.h>
#include <crash_core/CRDemangle.h>
#include <crash_core/CRFileUtils.h>
#include <crash_core/CRID.h>
#include <crash_core/CRLogger.h>
#include <crash_core/CRMemory.h>

#include <platform_kernel/ThreadNames.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class TempDir {
public:
    TempDir() {
        char t[] = "/tmp/crash-core-XXXXXX";
        path_ = mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf " + path_).c_str()); }
    std::string operator/(const std::string& s) const { return path_ + "/" + s; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(Memory, ReadsAroundAnUnreadablePage) {
    std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    auto* m = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(m, MAP_FAILED);
    std::memset(m, 'a', page);
    mprotect(m + page, page, PROT_NONE);
    char out[64];
    EXPECT_TRUE(crmem_copySafely(m + page - 10, out, 10));
    EXPECT_FALSE(crmem_copySafely(m + page - 10, out, 11));
    EXPECT_TRUE(crmem_isMemoryReadable(m, page));
    EXPECT_FALSE(crmem_isMemoryReadable(m, page + 1));
    EXPECT_EQ(crmem_copyMaxPossible(m + page - 10, out, 40), 10u);
    EXPECT_EQ(crmem_copyMaxPossible(m + page, out, 40), 0u);
    EXPECT_EQ(crmem_maxReadableBytes(m + 100, 3 * page), page - 100);
    EXPECT_EQ(crmem_maxReadableBytes(nullptr, 10), 0u);
    munmap(m, 2 * page);
}

TEST(FileUtils, PathsAndWholeFiles) {
    EXPECT_STREQ(crfu_lastPathEntry("/a/b/c.json"), "c.json");
    EXPECT_STREQ(crfu_lastPathEntry("plain"), "plain");
    EXPECT_STREQ(crfu_lastPathEntry("/a/b/"), "");
    EXPECT_EQ(crfu_lastPathEntry(nullptr), nullptr);

    TempDir dir;
    std::string big(2500000, 'x');
    for (std::size_t i = 0; i < big.size(); i += 1000) big[i] = static_cast<char>('a' + (i / 1000) % 26);
    writeFile(dir / "big", big);
    char* data = nullptr;
    int length = 0;
    ASSERT_TRUE(crfu_readEntireFile((dir / "big").c_str(), &data, &length, 2000000));
    EXPECT_EQ(length, 2000000);
    EXPECT_EQ(std::string(data, 2000000), big.substr(500000));
    EXPECT_EQ(data[length], '\0');
    free(data);
    ASSERT_TRUE(crfu_readEntireFile((dir / "big").c_str(), &data, &length, 0));
    EXPECT_EQ(length, static_cast<int>(big.size()));
    free(data);
    EXPECT_FALSE(crfu_readEntireFile((dir / "none").c_str(), &data, &length, 0));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(length, 0);

    ASSERT_TRUE(crfu_makePath((dir / "x/y/z").c_str()));
    EXPECT_TRUE(crfu_makePath((dir / "x/y/z").c_str()));
    struct stat st {};
    ASSERT_EQ(stat((dir / "x/y").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    writeFile(dir / "x/y/z/f", "1");
    writeFile(dir / "x/g", "2");
    EXPECT_TRUE(crfu_deleteContentsOfPath((dir / "x").c_str()));
    EXPECT_EQ(stat((dir / "x").c_str(), &st), 0);
    EXPECT_NE(stat((dir / "x/y").c_str(), &st), 0);
    EXPECT_NE(stat((dir / "x/g").c_str(), &st), 0);
    EXPECT_FALSE(crfu_deleteContentsOfPath((dir / "missing").c_str()));
    EXPECT_FALSE(crfu_deleteContentsOfPath((dir / "x/.").c_str()));
    EXPECT_FALSE(crfu_deleteContentsOfPath((dir / "x/..").c_str()));
    writeFile(dir / "single", "s");
    EXPECT_TRUE(crfu_deleteContentsOfPath((dir / "single").c_str()));
    EXPECT_NE(stat((dir / "single").c_str(), &st), 0);
    writeFile(dir / "r", "r");
    EXPECT_TRUE(crfu_removeFile((dir / "r").c_str(), true));
    EXPECT_FALSE(crfu_removeFile((dir / "r").c_str(), false));
}

TEST(FileUtils, BufferedWriterAndReader) {
    TempDir dir;
    std::string path = dir / "w";
    char buffer[16];
    CRBufferedWriter w;
    ASSERT_TRUE(crfu_openBufferedWriter(&w, path.c_str(), buffer, sizeof buffer));
    CRBufferedWriter again;
    EXPECT_FALSE(crfu_openBufferedWriter(&again, path.c_str(), buffer, sizeof buffer));  // exists
    std::string expected;
    for (const char* piece : {"short\n", "0123456789", "a piece longer than the buffer\n", "x", "end\n"}) {
        ASSERT_TRUE(crfu_writeBufferedWriter(&w, piece, static_cast<int>(std::strlen(piece))));
        expected += piece;
    }
    crfu_closeBufferedWriter(&w);
    EXPECT_EQ(readFile(path), expected);

    char readBuffer[8];
    CRBufferedReader r;
    ASSERT_TRUE(crfu_openBufferedReader(&r, path.c_str(), readBuffer, sizeof readBuffer));
    std::vector<std::string> lines;
    for (;;) {
        char line[64];
        int length = sizeof line;
        bool found = crfu_readBufferedReaderUntilChar(&r, '\n', line, &length);
        if (length == 0) break;
        lines.emplace_back(line, static_cast<size_t>(length));
        if (!found) break;
    }
    crfu_closeBufferedReader(&r);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "short\n");
    EXPECT_EQ(lines[1], "0123456789a piece longer than the buffer\n");
    EXPECT_EQ(lines[2], "xend\n");

    ASSERT_TRUE(crfu_openBufferedReader(&r, path.c_str(), readBuffer, sizeof readBuffer));
    char small[4];
    int length = sizeof small;
    EXPECT_FALSE(crfu_readBufferedReaderUntilChar(&r, '\n', small, &length));
    EXPECT_EQ(length, 4);
    EXPECT_EQ(std::string(small, 4), "shor");
    crfu_closeBufferedReader(&r);
    EXPECT_FALSE(crfu_openBufferedReader(&r, (dir / "none").c_str(), readBuffer, sizeof readBuffer));
}

TEST(Logger, LinesGoToTheFileAndStandardOutput) {
    TempDir dir;
    std::string path = dir / "ConsoleLog.txt";
    writeFile(path, "old\n");
    ASSERT_TRUE(crlog_setLogFilename(path.c_str(), false));
    crlog_log("line %d\n", 1);
    EXPECT_EQ(readFile(path), "old\nline 1\n");
    ASSERT_TRUE(crlog_clearLogFile());
    crlog_log(nullptr);
    std::string longLine(3000, 'q');
    crlog_log("%s", longLine.c_str());
    EXPECT_EQ(readFile(path), "(null)" + std::string(1023, 'q'));
    EXPECT_FALSE(crlog_setLogFilename((dir / "no/such/dir/log").c_str(), true));
    crlog_log("still here");
    EXPECT_EQ(readFile(path).substr(readFile(path).size() - 10), "still here");
}

TEST(EventIds, FormatAndUniqueness) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        char id[37];
        std::memset(id, '#', sizeof id);
        crid_generate(id);
        ASSERT_EQ(std::strlen(id), 36u);
        for (int k = 0; k < 36; ++k) {
            if (k == 8 || k == 13 || k == 18 || k == 23)
                EXPECT_EQ(id[k], '-');
            else
                EXPECT_TRUE(std::strchr("0123456789ABCDEF", id[k])) << id;
        }
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(SwiftDemangle, CorpusSymbolAndPlainName) {
    char* d = crdm_demangleSwift("_TF1M3fooFSiSi");
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d, "foo(Int) -> Int");
    free(d);
    EXPECT_EQ(crdm_demangleSwift("main"), nullptr);
    EXPECT_EQ(crdm_demangleSwift(""), nullptr);
    EXPECT_EQ(crdm_demangleSwift(nullptr), nullptr);
}

// The refresh thread's pauses go through the test's clock: the test releases each one.
struct Pauses {
    std::mutex m;
    std::condition_variable cv;
    std::vector<double> requested;
    int released = 0;
};
Pauses& gPauses = *new Pauses;  // the refresh thread outlives the test

void recordPause(double seconds) {
    std::unique_lock lock(gPauses.m);
    gPauses.requested.push_back(seconds);
    int index = static_cast<int>(gPauses.requested.size());
    gPauses.cv.notify_all();
    gPauses.cv.wait(lock, [&] { return gPauses.released >= index; });
}

TEST(CachedData, RefreshesEverySecondFourTimesThenAtTheInterval) {
    crccd_setSleepFunctionForTesting(recordPause);
    crccd_setSearchQueueNames(false);
    std::atomic<pid_t> tid{0};
    std::atomic<bool> stop{false};
    std::thread named([&] {
        tid = static_cast<pid_t>(syscall(SYS_gettid));
        while (!stop) std::this_thread::yield();
    });
    while (tid == 0) std::this_thread::yield();
    kernel::setThreadName(tid, "com.example.crash.named-thread-long");
    crccd_init(60);
    std::vector<double> pauses;
    for (int step = 0; step < 7; ++step) {
        std::unique_lock lock(gPauses.m);
        gPauses.cv.wait(lock, [&] { return static_cast<int>(gPauses.requested.size()) > step; });
        gPauses.released = step + 1;
        gPauses.cv.notify_all();
    }
    {
        std::lock_guard lock(gPauses.m);
        pauses.assign(gPauses.requested.begin() + 1, gPauses.requested.begin() + 7);
    }
    EXPECT_EQ(pauses, (std::vector<double>{1, 1, 1, 1, 60, 60}));
    EXPECT_GE(crccd_refreshCountForTesting(), 6);
    crccd_freeze();
    const char* name = crccd_getThreadName(static_cast<CRThread>(tid.load()));
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "com.example.crash.named-thread-long");
    EXPECT_EQ(crccd_getQueueName(static_cast<CRThread>(tid.load())), nullptr);
    EXPECT_EQ(crccd_getThreadName(0), nullptr);
    crccd_unfreeze();
    crccd_unfreeze();  // never below zero
    stop = true;
    named.join();
    // The refresh thread waits in the test's pause for good.
}

}  // namespace
