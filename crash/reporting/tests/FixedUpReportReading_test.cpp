// Reading a stored report through the fix-up's elements (as the front loads reports) gives
// exactly the tree that decoding the fixed-up text gives: the same kinds, values, key
// order, partial trees and failures, for real reports and for the values whose text form
// changes them (floating point numbers, bytes that are not UTF-8, nulls).

#include <crash_core/CRReportFixup.h>
#include <crash_reporting/ZPKCRJSONCodec.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ReportingTestSupport.h"

using namespace reporting_test;

namespace {

constexpr int32_t kOptions = ZPKCRJSONDecodeOptionIgnoreAllNulls | ZPKCRJSONDecodeOptionKeepPartialObject;

// Same kind, same value (doubles bit for bit), same mutability, containers in the same order.
::testing::AssertionResult identical(const Value& a, const Value& b, const std::string& at = "") {
    if (a.type() != b.type())
        return ::testing::AssertionFailure() << at << ": " << a.typeName() << " vs " << b.typeName();
    if (a.isMutable() != b.isMutable()) return ::testing::AssertionFailure() << at << ": mutability differs";
    switch (a.type()) {
        case Value::Type::Double: {
            double x = a.asDouble(), y = b.asDouble();
            if (std::memcmp(&x, &y, sizeof x) != 0)
                return ::testing::AssertionFailure() << at << ": " << x << " vs " << y;
            return ::testing::AssertionSuccess();
        }
        case Value::Type::Array:
            if (a.count() != b.count()) return ::testing::AssertionFailure() << at << ": lengths differ";
            for (size_t i = 0; i < a.count(); ++i)
                if (auto r = identical(a[i], b[i], at + "/" + std::to_string(i)); !r) return r;
            return ::testing::AssertionSuccess();
        case Value::Type::Dictionary: {
            if (a.count() != b.count()) return ::testing::AssertionFailure() << at << ": sizes differ";
            auto ia = a.asDictionary().begin(), ib = b.asDictionary().begin();
            for (; ia != a.asDictionary().end(); ++ia, ++ib) {
                if (auto r = identical(ia->first, ib->first, at + " key"); !r) return r;
                if (auto r = identical(ia->second, ib->second, at + "/" + ia->first.description()); !r) return r;
            }
            return ::testing::AssertionSuccess();
        }
        default:
            if (a.compare(b) != NSOrderedSame)
                return ::testing::AssertionFailure() << at << ": " << a.description() << " vs " << b.description();
            return ::testing::AssertionSuccess();
    }
}

struct Read {
    bool whole = false;  // the fix-up gave text (or answered CRJSON_OK)
    Value tree;
};

Read throughText(const std::string& raw) {
    Read out;
    char* fixed = crcrashreport_fixupReport(raw.c_str());
    if (!fixed) return out;
    out.whole = true;
    out.tree = ZPKCRJSONCodec::decode(std::string_view(fixed), kOptions);
    std::free(fixed);
    return out;
}

Read throughElements(const std::string& raw) {
    Read out;
    int result = -1;
    out.tree = ZPKCRJSONCodec::decodeElements(
        [&](const CRJSONDecodeCallbacks* callbacks, void* codec) {
            return result = crcrashreport_fixupReportTo(raw.c_str(), callbacks, codec);
        },
        kOptions);
    out.whole = result == CRJSON_OK;
    return out;
}

void expectSameReading(const std::string& raw) {
    Read text = throughText(raw), elements = throughElements(raw);
    EXPECT_EQ(text.whole, elements.whole);
    if (text.whole && elements.whole) EXPECT_TRUE(identical(text.tree, elements.tree));
}

}  // namespace

TEST(FixedUpReportReading, RealReportsReadTheSameThroughTheElements) {
    int read = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TEST_SOURCE_DIR) + "/fixtures")) {
        if (entry.path().extension() != ".json") continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::string raw = readFile(entry.path().string());
        ASSERT_TRUE(throughText(raw).tree.isDictionary());
        expectSameReading(raw);
        ++read;
    }
    EXPECT_GE(read, 10);
}

