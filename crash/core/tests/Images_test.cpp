#include <crash_core/CRDynamicLinker.h>
#include <crash_core/CRMachineContext.h>

#include <platform_kernel/ImageTable.h>

#include "CrashTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace crashtest;

namespace {

bool haveTool(const char* tool) {
    return !commandOutput(std::string("command -v ") + tool).empty();
}

std::string hex(const uint8_t* bytes, int n) {
    std::string s;
    char b[3];
    for (int i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", bytes[i]);
        s += b;
    }
    return s;
}

class ImagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        crmc_prepare();
        lib_ = fixture();
        ASSERT_NE(lib_, nullptr);
        index_ = crdl_imageNamed("libcrashfixture.so", false);
        ASSERT_NE(index_, UINT32_MAX);
        ASSERT_TRUE(crdl_getBinaryImage(static_cast<int>(index_), &image_));
    }
    void* lib_ = nullptr;
    uint32_t index_ = 0;
    CRBinaryImage image_{};
};

TEST_F(ImagesTest, BuildIdsEqualTheNotes) {
    if (!haveTool("eu-readelf")) GTEST_SKIP() << "eu-readelf (elfutils) is not installed";
    int checked = 0;
    for (uint32_t i = 0; i < crdl_imageCount(); ++i) {
        CRBinaryImage image;
        ASSERT_TRUE(crdl_getBinaryImage(static_cast<int>(i), &image));
        if (image.name[0] != '/') continue;  // the vDSO has no file
        SCOPED_TRACE(image.name);
        std::string notes = commandOutput(std::string("eu-readelf -n ") + image.name + " 2>/dev/null");
        auto at = notes.find("Build ID: ");
        if (at == std::string::npos) {
            EXPECT_EQ(image.uuid, nullptr);
            continue;
        }
        std::string id = notes.substr(at + 10, notes.find('\n', at) - at - 10);
        ASSERT_NE(image.uuid, nullptr);
        EXPECT_EQ(hex(image.uuid, 16), id.substr(0, 32));
        const uint8_t* byName = crdl_imageUUID(image.name, true);
        EXPECT_EQ(byName, image.uuid);
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

TEST_F(ImagesTest, RangesEqualTheMaps) {
    // The loader's mappings of the file are contiguous from the image's header on (the
    // image table's own read-only mapping of the file lies elsewhere).
    std::ifstream maps("/proc/self/maps");
    std::map<uint64_t, uint64_t> ranges;
    for (std::string line; std::getline(maps, line);) {
        if (line.find("/libcrashfixture.so") == std::string::npos) continue;
        ranges[std::stoull(line.substr(0, line.find('-')), nullptr, 16)] =
            std::stoull(line.substr(line.find('-') + 1), nullptr, 16);
    }
    ASSERT_EQ(ranges.count(image_.address), 1u);
    uint64_t high = image_.address;
    while (ranges.count(high)) high = ranges[high];
    // The maps round the last segment up to whole pages.
    EXPECT_LE(image_.address + image_.size, high);
    EXPECT_GT(image_.address + image_.size + 4096, high);
    EXPECT_EQ(image_.vmAddress, 0u);
    EXPECT_EQ(image_.cpuType, 16777223);
    EXPECT_EQ(image_.cpuSubType, 3);
    EXPECT_NE(std::strstr(image_.name, "/libcrashfixture.so"), nullptr);
}

TEST_F(ImagesTest, SymbolsEqualReadelf) {
    auto symbols = readelfSymbols(image_.name);
    struct Case {
        const char* name;
        bool staticOnly;
    } cases[] = {{"fixture_chain3", false}, {"fixture_spin", false}, {"_ZN7fixture7mangledEv", false},
                 {"fixture_hidden_static", true}, {"__crash_info", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto it = symbols.find(c.name);
        ASSERT_NE(it, symbols.end());
        uintptr_t start = image_.address + it->second.first;
        uint64_t size = std::max<uint64_t>(it->second.second, 1);
        for (uintptr_t a : {start, start + size / 2, start + size - 1}) {
            Dl_info info;
            ASSERT_TRUE(crdl_dladdr(a, &info));
            ASSERT_NE(info.dli_sname, nullptr);
            EXPECT_STREQ(info.dli_sname, c.name);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(info.dli_saddr), start);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(info.dli_fbase), image_.address);
        }
    }
    auto staticFn = fixtureFunction<FixtureStaticFunction>("fixture_staticFunction");
    Dl_info info;
    ASSERT_TRUE(crdl_dladdr(reinterpret_cast<uintptr_t>(staticFn()), &info));
    EXPECT_STREQ(info.dli_sname, "fixture_hidden_static");
}

TEST_F(ImagesTest, AddressBeforeTheFirstSymbolGivesTheImageOnly) {
    Dl_info info;
    ASSERT_TRUE(crdl_dladdr(image_.address + 4, &info));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.dli_fbase), image_.address);
    EXPECT_EQ(info.dli_sname, nullptr);
    EXPECT_FALSE(crdl_dladdr(0x1000, &info));
    EXPECT_EQ(info.dli_fname, nullptr);
}

