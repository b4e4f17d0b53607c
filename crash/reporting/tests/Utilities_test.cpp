// Gzip, compressor status texts, deep key paths, C strings, errors and the reachability
// watcher of the crash side.

#include <gtest/gtest.h>

#include <zlib.h>

#include <crash_reporting/ZPKCRCString.h>
#include <crash_reporting/ZPKCRReachabilityCRCrash.h>
#include <crash_reporting/ZUDData.h>
#include <crash_reporting/ZUDDeepKeyPath.h>
#include <crash_reporting/ZUDErrors.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/NSException.h>

#include "ReportingTestSupport.h"

using namespace reporting_test;

namespace {

std::string text(const ZUDBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(Gzip, EachLevelIsReadByPythonsGzip) {
    std::string input;
    for (int i = 0; i < 2000; ++i) input += "frame " + std::to_string(i % 37) + " of the crashed thread\n";
    for (int level : {-1, 0, 9}) {
        SCOPED_TRACE(level);
        NSErrorPtr error;
        auto compressed = zud_gzippedWithCompressionLevel(input, level, &error);
        ASSERT_TRUE(compressed);
        EXPECT_FALSE(error);
        ASSERT_GE(compressed->size(), 18u);
        EXPECT_EQ((*compressed)[0], 0x1f);
        EXPECT_EQ((*compressed)[1], 0x8b);
        if (level == 0) EXPECT_GT(compressed->size(), input.size());
        std::string path = writeTemp("level" + std::to_string(level) + ".gz", text(*compressed));
        auto out = run("/usr/bin/python3 -c \"import gzip,sys; sys.stdout.buffer.write(gzip.open('" + path +
                       "').read())\"");
        ASSERT_TRUE(out);
        EXPECT_EQ(*out, input);
        auto back = zud_gunzippedWithError(*compressed, &error);
        ASSERT_TRUE(back);
        EXPECT_EQ(text(*back), input);
    }
}

TEST(Gzip, IncompressibleInputStillFits) {
    std::string input;
    uint32_t x = 12345;
    for (int i = 0; i < 100000; ++i) {
        x = x * 1103515245u + 12345u;
        input += static_cast<char>(x >> 24);
    }
    NSErrorPtr error;
    auto compressed = zud_gzippedWithCompressionLevel(input, 9, &error);
    ASSERT_TRUE(compressed);
    auto back = zud_gunzippedWithError(*compressed, &error);
    ASSERT_TRUE(back);
    EXPECT_EQ(text(*back), input);
}

TEST(Gzip, EmptyInputGivesEmptyDataAndClearsTheError) {
    NSErrorPtr error = zud_errorWithDomain("x", 1, "stale");
    auto compressed = zud_gzippedWithCompressionLevel(ZUDBytes{}, -1, &error);
    ASSERT_TRUE(compressed);
    EXPECT_TRUE(compressed->empty());
    EXPECT_FALSE(error);
    error = zud_errorWithDomain("x", 1, "stale");
    auto inflated = zud_gunzippedWithError(ZUDBytes{}, &error);
    ASSERT_TRUE(inflated);
    EXPECT_TRUE(inflated->empty());
    EXPECT_FALSE(error);
}

TEST(Gzip, FailuresNameTheCompressorsStatus) {
    NSErrorPtr error;
    EXPECT_FALSE(zud_gzippedWithCompressionLevel(std::string_view("abc"), 42, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "NSData");
    EXPECT_EQ(error->localizedDescription(), "deflateInit2: Invalid stream state");

    auto good = *zud_gzippedWithCompressionLevel(std::string_view("some text to cut short"), -1, &error);
    ZUDBytes cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    EXPECT_FALSE(zud_gunzippedWithError(cut, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), "inflate: Invalid data");

    ZUDBytes garbage = {'n', 'o', 't', ' ', 'g', 'z', 'i', 'p'};
    EXPECT_FALSE(zud_gunzippedWithError(garbage, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), "inflate: Invalid data");
}

TEST(Gzip, StatusTexts) {
    errno = ENOENT;
    const std::pair<int, std::string> cases[] = {
        {Z_VERSION_ERROR, "Incorrect zlib version"}, {Z_BUF_ERROR, "Output buffer too small"},
        {Z_MEM_ERROR, "Insufficient memory"},        {Z_DATA_ERROR, "Invalid data"},
        {Z_STREAM_ERROR, "Invalid stream state"},    {Z_ERRNO, "errno: No such file or directory"},
        {Z_OK, "OK"},                                {Z_STREAM_END, "End of stream"},
        {Z_NEED_DICT, "NEED_DICT"},                  {7, "Unknown error: 7"},
    };
    for (const auto& [status, expected] : cases) {
        SCOPED_TRACE(status);
        if (status == Z_ERRNO) errno = ENOENT;
        EXPECT_EQ(zud_zlibStatusText(status), expected);
    }
}

TEST(ByteBuffers, AppendStopsAtTheFirstNulAndFormats) {
    ZUDBytes data;
    zud_appendUTF8String(data, std::string_view("ab\0cd", 5));
    zud_appendUTF8Format(data, "-%d-%@", 7, Value("x"));
    EXPECT_EQ(text(data), "ab-7-x");
    EXPECT_EQ(zud_URLEncoded("a b&c=d/é"), "a%20b&c=d/%C3%A9");
}

TEST(ByteBuffers, InvalidUTF8BytesBecomeReplacementCharacters) {
    const uint8_t bytes[] = {'o', 'k', 0xff, 0xc3, 0xa9, 0xe2, 0x82, '!', 0xed, 0xa0, 0x80};
    EXPECT_EQ(zud_stringFromUTF8Replacing(bytes, sizeof bytes),
              "ok\xEF\xBF\xBD\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD!\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_TRUE(zud_isValidUTF8("\xC3\xA9t\xC3\xA9"));
    EXPECT_FALSE(zud_isValidUTF8("\xC3"));
}

TEST(Errors, ConstructorsFillAndClear) {
    NSErrorPtr error = zud_errorWithDomain("Domain", 3, "%@ failed %d times", Value("upload"), 2);
    EXPECT_EQ(error->domain(), "Domain");
    EXPECT_EQ(error->code(), 3);
    EXPECT_EQ(error->localizedDescription(), "upload failed 2 times");
    NSErrorPtr out;
    EXPECT_FALSE(zud_fillError(&out, "D", 0, "x"));
    ASSERT_TRUE(out);
    EXPECT_FALSE(zud_clearError(&out));
    EXPECT_FALSE(out);
    EXPECT_FALSE(zud_fillError(nullptr, "D", 0, "x"));
    EXPECT_FALSE(zud_clearError(nullptr));
}

// --- deep key paths ---

Value sampleReport() {
    return NSJSONSerialization::JSONObjectWithData(
        std::string_view(R"({"crash":{"threads":[{"backtrace":{"contents":[1,2]}},{"index":1}]},
                            "list":[[10,11],[12]], "": {"empty": true}})"),
        NSJSONReadingMutableContainers);
}

TEST(DeepKeyPath, Lookups) {
    Value report = sampleReport();
    struct Case {
        const char* path;
        const char* expectedJSON;  // nullptr: Null
    };
    const Case cases[] = {
        {"//crash/threads/0/backtrace", R"({"contents":[1,2]})"},
        {"crash/threads/1/index", "1"},
        {"list/1/0", "12"},
        {"list/x1", nullptr},
        {"list//1", "11"},  // "" is index 0
        {"list/5", nullptr},
        {"list/-1", nullptr},
        {"crash/missing/0", nullptr},
        {"crash/threads/0/backtrace/contents/1/deeper", nullptr},
        {"list/1/0/", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Value found = zud_objectForKeyPath(report, c.path);
        if (!c.expectedJSON) {
            EXPECT_TRUE(found.isNull()) << found.description();
        } else {
            EXPECT_EQ(found, NSJSONSerialization::JSONObjectWithData(std::string_view(c.expectedJSON),
                                                                     NSJSONReadingFragmentsAllowed));
        }
    }
    EXPECT_EQ(zud_objectForDeepKey(report, {Value("list"), Value(1), Value(0)}), Value(12));
    EXPECT_TRUE(zud_objectForDeepKey(report, {Value("list"), Value::dict({})}).isNull());
}

TEST(DeepKeyPath, SetAndRemove) {
    Value report = sampleReport();
    zud_setObjectForKeyPath(report, Value("new"), "crash/threads/1/name");
    EXPECT_EQ(zud_objectForKeyPath(report, "crash/threads/1/name"), Value("new"));
    zud_setObjectForKeyPath(report, Value(99), "list/0/1");
    EXPECT_EQ(zud_objectForKeyPath(report, "list/0/1"), Value(99));
    zud_removeObjectForKeyPath(report, "list/0/0");
    EXPECT_EQ(zud_objectForKeyPath(report, "list/0"), Value::array({Value(99)}));
    zud_removeObjectForKeyPath(report, "crash/threads/1/name");
    EXPECT_TRUE(zud_objectForKeyPath(report, "crash/threads/1/name").isNull());
    zud_setObjectForDeepKey(report, Value("top"), {Value("added")});
    // A text key on an array converts to an index as the containers read it.
    zud_setObjectForKeyPath(report, Value("first"), "list/1/k");
    EXPECT_EQ(zud_objectForKeyPath(report, "list/1/0"), Value("first"));
    EXPECT_EQ(report.objectForKey(Value("added")), Value("top"));
}

TEST(DeepKeyPath, EditExceptionsAndTheirReasons) {
    Value report = sampleReport();
    Value immutableText = Value::dict({{Value("s"), Value("text")}});
    immutableText.setMutable(true);
    Value frozen = Value::dict({{Value("d"), Value::dict({{Value("x"), Value(1)}})}});
    frozen.setMutable(true);
    struct Case {
        const char* title;
        std::function<void()> edit;
        const char* name;
        std::string reason;
    };
    const Case cases[] = {
        {"empty key list", [&] { zud_setObjectForDeepKey(report, Value(1), {}); }, NSInvalidArgumentException,
         "deepKey (\n) must contain at least one key"},
        {"parent missing", [&] { zud_setObjectForKeyPath(report, Value(1), "crash/nothing/x"); },
         NSInternalInconsistencyException, "Parent (\n    crash,\n    nothing\n) does not resolve to a valid object"},
        {"set into text, key that is no number",
         [&] { zud_setObjectForDeepKey(immutableText, Value(1), {Value("s"), Value::array({})}); },
         NSInternalInconsistencyException,
         "Parent (\n    s\n) of type NSString does not respond to \"setObject:forKey:\""},
        {"set into text, text key",
         [&] { zud_setObjectForKeyPath(immutableText, Value(1), "s/2"); }, NSInternalInconsistencyException,
         "Parent (\n    s\n) of type NSString does not respond to \"setObject:forKey:\" or "
         "\"replaceObjectAtIndex:withObject:\""},
        {"remove from text, key that is no number",
         [&] { zud_removeObjectForDeepKey(immutableText, {Value("s"), Value::array({})}); },
         NSInternalInconsistencyException,
         "Parent (\n    s\n) of type NSString does not respond to \"removeObjectForKey:\""},
        {"remove from text, text key", [&] { zud_removeObjectForKeyPath(immutableText, "s/k"); },
         NSInternalInconsistencyException,
         "Parent (\n    s\n) of type NSString does not respond to \"removeObjectForKey:\" or "
         "\"removeObjectAtIndex:\""},
        {"set into an immutable dictionary",
         [&] { zud_setObjectForKeyPath(frozen, Value(1), "d/x"); }, NSInternalInconsistencyException,
         "Parent (\n    d\n) of type NSDictionary does not respond to \"setObject:forKey:\" or "
         "\"replaceObjectAtIndex:withObject:\""},
        {"index out of range", [&] { zud_setObjectForKeyPath(report, Value(1), "list/1/5"); }, NSRangeException,
         "*** -[NSMutableArray replaceObjectAtIndex:withObject:]: index 5 beyond bounds [0 .. 0]"},
        {"remove out of range", [&] { zud_removeObjectForKeyPath(report, "list/1/3"); }, NSRangeException,
         "*** -[NSMutableArray removeObjectAtIndex:]: index 3 beyond bounds [0 .. 0]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        try {
            c.edit();
            ADD_FAILURE() << "no exception";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), c.name);
            EXPECT_EQ(e.reason(), c.reason);
        }
    }
}

// --- C strings ---

TEST(CString, CopiesAndTerminates) {
    auto fromText = ZPKCRCString::stringWithString(std::string_view("ab\0c", 4));
    EXPECT_EQ(fromText->length(), 2u);
    EXPECT_STREQ(fromText->bytes(), "ab");
    char buffer[] = "crash";
    auto fromC = ZPKCRCString::stringWithCString(buffer);
    buffer[0] = 'X';
    EXPECT_STREQ(fromC->bytes(), "crash");
    EXPECT_EQ(fromC->length(), 5u);
    std::vector<uint8_t> bytes = {'a', 0, 'b'};
    auto fromData = ZPKCRCString::stringWithData(bytes);
    EXPECT_EQ(fromData->length(), 3u);
    EXPECT_EQ(std::string(fromData->bytes(), 4), std::string("a\0b\0", 4));
    auto partial = ZPKCRCString::stringWithData(bytes.data(), 1);
    EXPECT_STREQ(partial->bytes(), "a");
    EXPECT_EQ(ZPKCRCString::stringWithCString(nullptr)->length(), 0u);
}

// --- reachability ---

TEST(Reachability, FlagTable) {
    struct Case {
        SCNetworkReachabilityFlags flags;
        bool reachable;
    };
    const Case cases[] = {
        {0, false},
        {kSCNetworkReachabilityFlagsConnectionRequired, false},
        {kSCNetworkReachabilityFlagsReachable, true},
        {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN, true},
        {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired, false},
        {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired |
             kSCNetworkReachabilityFlagsConnectionOnDemand,
         true},
        {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired |
             kSCNetworkReachabilityFlagsConnectionOnTraffic,
         true},
        {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired |
             kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsInterventionRequired,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(ZPKCRReachabilityCRCrash::isReachableWithFlags(c.flags), c.reachable);
    }
}

// A watcher whose platform object reports `flags` from the start.
std::shared_ptr<ZPKCRReachabilityCRCrash> watcherWithFlags(SCNetworkReachabilityFlags flags) {
    auto ref = SCNetworkReachabilityCreateWithName("127.0.0.2");
    SCNetworkReachabilitySetFlagsOverride(ref, flags);
    auto watcher = ZPKCRReachabilityCRCrash::reachabilityWithReachabilityRef(ref, "127.0.0.2");
    return watcher;
}

constexpr SCNetworkReachabilityFlags kWWAN = kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN;
constexpr SCNetworkReachabilityFlags kDirect =
    kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsDirect;
constexpr SCNetworkReachabilityFlags kNone = kSCNetworkReachabilityFlagsTransientConnection;

TEST(Reachability, ChangesArriveOnTheMainQueueWithBlockAndNotification) {
    freshSandbox();
    auto watcher = watcherWithFlags(kNone);
    ASSERT_TRUE(watcher);
    int calls = 0;
    bool onMain = true;
    watcher->setOnReachabilityChanged([&](const auto&) {
        ++calls;
        onMain = onMain && NSThread::isMainThread();
    });
    watcher->setNotificationName(std::string("CrashReachabilityTestNotification"));
    int posted = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        "CrashReachabilityTestNotification", Value(), nullptr, [&](const NSNotification& n) {
            EXPECT_EQ(n.object().asObject().get(), watcher.get());
            ++posted;
        });
    // The first reading, taken on a background queue, arrives on the main queue.
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return calls >= 1; }, 5));
    EXPECT_EQ(watcher->flags(), kNone);
    EXPECT_FALSE(watcher->reachable());

    SCNetworkReachabilitySetFlagsOverride(watcher->reachabilityRef(), kWWAN);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return calls >= 2; }, 5));
    EXPECT_TRUE(watcher->reachable());
    EXPECT_TRUE(watcher->WWANOnly());
    EXPECT_EQ(posted, 2);
    EXPECT_TRUE(onMain);

    // The same flags again change nothing.
    watcher->onReachabilityFlagsChanged(kWWAN);
    EXPECT_EQ(calls, 2);
    SCNetworkReachabilitySetFlagsOverride(watcher->reachabilityRef(), kNone);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return calls >= 3; }, 5));
    EXPECT_FALSE(watcher->reachable());
    EXPECT_FALSE(watcher->WWANOnly());
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST(Reachability, HostsOfURLsAndAddresses) {
    freshSandbox();
    auto fromURL = ZPKCRReachabilityCRCrash::reachabilityToHost("http://127.0.0.2:8080/upload");
    ASSERT_TRUE(fromURL);
    EXPECT_EQ(fromURL->hostname(), "127.0.0.2");
    EXPECT_TRUE(ZPKCRReachabilityCRCrash::reachabilityToHost(""));
    EXPECT_TRUE(ZPKCRReachabilityCRCrash::reachabilityToLocalNetwork());
    EXPECT_FALSE(ZPKCRReachabilityCRCrash::reachabilityWithReachabilityRef(nullptr));
}

TEST(Reachability, RunOnceOperationFiresOnceWhenReachableAndAllowed) {
    freshSandbox();
    for (bool allowWWAN : {false, true}) {
        SCOPED_TRACE(allowWWAN);
        int runs = 0;
        auto watcher = watcherWithFlags(kWWAN);
        auto operation = ZPKCRReachableOperationCRCrash::operationWithReachability(watcher, allowWWAN, [&] { ++runs; });
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return watcher->flags() == kWWAN; }, 5));
        EXPECT_EQ(runs, allowWWAN ? 1 : 0);
        SCNetworkReachabilitySetFlagsOverride(watcher->reachabilityRef(), kDirect);
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return watcher->flags() == kDirect; }, 5));
        EXPECT_EQ(runs, 1);
        EXPECT_FALSE(operation->reachability());
        // Dropped: later changes run nothing.
        SCNetworkReachabilitySetFlagsOverride(watcher->reachabilityRef(), kNone);
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return watcher->flags() == kNone; }, 5));
        SCNetworkReachabilitySetFlagsOverride(watcher->reachabilityRef(), kDirect);
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return watcher->flags() == kDirect; }, 5));
        EXPECT_EQ(runs, 1);
    }
}

}  // namespace
