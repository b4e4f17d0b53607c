#include <crash_reporting/ZPKCRJSONCodec.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

std::string textOf(const std::optional<Value::Data>& data) {
    return data ? std::string(data->begin(), data->end()) : std::string("<nothing>");
}

std::string message(const NSErrorPtr& error) { return error ? error->localizedDescription() : "<no error>"; }

// Python's json module reads every text back (one interpreter for all of them).
bool pythonReads(const std::vector<std::string>& texts) {
    std::vector<std::string> paths;
    bool written = true;
    for (const auto& json : texts) {
        char path[] = "/tmp/objcodec-XXXXXX";
        int fd = mkstemp(path);
        if (fd < 0) return false;
        written &= write(fd, json.data(), json.size()) == ssize_t(json.size());
        close(fd);
        paths.push_back(path);
    }
    std::string command = "python3 -c 'import json,sys\nfor p in sys.argv[1:]: json.load(open(p, encoding=\"utf-8\"))'";
    for (const auto& p : paths) command += " '" + p + "'";
    int status = written ? std::system(command.c_str()) : -1;
    for (const auto& p : paths) unlink(p.c_str());
    return status == 0;
}

Value nested() {
    return Value::dict({{"zeta", 1}, {"alpha", Value::dict({{"y", true}, {"b", Value::array({1, "x"})}})}});
}

TEST(JSONObjectCodec, EncodesEachKind) {
    struct Case {
        const char* name;
        Value value;
        const char* json;
    } cases[] = {
        {"boolean numbers", Value::array({true, false}), "[true,false]"},
        {"integers", Value::array({int64_t(-7), uint64_t(42), 0}), "[-7,42,0]"},
        {"double", Value::array({1.5, -0.25}), "[1.5,-0.25]"},
        {"strings with escapes", Value::array({"a\"b", "line\nnext"}), "[\"a\\\"b\",\"line\\nnext\"]"},
        {"null", Value::array({Value()}), "[null]"},
        {"date as UTC text to whole seconds",
         Value::array({Value(NSDate::dateWithTimeIntervalSince1970(1700000000.75))}), "[\"2023-11-14T22:13:20Z\"]"},
        {"data as hex digits", Value::array({Value::data("\x01\xab", 2)}), "[\"01AB\"]"},
        {"sorted at every level", nested(), "{\"alpha\":{\"b\":[1,\"x\"],\"y\":true},\"zeta\":1}"},
        {"empty containers", Value::dict({{"a", Value::array({})}, {"d", Value::dict({})}}),
         "{\"a\":[],\"d\":{}}"},
    };
    std::vector<std::string> written;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        auto bytes = ZPKCRJSONCodec::encode(c.value, ZPKCRJSONEncodeOptionSorted, &error);
        EXPECT_EQ(textOf(bytes), c.json);
        EXPECT_FALSE(error);
        auto pretty = ZPKCRJSONCodec::encode(c.value, ZPKCRJSONEncodeOptionPretty | ZPKCRJSONEncodeOptionSorted);
        ASSERT_TRUE(pretty);
        written.push_back(textOf(bytes));
        written.push_back(textOf(pretty));
        // What was written reads back as the same tree (dates and data come back as text).
        if (std::string(c.name).find("date") == std::string::npos &&
            std::string(c.name).find("data") == std::string::npos) {
            EXPECT_EQ(ZPKCRJSONCodec::decode(*pretty, 0), c.value);
        }
    }
    EXPECT_TRUE(pythonReads(written));
}

TEST(JSONObjectCodec, OwnOrderIsTheDictionarysOrder) {
    Value value = nested();
    auto own = ZPKCRJSONCodec::encode(value, ZPKCRJSONEncodeOptionNone);
    std::string expected;
    // The dictionary's own order, read from the dictionary itself at each level.
    expected = "{";
    bool first = true;
    for (const auto& [key, element] : value.asDictionary()) {
        if (!first) expected += ",";
        first = false;
        expected += "\"" + key.asStdString() + "\":" + textOf(ZPKCRJSONCodec::encode(element, 0));
    }
    expected += "}";
    EXPECT_EQ(textOf(own), expected);
}