TEST_F(ImagesTest, LookupByName) {
    EXPECT_EQ(crdl_imageNamed(image_.name, true), index_);
    EXPECT_EQ(crdl_imageNamed("libcrashfixture.so", true), UINT32_MAX);
    EXPECT_EQ(crdl_imageNamed(nullptr, false), UINT32_MAX);
    EXPECT_EQ(crdl_imageNamed("no-such-image", false), UINT32_MAX);
    EXPECT_EQ(crdl_imageUUID("no-such-image", false), nullptr);
    CRBinaryImage main;
    ASSERT_TRUE(crdl_getBinaryImage(0, &main));
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    EXPECT_STREQ(main.name, exe);
    EXPECT_FALSE(crdl_getBinaryImage(static_cast<int>(crdl_imageCount()), &main));
    EXPECT_FALSE(crdl_getBinaryImage(-1, &main));
    CRBinaryImage byHeader;
    ASSERT_TRUE(crdl_getBinaryImageForHeader(reinterpret_cast<const void*>(image_.address), "x", &byHeader));
    EXPECT_STREQ(byHeader.name, "x");
    EXPECT_EQ(byHeader.size, image_.size);
    EXPECT_FALSE(crdl_getBinaryImageForHeader(reinterpret_cast<const void*>(image_.address + 1), "x", &byHeader));
}

TEST_F(ImagesTest, VersionsFromTheFileName) {
    int found = 0;
    for (uint32_t i = 0; i < crdl_imageCount(); ++i) {
        CRBinaryImage image;
        ASSERT_TRUE(crdl_getBinaryImage(static_cast<int>(i), &image));
        std::string name = image.name;
        if (name.find("libstdc++.so.6") != std::string::npos) {
            // A link name such as libstdc++.so.6 names the major version only.
            EXPECT_EQ(image.majorVersion, 6u);
            ++found;
        }
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(image_.majorVersion, 0u);
}

TEST_F(ImagesTest, CrashInfoMessages) {
    auto set = fixtureFunction<FixtureSetCrashInfo>("fixture_setCrashInfo");
    static const char message[] = "assertion failed";
    static const char second[] = "second";
    // 1025 readable bytes without a NUL, then an unreadable page.
    std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    auto* area = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(area, MAP_FAILED);
    mprotect(area + page, page, PROT_NONE);
    char* unterminated = area + page - 1025;
    std::memset(area, 'x', page);
    char* longButTerminated = area;
    area[1000] = '\0';
    struct Case {
        const char* what;
        uint32_t version;
        const char* message;
        const char* message2;
        const char* expected;
        const char* expected2;
    } cases[] = {
        {"version 3", 3, message, second, nullptr, nullptr},
        {"version 4", 4, message, nullptr, message, nullptr},
        {"version 5, both", 5, message, second, message, second},
        {"no NUL in 1025 readable bytes", 5, unterminated, second, nullptr, second},
        {"NUL within the readable bytes", 4, longButTerminated, nullptr, longButTerminated, nullptr},
        {"unreadable pointer", 4, reinterpret_cast<const char*>(0x10), message, nullptr, message},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        set(c.version, reinterpret_cast<uint64_t>(c.message), reinterpret_cast<uint64_t>(c.message2));
        CRBinaryImage image;
        ASSERT_TRUE(crdl_getBinaryImage(static_cast<int>(index_), &image));
        EXPECT_EQ(image.crashInfoMessage, c.expected);
        EXPECT_EQ(image.crashInfoMessage2, c.expected2);
    }
    set(4, 0, 0);
    munmap(area, 2 * page);
    // System libraries define no record.
    CRBinaryImage libc;
    ASSERT_TRUE(crdl_getBinaryImage(static_cast<int>(crdl_imageNamed("libc.so", false)), &libc));
    EXPECT_EQ(libc.crashInfoMessage, nullptr);
}

void countAdded(const kernel::Image& image, void* context) {
    auto* seen = static_cast<std::map<std::string, int>*>(context);
    ++(*seen)[image.path];
}

TEST(ImageCallbacks, PresentImagesNowAndALoadedOneOnce) {
    crmc_prepare();
    static std::map<std::string, int> seen;
    kernel::addImageCallback(countAdded, &seen);
    EXPECT_GE(seen.size(), 3u);
    for (auto& [path, n] : seen) EXPECT_EQ(n, 1) << path;
    ASSERT_EQ(seen.count(CRASH_FIXTURE_NOFP_LIB), 0u);
    void* lib = dlopen(CRASH_FIXTURE_NOFP_LIB, RTLD_NOW);
    ASSERT_NE(lib, nullptr);
    void* again = dlopen(CRASH_FIXTURE_NOFP_LIB, RTLD_NOW);
    EXPECT_EQ(seen[CRASH_FIXTURE_NOFP_LIB], 1);
    EXPECT_NE(crdl_imageNamed(CRASH_FIXTURE_NOFP_LIB, true), UINT32_MAX);
    dlclose(again);
    dlclose(lib);
    EXPECT_EQ(crdl_imageNamed(CRASH_FIXTURE_NOFP_LIB, true), UINT32_MAX);
}

TEST(Demangle, CppNames) {
    char* d = crdm_demangleCPP("_ZN7fixture7mangledEv");
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d, "fixture::mangled()");
    free(d);
    EXPECT_EQ(crdm_demangleCPP("main"), nullptr);
    EXPECT_EQ(crdm_demangleCPP(nullptr), nullptr);
}

}  // namespace
