#include <crash_core/CRObjC.h>

#include <platform_net/NSURL.h>
#include <platform_runtime/ObjCClassRecord.h>
#include <platform_runtime/ObjCDeclare.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

class CrashProbeItem : public NSObject {
    NS_CLASS(CrashProbeItem, NSObject)
    NS_PROPERTY(bool, enabled, setEnabled, "N")
    NS_PROPERTY(int, count, setCount, "N")
    NS_PROPERTY(long long, big, setBig, "N")
    NS_PROPERTY(double, ratio, setRatio, "N")
    NS_PROPERTY(std::string, title, setTitle, "&,N")
};

class CrashProbeChild : public CrashProbeItem {
    NS_CLASS(CrashProbeChild, CrashProbeItem)
    NS_PROPERTY(float, scale, setScale, "N")
};

TEST(Introspection, KindsOfPointers) {
    auto item = std::make_shared<CrashProbeChild>();
    auto url = NSURL::URLWithString("https://example.org/a?b=1");
    const void* cls = &CrashProbeChild::classObject().record();
    // A page that was mapped and then unmapped stands for freed memory.
    std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* gone = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    std::memcpy(gone, item.get(), sizeof(CrashProbeChild));
    munmap(gone, page);
    uint64_t garbage[8] = {0x4141414141414141, 0x10, 0xdeadbeef, 0, 0, 0, 0, 0};
    // An object whose class word points at a record with a broken name.
    ObjCClassRecord fake = CrashProbeChild::classObject().record();
    fake.name = "9bad";
    std::vector<char> forged(sizeof(CrashProbeChild));
    std::memcpy(forged.data(), item.get(), forged.size());
    const void* fakeRecord = &fake;
    std::memcpy(forged.data() + NSObject::isaOffset(), &fakeRecord, sizeof fakeRecord);
    struct Case {
        const char* what;
        const void* pointer;
        CRObjCType type;
        bool validObject;
        CRObjCClassType classType;
        const char* className;
    } cases[] = {
        {"class record", cls, CRObjCTypeClass, false, CRObjCClassTypeUnknown, nullptr},
        {"instance", item.get(), CRObjCTypeObject, true, CRObjCClassTypeUnknown, "CrashProbeChild"},
        {"URL", url.get(), CRObjCTypeObject, true, CRObjCClassTypeURL, "NSURL"},
        {"NULL", nullptr, CRObjCTypeUnknown, false, CRObjCClassTypeUnknown, nullptr},
        {"freed object", gone, CRObjCTypeUnknown, false, CRObjCClassTypeUnknown, nullptr},
        {"garbage words", garbage, CRObjCTypeUnknown, false, CRObjCClassTypeUnknown, nullptr},
        {"unmapped address", reinterpret_cast<const void*>(0x10), CRObjCTypeUnknown, false, CRObjCClassTypeUnknown,
         nullptr},
        {"class with a broken name", forged.data(), CRObjCTypeUnknown, false, CRObjCClassTypeUnknown, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(crobjc_objectType(c.pointer), c.type);
        EXPECT_EQ(crobjc_isValidObject(c.pointer), c.validObject);
        EXPECT_FALSE(crobjc_isTaggedPointer(c.pointer));
        if (c.className) {
            EXPECT_STREQ(crobjc_objectClassName(c.pointer), c.className);
            EXPECT_EQ(crobjc_objectClassType(c.pointer), c.classType);
        }
    }
    EXPECT_STREQ(crobjc_className(cls), "CrashProbeChild");
    EXPECT_EQ(crobjc_isaPointer(item.get()), cls);
}

TEST(Introspection, IvarsOfEachTypeCode) {
    auto item = std::make_shared<CrashProbeItem>();
    item->setEnabled(true);
    item->setCount(-7);
    item->setBig(1LL << 40);
    item->setRatio(2.5);
    item->setTitle("hello");
    const void* cls = crobjc_isaPointer(item.get());
    ASSERT_EQ(crobjc_ivarCount(cls), 5);
    CRObjCIvar ivars[8];
    ASSERT_EQ(crobjc_ivarList(cls, ivars, 8), 5);
    struct Case {
        const char* name;
        const char* type;
    } expected[] = {{"_enabled", "B"}, {"_count", "i"}, {"_big", "q"}, {"_ratio", "d"}, {"_title", "@\"NSString\""}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(ivars[i].name, expected[i].name);
        EXPECT_STREQ(ivars[i].type, expected[i].type);
        EXPECT_EQ(ivars[i].index, i);
        CRObjCIvar named;
        ASSERT_TRUE(crobjc_ivarNamed(cls, expected[i].name, &named));
        EXPECT_EQ(named.index, i);
    }
    EXPECT_EQ(crobjc_ivarList(cls, ivars, 2), 2);
    CRObjCIvar none;
    EXPECT_FALSE(crobjc_ivarNamed(cls, "_missing", &none));

    bool enabled = false;
    int count = 0;
    long long big = 0;
    double ratio = 0;
    ASSERT_TRUE(crobjc_ivarValue(item.get(), 0, &enabled));
    ASSERT_TRUE(crobjc_ivarValue(item.get(), 1, &count));
    ASSERT_TRUE(crobjc_ivarValue(item.get(), 2, &big));
    ASSERT_TRUE(crobjc_ivarValue(item.get(), 3, &ratio));
    EXPECT_TRUE(enabled);
    EXPECT_EQ(count, -7);
    EXPECT_EQ(big, 1LL << 40);
    EXPECT_EQ(ratio, 2.5);
    EXPECT_FALSE(crobjc_ivarValue(item.get(), 5, &count));
    EXPECT_FALSE(crobjc_ivarValue(item.get(), -1, &count));
}

TEST(Introspection, DescriptionsCutAtTheBuffer) {
    auto url = NSURL::URLWithString("https://example.org/path");
    auto item = std::make_shared<CrashProbeItem>();
    char buffer[256];
    char expectedPrefix[64];
    std::snprintf(expectedPrefix, sizeof expectedPrefix, "<NSURL: 0x%016x>",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(url.get())));
    int n = crobjc_getDescription(url.get(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), std::string(expectedPrefix) + ": \"https://example.org/path\"");
    EXPECT_EQ(n, static_cast<int>(std::strlen(buffer)));
    EXPECT_EQ(crobjc_copyStringContents(url.get(), buffer, sizeof buffer), 24);
    EXPECT_STREQ(buffer, "https://example.org/path");
    EXPECT_EQ(crobjc_stringLength(url.get()), 24);
    EXPECT_EQ(crobjc_copyStringContents(url.get(), buffer, 6), 5);
    EXPECT_STREQ(buffer, "https");

    n = crobjc_getDescription(item.get(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer).rfind("<CrashProbeItem: 0x", 0), 0u);
    EXPECT_EQ(buffer[n - 1], '>');
    for (int length : {1, 2, 10}) {
        SCOPED_TRACE(length);
        std::memset(buffer, 'Z', sizeof buffer);
        n = crobjc_getDescription(url.get(), buffer, length);
        EXPECT_EQ(n, length - 1);
        EXPECT_EQ(buffer[length - 1], '\0');
        EXPECT_EQ(buffer[length], 'Z');
    }
    EXPECT_EQ(crobjc_copyStringContents(item.get(), buffer, sizeof buffer), 0);
}

