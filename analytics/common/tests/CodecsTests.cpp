// Digests, hex, URL coding, lenient Base64, UTF-8 prefixes, AES and zlib streams of the
// analytics utilities; the zlib stream is inflated by Python as an independent reader.

#include <analytics_common/ZVUtils.h>

#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "AnalyticsTestSupport.h"

namespace {
Value::Data bytes(std::string_view s) { return Value::Data(s.begin(), s.end()); }
}  // namespace

TEST(Codecs, MD5TextOfStrings) {
    struct Case {
        const char* name;
        Value input;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"abc", Value("abc"), "900150983CD24FB0D6963F7D28E17F72"},
        {"spaces only", Value("   "), ""},
        {"null", Value(), ""},
        {"not a string", Value(5), ""},
        {"embedded zero byte stops the digest", Value(std::string("abc\0def", 7)), "900150983CD24FB0D6963F7D28E17F72"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ZVUtils::md5(c.input), c.expected);
    }
    const auto raw = ZVUtils::md5BytesWithString("abc");
    EXPECT_EQ(ZVUtils::bytesToHexString(raw.data(), 16), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(ZVUtils::md5DataWithData(bytes("abc")), Value::Data(raw.begin(), raw.end()));
    EXPECT_EQ(ZVUtils::bytesToHexString(raw.data(), 0), "");
}

TEST(Codecs, StringTests) {
    EXPECT_FALSE(ZVUtils::notEmptyString(Value()));
    EXPECT_FALSE(ZVUtils::notEmptyString(Value(" \n\t")));
    EXPECT_FALSE(ZVUtils::notEmptyString(Value(1)));
    EXPECT_TRUE(ZVUtils::notEmptyString(Value(" x ")));
    EXPECT_TRUE(ZVUtils::isEmptyString(Value("")));
}

TEST(Codecs, URLCodingOfReservedCharactersAndMultiByteText) {
    const std::string reserved = "!*'();:@&=+$,/?%#[]\" ";
    EXPECT_EQ(ZVUtils::urlEncode(reserved), "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%22%20");
    EXPECT_EQ(ZVUtils::urlEncode("aZ0-._~"), "aZ0-._~");
    EXPECT_EQ(ZVUtils::urlEncode("é中"), "%C3%A9%E4%B8%AD");
    EXPECT_EQ(ZVUtils::urlEncode(""), "");
    for (const std::string& s : {reserved, std::string("é中 x"), std::string("1.0.0")}) {
        SCOPED_TRACE(s);
        EXPECT_EQ(ZVUtils::urlDecode(ZVUtils::urlEncode(s)), s);
    }
    EXPECT_EQ(ZVUtils::urlDecode(""), "");
}

