#include <crash_core/CRJSONCodec.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int collect(const char* data, int length, void* user) {
    static_cast<std::string*>(user)->append(data, static_cast<size_t>(length));
    return CRJSON_OK;
}

std::string encode(bool pretty, const std::function<void(CRJSONEncoder*)>& body) {
    std::string out;
    CRJSONEncoder e;
    crjson_beginEncode(&e, pretty, collect, &out);
    body(&e);
    crjson_endEncode(&e);
    return out;
}

// Python's strict reader re-emits the document compactly with keys in their order, or
// prints ERROR.
std::string pythonReads(const std::string& json) {
    char path[] = "/tmp/crjson-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, json.data(), json.size()), static_cast<ssize_t>(json.size()));
    close(fd);
    std::string command = std::string("/usr/bin/python3 -c \"import json,sys\n"
                                      "try:\n"
                                      "  d=json.load(open(sys.argv[1],encoding='utf-8'))\n"
                                      "  print(json.dumps(d,separators=(',',':'),ensure_ascii=True))\n"
                                      "except Exception as x:\n"
                                      "  print('ERROR',x)\" ") +
                          path;
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (p && fgets(buffer, sizeof buffer, p)) out += buffer;
    if (p) pclose(p);
    unlink(path);
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

TEST(JSONEncoder, DocumentsTable) {
    struct Case {
        const char* what;
        bool pretty;
        std::function<void(CRJSONEncoder*)> body;
        const char* expected;   // exact output
        const char* asPython;   // what python re-emits
    } cases[] = {
        {"empty object compact", false, [](CRJSONEncoder* e) { crjson_beginObject(e, nullptr); }, "{}", "{}"},
        {"empty object pretty", true, [](CRJSONEncoder* e) { crjson_beginObject(e, nullptr); }, "{}", "{}"},
        {"empty array pretty", true, [](CRJSONEncoder* e) { crjson_beginArray(e, nullptr); }, "[]", "[]"},
        {"nested pretty", true,
         [](CRJSONEncoder* e) {
             crjson_beginObject(e, nullptr);
             crjson_addIntegerElement(e, "b", 1);
             crjson_beginArray(e, "a");
             crjson_addBooleanElement(e, nullptr, true);
             crjson_addNullElement(e, nullptr);
             crjson_endContainer(e);
             crjson_beginObject(e, "empty");
             crjson_endContainer(e);
         },
         "{\n    \"b\": 1,\n    \"a\": [\n        true,\n        null\n    ],\n    \"empty\": {}\n}",
         "{\"b\":1,\"a\":[true,null],\"empty\":{}}"},
        {"64-bit edges", false,
         [](CRJSONEncoder* e) {
             crjson_beginArray(e, nullptr);
             crjson_addIntegerElement(e, nullptr, INT64_MIN);
             crjson_addIntegerElement(e, nullptr, INT64_MAX);
             crjson_addUIntegerElement(e, nullptr, UINT64_MAX);
             crjson_addIntegerElement(e, nullptr, 0);
             crjson_addFloatingPointElement(e, nullptr, 1.5);
         },
         "[-9223372036854775808,9223372036854775807,18446744073709551615,0,1.5]",
         "[-9223372036854775808,9223372036854775807,18446744073709551615,0,1.5]"},
        {"escapes", false,
         [](CRJSONEncoder* e) {
             crjson_beginObject(e, nullptr);
             crjson_addStringElement(e, "q\"k", "a\"b\\c\b\t\n\f\r/", -1);
         },
         "{\"q\\\"k\":\"a\\\"b\\\\c\\b\\t\\n\\f\\r/\"}", "{\"q\\\"k\":\"a\\\"b\\\\c\\b\\t\\n\\f\\r/\"}"},
        {"other control bytes", false,
         [](CRJSONEncoder* e) {
             crjson_beginArray(e, nullptr);
             crjson_addStringElement(e, nullptr, "x\x01y\x1f\x7f", -1);
         },
         "[\"x\\u0001y\\u001F\x7f\"]", "[\"x\\u0001y\\u001f\\u007f\"]"},
        {"valid UTF-8 passes", false,
         [](CRJSONEncoder* e) {
             crjson_beginArray(e, nullptr);
             crjson_addStringElement(e, nullptr, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", -1);
         },
         "[\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"]", "[\"\\u00e9\\u20ac\\ud83d\\ude00\"]"},
        {"invalid UTF-8 escaped", false,
         [](CRJSONEncoder* e) {
             crjson_beginArray(e, nullptr);
             crjson_addStringElement(e, nullptr, "a\xFF" "b\xC3" "c\xE2\x82", -1);
             crjson_addStringElement(e, nullptr, "\xED\xA0\x80\xC0\x80", -1);  // surrogate, overlong
         },
         "[\"a\\u00FFb\\u00C3c\\u00E2\\u0082\",\"\\u00ED\\u00A0\\u0080\\u00C0\\u0080\"]",
         "[\"a\\u00ffb\\u00c3c\\u00e2\\u0082\",\"\\u00ed\\u00a0\\u0080\\u00c0\\u0080\"]"},
        {"NULL string and explicit length", false,
         [](CRJSONEncoder* e) {
             crjson_beginArray(e, nullptr);
             crjson_addStringElement(e, nullptr, nullptr, 3);
             crjson_addStringElement(e, nullptr, "abcdef", 3);
         },
         "[null,\"abc\"]", "[null,\"abc\"]"},
        {"data", false,
         [](CRJSONEncoder* e) {
             crjson_beginObject(e, nullptr);
             crjson_addDataElement(e, "d", "\x00\xAB\x10", 3);
             crjson_beginDataElement(e, "p");
             crjson_appendDataElement(e, "\x01", 1);
             crjson_appendDataElement(e, "\xFE", 1);
             crjson_endDataElement(e);
         },
         "{\"d\":\"00AB10\",\"p\":\"01FE\"}", "{\"d\":\"00AB10\",\"p\":\"01FE\"}"},
        {"string in pieces across a UTF-8 sequence", false,
         [](CRJSONEncoder* e) {
             crjson_beginArray(e, nullptr);
             crjson_beginStringElement(e, nullptr);
             crjson_appendStringElement(e, "x\xE2\x82", -1);
             crjson_appendStringElement(e, "\xAC" "y", -1);
             crjson_appendStringElement(e, "\xC3", -1);
             crjson_endStringElement(e);
         },
         "[\"x\xE2\x82\xACy\\u00C3\"]", "[\"x\\u20acy\\u00c3\"]"},
        {"non-finite numbers", false,
         [](CRJSONEncoder* e) {
             crjson_beginArray(e, nullptr);
             crjson_addFloatingPointElement(e, nullptr, NAN);
             crjson_addFloatingPointElement(e, nullptr, -INFINITY);
         },
         "[null,null]", "[null,null]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out = encode(c.pretty, c.body);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(pythonReads(out), c.asPython);
    }
}

TEST(JSONEncoder, ValidUTF8SurvivesThe256BytePieces) {
    std::string text;
    while (text.size() < 1000) text += "a\xE2\x82\xAC\xF0\x9F\x98\x80";  // sequences straddle piece ends
    for (std::size_t shift = 0; shift < 4; ++shift) {
        SCOPED_TRACE(shift);
        std::string s = std::string(shift, 'x') + text;
        std::string out = encode(false, [&](CRJSONEncoder* e) {
            crjson_beginArray(e, nullptr);
            crjson_addStringElement(e, nullptr, s.c_str(), static_cast<int>(s.size()));
        });
        EXPECT_EQ(out, "[\"" + s + "\"]");
    }
}

TEST(JSONEncoder, ErrorsAndTheOutputCallback) {
    std::string out;
    CRJSONEncoder e;
    crjson_beginEncode(&e, false, collect, &out);
    crjson_beginObject(&e, nullptr);
    EXPECT_EQ(crjson_addIntegerElement(&e, nullptr, 1), CRJSON_ERROR_INVALID_DATA);
    EXPECT_EQ(crjson_endContainer(&e), CRJSON_OK);
    EXPECT_EQ(crjson_endContainer(&e), CRJSON_OK);  // at level 0 nothing happens
    auto refuse = [](const char*, int, void*) { return 7; };
    crjson_beginEncode(&e, false, refuse, nullptr);
    EXPECT_EQ(crjson_addStringElement(&e, nullptr, "x", -1), 7);
    EXPECT_STREQ(crjson_stringForError(1), "Invalid character");
    EXPECT_STREQ(crjson_stringForError(5), "Invalid data");
    EXPECT_STREQ(crjson_stringForError(0), "(unknown error)");
    EXPECT_STREQ(crjson_stringForError(6), "(unknown error)");
}

// Decoded elements as text lines.
struct Trace {
    std::vector<std::string> lines;
    static Trace& of(void* u) { return *static_cast<Trace*>(u); }
    static std::string n(const char* name) { return name ? name : "-"; }
    static int onBool(const char* name, bool v, void* u) {
        of(u).lines.push_back("bool " + n(name) + " " + (v ? "true" : "false"));
        return 0;
    }
    static int onFloat(const char* name, double v, void* u) {
        char b[64];
        std::snprintf(b, sizeof b, "%.17g", v);
        of(u).lines.push_back("float " + n(name) + " " + b);
        return 0;
    }
    static int onInt(const char* name, int64_t v, void* u) {
        of(u).lines.push_back("int " + n(name) + " " + std::to_string(v));
        return 0;
    }
    static int onNull(const char* name, void* u) {
        of(u).lines.push_back("null " + n(name));
        return 0;
    }
    static int onString(const char* name, const char* v, void* u) {
        of(u).lines.push_back("string " + n(name) + " " + v);
        return 0;
    }
    static int onObject(const char* name, void* u) {
        of(u).lines.push_back("object " + n(name));
        return 0;
    }
    static int onArray(const char* name, void* u) {
        of(u).lines.push_back("array " + n(name));
        return 0;
    }
    static int onEnd(void* u) {
        of(u).lines.push_back("end");
        return 0;
    }
    static int onEndData(void* u) {
        of(u).lines.push_back("done");
        return 0;
    }
};

const CRJSONDecodeCallbacks kTrace = {Trace::onBool,   Trace::onFloat, Trace::onInt, Trace::onNull,   Trace::onString,
                                      Trace::onObject, Trace::onArray, Trace::onEnd, Trace::onEndData};

int decode(const std::string& text, Trace& trace, int* offset, int bufferLength = 1000) {
    std::vector<char> buffer(static_cast<size_t>(bufferLength));
    return crjson_decode(text.data(), static_cast<int>(text.size()), buffer.data(), bufferLength, &kTrace, &trace,
                         offset);
}

std::string join(const std::vector<std::string>& v) {
    std::string s;
    for (auto& x : v) s += x + "|";
    return s;
}

TEST(JSONDecoder, ElementsTable) {
    struct Case {
        const char* text;
        const char* trace;
    } cases[] = {
        {"[1 2]", "array -|int - 1|int - 2|end|done|"},
        {"[1,]", "array -|int - 1|end|done|"},
        {"{\"a\":true,\"b\":[null,false]}", "object -|bool a true|array b|null -|bool - false|end|end|done|"},
        {" {\"a\" : \"x\\\"\\\\\\/\\b\\f\\n\\r\\t\"} ", "object -|string a x\"\\/\b\f\n\r\t|end|done|"},
        {"[18446744073709551615]", "array -|int - -1|end|done|"},
        {"[18446744073709551616]", "array -|float - 1.8446744073709552e+19|end|done|"},
        {"[-9223372036854775808]", "array -|int - -9223372036854775808|end|done|"},
        {"[-9223372036854775809]", "array -|float - -9.2233720368547758e+18|end|done|"},
        {"[-1.5e3,2E-1,0.25]", "array -|float - -1500|float - 0.20000000000000001|float - 0.25|end|done|"},
        {"[\"\\ud83d\\ude00\"]", "array -|string - \xF0\x9F\x98\x80|end|done|"},
        {"[\"\\u00e9\\u20AC\"]", "array -|string - \xC3\xA9\xE2\x82\xAC|end|done|"},
        {"\"top\" trailing ignored", "string - top|done|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Trace t;
        int offset = -1;
        EXPECT_EQ(decode(c.text, t, &offset), CRJSON_OK);
        EXPECT_EQ(join(t.lines), c.trace);
    }
}

TEST(JSONDecoder, ErrorsAndOffsetsTable) {
    struct Case {
        const char* text;
        int error;
        int offset;
        int buffer;
    } cases[] = {
        {"", CRJSON_ERROR_INCOMPLETE, 0, 1000},
        {"   ", CRJSON_ERROR_INCOMPLETE, 3, 1000},
        {"[1", CRJSON_ERROR_INCOMPLETE, 1, 1000},
        {"123", CRJSON_ERROR_INCOMPLETE, 0, 1000},
        {"{\"a\" 1}", CRJSON_ERROR_INVALID_CHARACTER, 5, 1000},
        {"{1:2}", CRJSON_ERROR_INVALID_CHARACTER, 1, 1000},
        {"[tru]", CRJSON_ERROR_INVALID_CHARACTER, 1, 1000},
        {"[tr", CRJSON_ERROR_INCOMPLETE, 1, 1000},
        {"[-x]", CRJSON_ERROR_INVALID_CHARACTER, 2, 1000},
        {"[x]", CRJSON_ERROR_INVALID_CHARACTER, 1, 1000},
        {"[\"abc", CRJSON_ERROR_INCOMPLETE, 1, 1000},
        {"[\"\\q\"]", CRJSON_ERROR_INVALID_CHARACTER, 1, 1000},
        {"[\"\\u12\"]", CRJSON_ERROR_INCOMPLETE, 1, 1000},
        {"[\"\\ude00\"]", CRJSON_ERROR_INVALID_CHARACTER, 1, 1000},
        {"[\"\\ud83d\"]", CRJSON_ERROR_INCOMPLETE, 1, 1000},
        {"[\"\\ud83dx\\ude00\"]", CRJSON_ERROR_INVALID_CHARACTER, 1, 1000},
        {"[\"\\ud83d\\u0041\"]", CRJSON_ERROR_INVALID_CHARACTER, 1, 1000},
        {"[\"abcdefgh\"]", CRJSON_ERROR_DATA_TOO_LONG, 1, 8},
        {"{\"abc\":1}", CRJSON_ERROR_DATA_TOO_LONG, 1, 12},
        {"[1.00000000000]", CRJSON_ERROR_DATA_TOO_LONG, 1, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Trace t;
        int offset = -1;
        EXPECT_EQ(decode(c.text, t, &offset, c.buffer), c.error);
        EXPECT_EQ(offset, c.offset);
    }
}

TEST(JSONDecoder, CallbackErrorStopsDecoding) {
    CRJSONDecodeCallbacks cb = kTrace;
    cb.onIntegerElement = [](const char*, int64_t, void*) { return 9; };
    Trace t;
    char buffer[100];
    int offset = 0;
    std::string text = "[true,1,2]";
    EXPECT_EQ(crjson_decode(text.data(), static_cast<int>(text.size()), buffer, sizeof buffer, &cb, &t, &offset), 9);
    EXPECT_EQ(join(t.lines), "array -|bool - true|");
}

TEST(JSONDecoder, RandomMutationsNeverFault) {
    std::string seed = R"({"a":[1,-2.5e3,"x\u00e9\ud83d\ude00",true,false,null,{"b":{}}],"c":"\\\"/"})";
    std::mt19937 rng(12345);
    const char alphabet[] = "{}[]\",:\\u0123456789abcdefnrtlsE.-+ \t\n\x01\xff";
    for (int i = 0; i < 20000; ++i) {
        std::string s = seed;
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < edits; ++k) {
            size_t at = rng() % (s.size() + 1);
            switch (rng() % 3) {
                case 0: if (at < s.size()) s.erase(at, 1); break;
                case 1: s.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
                default: if (at < s.size()) s[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
            }
        }
        Trace t;
        int offset = 0;
        int result = decode(s, t, &offset, 16 + static_cast<int>(rng() % 64));
        if (result) {
            ASSERT_GE(offset, 0);
            ASSERT_LE(offset, static_cast<int>(s.size()));
        }
    }
    // Deep nesting is refused, not a stack overflow.
    Trace t;
    int offset = 0;
    EXPECT_EQ(decode(std::string(100000, '['), t, &offset), CRJSON_ERROR_INVALID_DATA);
}

TEST(JSONEmbedding, TextAndFilesTable) {
    const std::string inner = R"({"k":[1,"two",{"x":null}],"z":true})";
    char path[] = "/tmp/crjson-embed-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    // A long file crosses many refills of the 1000-byte window.
    std::string big = "[";
    for (int i = 0; i < 400; ++i) big += std::string(i ? "," : "") + "{\"n\":" + std::to_string(i) + ",\"s\":\"" + std::string(i % 90, 'y') + "\"}";
    big += "]";
    ASSERT_EQ(write(fd, big.data(), big.size()), static_cast<ssize_t>(big.size()));
    close(fd);

    // Closed by the call.
    std::string out = encode(false, [&](CRJSONEncoder* e) {
        crjson_beginObject(e, nullptr);
        EXPECT_EQ(crjson_addJSONElement(e, "embedded", inner.c_str(), static_cast<int>(inner.size()), true), 0);
        crjson_addIntegerElement(e, "after", 1);
    });
    EXPECT_EQ(out, R"({"embedded":{"k":[1,"two",{"x":null}],"z":true},"after":1})");
    EXPECT_EQ(pythonReads(out), out);

    // Left open for the caller, who adds to the embedded object.
    out = encode(false, [&](CRJSONEncoder* e) {
        crjson_beginObject(e, nullptr);
        EXPECT_EQ(crjson_addJSONElement(e, "embedded", inner.c_str(), static_cast<int>(inner.size()), false), 0);
        crjson_addIntegerElement(e, "added", 2);
        crjson_endContainer(e);
    });
    EXPECT_EQ(pythonReads(out), R"({"embedded":{"k":[1,"two",{"x":null}],"z":true,"added":2}})");

    out = encode(true, [&](CRJSONEncoder* e) {
        crjson_beginObject(e, nullptr);
        EXPECT_EQ(crjson_addJSONFromFile(e, "file", path, true), 0);
        crjson_addStringElement(e, "tail", "t", -1);
    });
    std::string expected = pythonReads("{\"file\":" + big + ",\"tail\":\"t\"}");
    EXPECT_EQ(pythonReads(out), expected);

    out = encode(false, [&](CRJSONEncoder* e) {
        crjson_beginObject(e, nullptr);
        EXPECT_EQ(crjson_addJSONFromFile(e, "missing", "/nonexistent/file.json", true), CRJSON_ERROR_INCOMPLETE);
    });
    unlink(path);

    // A broken embedded text closes what it opened (the number cut by the end is lost).
    out = encode(false, [&](CRJSONEncoder* e) {
        crjson_beginArray(e, nullptr);
        std::string broken = R"({"a":[1,2)";
        EXPECT_EQ(crjson_addJSONElement(e, nullptr, broken.c_str(), static_cast<int>(broken.size()), true),
                  CRJSON_ERROR_INCOMPLETE);
        crjson_addIntegerElement(e, nullptr, 3);
    });
    EXPECT_EQ(out, R"([{"a":[1]},3])");
}

}  // namespace