TEST(JSONObjectCodec, UnsupportedKindFailsTheWholeEncoding) {
    struct Case {
        const char* name;
        Value value;
        const char* message;
    } cases[] = {
        {"a set at the top", Value::set({1, 2}), "Could not determine type of NSSet"},
        {"a set deep inside", Value::dict({{"a", Value::array({1, Value::set({3})})}}),
         "Could not determine type of NSSet"},
        {"geometry", Value::array({Value(CGPoint{1, 2})}), "Could not determine type of NSValue"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        EXPECT_FALSE(ZPKCRJSONCodec::encode(c.value, 0, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "CRJSONCodecObjC");
        EXPECT_EQ(error->code(), 0);
        EXPECT_EQ(error->localizedDescription(), c.message);
    }
}

TEST(JSONObjectCodec, DecodeOptionsFilterNulls) {
    const std::string json = R"({"a":[1,null,2],"b":null,"c":{"d":null}})";
    struct Case {
        int32_t options;
        Value expected;
    } cases[] = {
        {0, Value::dict({{"a", Value::array({1, Value(), 2})}, {"b", Value()}, {"c", Value::dict({{"d", Value()}})}})},
        {1, Value::dict({{"a", Value::array({1, 2})}, {"b", Value()}, {"c", Value::dict({{"d", Value()}})}})},
        {2, Value::dict({{"a", Value::array({1, Value(), 2})}, {"c", Value::dict({})}})},
        {3, Value::dict({{"a", Value::array({1, 2})}, {"c", Value::dict({})}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        NSErrorPtr error;
        Value decoded = ZPKCRJSONCodec::decode(json, c.options, &error);
        EXPECT_EQ(decoded, c.expected) << decoded.description();
        EXPECT_FALSE(error);
    }
}

TEST(JSONObjectCodec, DecodesNumbersStringsAndRepeatedNames) {
    Value decoded = ZPKCRJSONCodec::decode(
        R"({"t":true,"i":-12,"big":9007199254740993,"d":2.5,"s":"caf\u00e9","k":1,"k":2})", 0);
    ASSERT_TRUE(decoded.isDictionary());
    EXPECT_TRUE(decoded.objectForKey("t").isBool());
    EXPECT_EQ(decoded.objectForKey("i").asInt(), -12);
    EXPECT_EQ(decoded.objectForKey("big").asInt(), 9007199254740993);
    EXPECT_TRUE(decoded.objectForKey("d").type() == Value::Type::Double);
    EXPECT_EQ(decoded.objectForKey("s").asString(), "caf\xc3\xa9");
    EXPECT_EQ(decoded.objectForKey("k").asInt(), 2);  // a repeated name replaces the earlier value
    EXPECT_TRUE(decoded.isMutable());
}

TEST(JSONObjectCodec, DecodeFailures) {
    struct Case {
        const char* name;
        std::string json;
        int32_t options;
        Value expected;
        std::string message;
    } cases[] = {
        {"a bare number (a number ends at the next byte)", "5\n", 0, Value(), "Type NSNumber not allowed as top level container"},
        {"a bare string", "\"x\"", 0, Value(), "Type NSString not allowed as top level container"},
        {"unbalanced, nothing kept", R"({"a":[1,2,)", 0, Value(), "Incomplete data (offset "},
        {"unbalanced, partial tree kept", R"({"a":[1,2,)", 4, Value::dict({{"a", Value::array({1, 2})}}),
         "Incomplete data (offset "},
        {"partial tree with finished siblings", R"({"x":{"y":1},"z":[{"w":)", 4,
         Value::dict({{"x", Value::dict({{"y", 1}})}, {"z", Value::array({Value::dict({})})}}), ""},
        {"garbage", "{]", 0, Value(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        Value decoded = ZPKCRJSONCodec::decode(c.json, c.options, &error);
        EXPECT_EQ(decoded, c.expected) << decoded.description();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "CRJSONCodecObjC");
        EXPECT_EQ(error->localizedDescription().substr(0, c.message.size()), c.message);
    }
}

// Strings longer than a fixed scratch would allow, and bytes that are not UTF-8, still
// give a tree rather than failing the whole report.
TEST(JSONObjectCodec, LongStringsAndInvalidBytesDecode) {
    std::string longReason(20000, 'r');
    std::string longName(9000, 'n');
    std::string json = "{\"reason\":\"" + longReason + "\",\"" + longName + "\":1,\"bad\":\"a\xff" "b\xc3\"}";
    NSErrorPtr error;
    Value decoded = ZPKCRJSONCodec::decode(json, ZPKCRJSONDecodeOptionIgnoreAllNulls, &error);
    ASSERT_TRUE(decoded.isDictionary()) << message(error);
    EXPECT_EQ(decoded.objectForKey("reason").asString(), longReason);
    EXPECT_EQ(decoded.objectForKey(longName).asInt(), 1);
    EXPECT_EQ(decoded.objectForKey("bad").asString(), "a\xef\xbf\xbd" "b\xef\xbf\xbd");
}

TEST(JSONObjectCodec, CodecObjectTakesItsFlagsFromTheOptions) {
    auto codec = ZPKCRJSONCodec::codecWithEncodeOptions(3, 3);
    EXPECT_TRUE(codec->prettyPrint());
    EXPECT_TRUE(codec->sorted());
    EXPECT_TRUE(codec->ignoreNullsInArrays());
    EXPECT_TRUE(codec->ignoreNullsInObjects());
    ASSERT_NE(codec->callbacks(), nullptr);
    EXPECT_NE(codec->callbacks()->onEndData, nullptr);
    auto plain = ZPKCRJSONCodec::codecWithEncodeOptions(0, 4);
    EXPECT_FALSE(plain->prettyPrint() || plain->sorted() || plain->ignoreNullsInArrays());
    EXPECT_EQ(plain->className(), "ZPKCRJSONCodec");
}

}  // namespace