TEST(Codecs, LenientBase64) {
    EXPECT_EQ(ZVUtils::encodeBase64(bytes("/t?q=>")), "L3Q/cT0+");
    struct Case {
        const char* text;
        std::string decoded;
    };
    const std::vector<Case> cases{{"L3Q/cT0+", "/t?q=>"},
                                  {"L3Q/\ncT0+", "/t?q=>"},
                                  {"aGVs bG8=", "hello"},
                                  {"aGVsbG8", "hello"},
                                  {"!!aGVsbG8=!!", "hello"},
                                  {"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ZVUtils::decodeBase64(c.text), bytes(c.decoded));
    }
}

TEST(Codecs, PrefixAtCharacterBoundaries) {
    const std::string text = "aé中😀";  // 1 + 2 + 3 + 4 bytes
    struct Case {
        int32_t limit;
        std::string expected;
    };
    const std::vector<Case> cases{{1, "a"}, {2, "a"}, {3, "aé"}, {5, "aé"}, {6, "aé中"}, {9, "aé中"}, {10, text},
                                  {100, text}, {0, text}, {-1, text}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        EXPECT_EQ(ZVUtils::getString(text, c.limit), c.expected);
    }
    EXPECT_EQ(ZVUtils::getString("", 3), "");
}

TEST(Codecs, AESRoundTripsAndFailures) {
    const Value::Data key = bytes("0123456789abcdefEXTRA");
    const auto encrypted = ZVUtils::AES128EncryptData(bytes("12345"), key);
    ASSERT_TRUE(encrypted);
    EXPECT_EQ(encrypted->size(), 16u);
    EXPECT_EQ(ZVUtils::AES128DecryptData(*encrypted, key), bytes("12345"));
    // Only the first 16 key bytes count.
    EXPECT_EQ(ZVUtils::AES128DecryptData(*encrypted, bytes("0123456789abcdef")), bytes("12345"));
    const Value::Data big(1000, 7);
    EXPECT_EQ(ZVUtils::AES128DecryptData(*ZVUtils::AES128EncryptData(big, key), key), big);

    struct Failure {
        const char* name;
        std::optional<Value::Data> result;
    };
    Value::Data torn = *encrypted;
    torn.pop_back();
    const std::vector<Failure> failures{
        {"wrong key gives bad padding", ZVUtils::AES128DecryptData(*encrypted, bytes("fedcba9876543210"))},
        {"not whole blocks", ZVUtils::AES128DecryptData(torn, key)},
        {"short key encrypting", ZVUtils::AES128EncryptData(bytes("x"), bytes("short"))},
        {"short key decrypting", ZVUtils::AES128DecryptData(*encrypted, bytes("0123456789abcde"))},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.name);
        // A wrong key may by chance give valid padding; then the text still differs.
        if (f.result) {
            EXPECT_NE(*f.result, bytes("12345"));
        }
    }
    EXPECT_FALSE(failures[2].result);
    EXPECT_FALSE(failures[3].result);
    EXPECT_FALSE(failures[1].result);
}

TEST(Codecs, PrefixedZlibStreamInflatesInPython) {
    if (std::system("/usr/bin/python3 -c 'import zlib' > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    std::string source;
    for (int i = 0; i < 2000; ++i) source += "report " + std::to_string(i % 17) + ";";
    const Value::Data prefix = bytes("ZV\x01");
    const auto stream = ZVUtils::deflatedDataPrefixedWith(&prefix, 9, bytes(source));
    ASSERT_TRUE(stream);
    ASSERT_GT(stream->size(), 3u);
    EXPECT_EQ(Value::Data(stream->begin(), stream->begin() + 3), prefix);
    const std::string dir = zvtest::root();
    {
        std::ofstream(dir + "/stream.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(stream->data()), static_cast<std::streamsize>(stream->size()));
        std::ofstream(dir + "/source.txt", std::ios::binary) << source;
    }
    const std::string script = "import zlib,sys; d=open(sys.argv[1],'rb').read(); s=open(sys.argv[2],'rb').read(); "
                               "sys.exit(0 if d[:3]==b'ZV\\x01' and zlib.decompress(d[3:])==s else 1)";
    const std::string cmd = "/usr/bin/python3 -c \"" + script + "\" " + dir + "/stream.bin " + dir + "/source.txt";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    const auto plain = ZVUtils::deflatedData(bytes("abc"));
    ASSERT_TRUE(plain);
    EXPECT_EQ((*plain)[0], 0x78);  // zlib header, no prefix
}

TEST(Codecs, ComponentFlagsAndModuleTable) {
    ZVUtils::appendComponentFlag("c");
    ZVUtils::appendComponentFlag("");
    ZVUtils::appendComponentFlag("z");
    EXPECT_EQ(ZVUtils::componentFlags(), "cz");
    const Value modules = ZVUtils::getModule();
    ASSERT_EQ(modules.count(), 11u);
    EXPECT_EQ(modules[0], Value(""));
    EXPECT_EQ(modules[10], Value("zrec"));
    EXPECT_FALSE(ZVUtils::localIPString());
    EXPECT_FALSE(ZVUtils::loadSysFramework(""));
    EXPECT_TRUE(ZVUtils::loadSysFramework("CoreTelephony.framework"));
    EXPECT_TRUE(ZVUtils::loadSysFramework("AdSupport.framework"));
    EXPECT_FALSE(ZVUtils::loadSysFramework("UIKit.framework"));
    EXPECT_FALSE(ZVUtils::performClass("NoSuchClass", "anything"));
}