TEST(StringProbes, UTF8Table) {
    struct Case {
        const char* what;
        std::string bytes;
        int minLength, maxLength;
        bool expected;
    } cases[] = {
        {"abc long enough", std::string("abc\0", 4), 3, 100, true},
        {"abc too short", std::string("abc\0", 4), 4, 100, false},
        {"lone continuation byte", std::string("a\x80" "b\0", 4), 1, 100, false},
        {"two-byte character", std::string("\xC3\xA9x\0", 4), 1, 100, true},
        {"cut sequence", std::string("\xE2\x82\0", 3), 0, 100, false},
        {"control byte", std::string("a\x01\0", 3), 0, 100, false},
        {"tab, line feed, return", std::string("a\t\n\r\0", 5), 0, 100, true},
        {"no NUL before max", std::string("abcdef\0", 7), 0, 4, false},
        {"max below 1", std::string("a\0", 2), 0, 0, false},
        {"0xFE", std::string("\xFE\0", 2), 0, 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(crstring_isNullTerminatedUTF8String(c.bytes.data(), c.minLength, c.maxLength), c.expected);
    }
    EXPECT_FALSE(crstring_isNullTerminatedUTF8String(reinterpret_cast<const void*>(0x10), 0, 10));
}

TEST(StringProbes, HexTable) {
    struct Case {
        const char* text;
        bool found;
        uint64_t value;
    } cases[] = {
        {"address 0x1F at", true, 0x1F},
        {"0xzz then 0xABCdef", true, 0xABCDEF},
        {"0x", false, 0},
        {"no hex", false, 0},
        {"0x7fffffffffffffff", true, 0x7fffffffffffffffull},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        uint64_t v = 0;
        EXPECT_EQ(crstring_extractHexValue(c.text, static_cast<int>(std::strlen(c.text)), &v), c.found);
        if (c.found) {
            EXPECT_EQ(v, c.value);
        }
    }
}

}  // namespace