TEST(FixedUpReportReading, ValuesWhoseTextChangesThemReadTheSame) {
    const std::string report = R"({"report":{"version":"3.3.0","timestamp":1796935331123456},)";
    struct Case {
        const char* what;
        std::string raw;
    } cases[] = {
        {"floating point numbers, integral and not, tiny, huge, negative zero, beyond double",
         report + R"("f":[1.5,100000.0,1e6,1.0000001,1e-7,1e300,-0.0,-2.25,1e999,-1e999,123456789.123]})"},
        {"floating point members of an object",
         report + R"("o":{"a":3.0,"b":0.1,"c":1e999,"d":12345678901234567890123}})"},
        {"integers at the ends of their range",
         report + R"("i":[9223372036854775807,-9223372036854775808,18446744073709551615,-0,0]})"},
        {"text that is valid UTF-8 and text with escapes",
         report + R"("s":["caf\u00e9","\ud83d\ude00","tab\tquote\"back\\slash\/","\u0001\u001f\u007f","é€😀"]})"},
        {"bytes that are not UTF-8 in values", report + "\"s\":[\"a\xff" "b\",\"\xc3\",\"\xc0\x80\",\"\xed\xa0\x80\",\"\xe2\x82\"]}"},
        {"bytes that are not UTF-8 and other text in names",
         report + "\"n\":{\"k\xff\":1,\"caf\xc3\xa9\":2,\"q\\\"t\":3,\"\xf4\x90\x80\x80\":4,\"\":5}}"},
        {"a NUL escape ends the text", report + R"("s":["ab\u0000cd"],"k\u0000x":1})"},
        {"nulls, booleans, empty containers", report + R"("a":[null,true,false,[],{},null],"o":{"n":null,"t":true}})"},
        {"a repeated name keeps the later value", report + R"("k":1,"k":[2],"j":{"x":1,"x":2.5}})"},
        {"symbols to demangle and an exception type",
         report + R"("crash":{"error":{"cpp_exception":{"name":"St13runtime_error"}},"threads":[{"backtrace":)"
                  R"({"contents":[{"symbol_name":"_ZN3foo3barEv"},{"symbol_name":"_TF1M3fooFSiSi"},{"symbol_name":"f"}]}}]}})"},
        {"a version 2 timestamp in seconds", R"({"report":{"version":"3.2.0","timestamp":1796935331},"x":1})"},
        {"an array at the top", R"([1,{"a":2.5},"x"])"},
        {"a bare number at the top", "5 "},
        {"a bare string at the top", "\"x\""},
        {"cut short", report + R"("a":[1,2,)"},
        {"not JSON", "{]"},
        {"empty", ""},
        {"nesting beyond the fix-up's depth", std::string(101, '[') + std::string(101, ']')},
        {"nesting at the fix-up's depth", std::string(99, '[') + std::string(99, ']')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectSameReading(c.raw);
    }
}

// What the reader is given when it stops: nothing more, while the fix-up still says
// whether the whole report was read.
TEST(FixedUpReportReading, AReaderThatStopsIsGivenNothingMore) {
    struct Counting {
        int elements = 0;
        int ends = 0;
    } counting;
    CRJSONDecodeCallbacks stopAtSecond{};
    stopAtSecond.onBooleanElement = [](const char*, bool, void*) { return CRJSON_OK; };
    stopAtSecond.onFloatingPointElement = [](const char*, double, void*) { return CRJSON_OK; };
    stopAtSecond.onIntegerElement = [](const char*, int64_t, void* user) {
        return ++static_cast<Counting*>(user)->elements < 2 ? CRJSON_OK : CRJSON_ERROR_INVALID_DATA;
    };
    stopAtSecond.onNullElement = [](const char*, void*) { return CRJSON_OK; };
    stopAtSecond.onStringElement = [](const char*, const char*, void*) { return CRJSON_OK; };
    stopAtSecond.onBeginObject = [](const char*, void*) { return CRJSON_OK; };
    stopAtSecond.onBeginArray = [](const char*, void*) { return CRJSON_OK; };
    stopAtSecond.onEndContainer = [](void* user) {
        ++static_cast<Counting*>(user)->ends;
        return CRJSON_OK;
    };
    stopAtSecond.onEndData = [](void* user) {
        ++static_cast<Counting*>(user)->ends;
        return CRJSON_OK;
    };
    EXPECT_EQ(crcrashreport_fixupReportTo(R"({"a":[1,2,3],"b":4})", &stopAtSecond, &counting), CRJSON_OK);
    EXPECT_EQ(counting.elements, 2);
    EXPECT_EQ(counting.ends, 0);
    EXPECT_NE(crcrashreport_fixupReportTo(R"({"a":[1,2,3],"b":)", &stopAtSecond, &counting), CRJSON_OK);
    EXPECT_NE(crcrashreport_fixupReportTo(nullptr, &stopAtSecond, &counting), CRJSON_OK);
}
