#include <platform_foundation/Base64.h>

#include <gtest/gtest.h>

namespace {

Value::Data bytes(std::string_view s) { return Value::Data(s.begin(), s.end()); }

TEST(Base64, EncodesWithPadding) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}, {"\xFF\xFE\xFD", "//79"}, {"\xFB\xFF", "+/8="},
    };
    for (auto& [plain, encoded] : cases) {
        EXPECT_EQ(NSDataBase64EncodedString(bytes(plain)), encoded);
        EXPECT_EQ(NSDataFromBase64EncodedString(encoded), bytes(plain)) << encoded;
    }
}

TEST(Base64, LineLengthOptions) {
    Value::Data data(100, 0xAB);  // 136 characters encoded
    std::string plain = NSDataBase64EncodedString(data);
    ASSERT_EQ(plain.size(), 136u);
    EXPECT_EQ(plain.find('\n'), std::string::npos);

    std::string lines64 = NSDataBase64EncodedString(data, NSDataBase64Encoding64CharacterLineLength);
    EXPECT_EQ(lines64, plain.substr(0, 64) + "\r\n" + plain.substr(64, 64) + "\r\n" + plain.substr(128));
    std::string lines76lf = NSDataBase64EncodedString(
        data, NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithLineFeed);
    EXPECT_EQ(lines76lf, plain.substr(0, 76) + "\n" + plain.substr(76));
    std::string lines76cr = NSDataBase64EncodedString(
        data, NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithCarriageReturn);
    EXPECT_EQ(lines76cr, plain.substr(0, 76) + "\r" + plain.substr(76));
    // Exactly one full line gets no line ending.
    Value::Data fortyEight(48, 1);
    EXPECT_EQ(NSDataBase64EncodedString(fortyEight, NSDataBase64Encoding64CharacterLineLength).size(), 64u);

    // Strict decoding refuses the line breaks; ignoring unknown characters reads them back.
    EXPECT_EQ(NSDataFromBase64EncodedString(lines64), std::nullopt);
    EXPECT_EQ(NSDataFromBase64EncodedString(lines64, NSDataBase64DecodingIgnoreUnknownCharacters), data);
}

TEST(Base64, DecodingEdgeCases) {
    struct Case {
        const char* text;
        NSDataBase64DecodingOptions options;
        std::optional<std::string> expected;
    };
    const auto lenient = NSDataBase64DecodingIgnoreUnknownCharacters;
    const Case cases[] = {
        {"", 0, ""},
        {"Zm9v", 0, "foo"},
        {"Zm8", 0, std::nullopt},         // strict wants padding
        {"Zm8", lenient, "fo"},
        {"Zg", lenient, "f"},
        {"Z", 0, std::nullopt},           // a single dangling character is never a byte
        {"Z", lenient, std::nullopt},
        {"Zm9vY", lenient, std::nullopt},
        {"Zg===", 0, std::nullopt},       // too much padding
        {"Zg=", 0, std::nullopt},
        {"====", 0, std::nullopt},
        {"Zg==Zg==", 0, std::nullopt},    // data after padding
        {"Zm9v\n", 0, std::nullopt},
        {" Zm 9v\r\n*#", lenient, "foo"},
        {"Zm9v-_", 0, std::nullopt},      // URL-safe alphabet is not accepted
        {"Zm9v-_", lenient, "foo"},
        {"Z\xC3\xA9m9v", lenient, "foo"},
        {"AAAA", 0, std::string("\0\0\0", 3)},
    };
    for (const Case& c : cases) {
        auto got = NSDataFromBase64EncodedString(c.text, c.options);
        if (!c.expected) {
            EXPECT_EQ(got, std::nullopt) << c.text;
        } else {
            EXPECT_EQ(got, bytes(*c.expected)) << c.text;
        }
    }
}

}  // namespace
