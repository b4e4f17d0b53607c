// The crash-side configuration (dictionary form, device identifier file, module filter) and
// the digest and cipher helpers, checked against the openssl command and Python's hashlib.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <crash_reporting/ZUDCrashUploadSettings.h>
#include <crash_reporting/ZUDEncrypt.h>
#include <crash_reporting/ZUDMobiConfig.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/Sandbox.h>

#include "ReportingTestSupport.h"

using namespace reporting_test;

namespace {

std::string udidPath() { return NSSandbox::homeDirectory() + "/Documents/zpkdata/myudid"; }

// Runs this test program again with a filter, in the same sandbox; its standard output.
std::optional<std::string> runSelf(const std::string& filter) {
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    return run("APP_SANDBOX_ROOT=" + freshSandbox() + " CRASH_REPORTING_CHILD=1 " + self +
               " --gtest_filter=" + filter + " 2>&1");
}

class Config : public ::testing::Test {
protected:
    void SetUp() override {
        freshSandbox();
        std::string bundle = freshSandbox() + "/Bundle";
        std::filesystem::create_directories(bundle);
        writeTemp("Bundle/Info.plist",
                  R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleVersion</key><string>77</string>
<key>CFBundleShortVersionString</key><string>3.1</string></dict></plist>)");
        NSBundle::setMainBundlePathForTesting(bundle);
    }
    void TearDown() override { NSBundle::setMainBundlePathForTesting(std::nullopt); }
};

TEST_F(Config, FreshDictionaryForm) {
    ZUDMobiConfig config;
    Value dict = config.toDict();
    ASSERT_TRUE(dict.isDictionary());
    Value expected = Value::dict({
        {Value("deviceUDID"), Value(*config.deviceUDID())},
        {Value("buildDate"), Value("77")},
        {Value("k_crash_ver"), Value("1.3.5")},
        {Value("intlDomain"), Value(false)},
        {Value("encryptLog"), Value(false)},
        {Value("enableWaStat"), Value(false)},
        {Value("ignoreSignalPIPE"), Value(false)},
        {Value("filterModules"), Value::array({})},
        {Value("enableDebugLog"), Value(false)},
    });
    EXPECT_EQ(dict, expected) << dict.description();
    EXPECT_TRUE(dict.objectForKey(Value("intlDomain")).isBool());
    EXPECT_FALSE(dict.containsObject(Value("appName")));

    config.setAppName(std::string("Demo"));
    config.setBuildDate(std::string("20"));
    config.setSn(std::string("S1"));
    dict = config.toDict();
    EXPECT_EQ(dict.objectForKey(Value("appName")), Value("Demo"));
    EXPECT_EQ(dict.objectForKey(Value("buildDate")), Value("20"));
    EXPECT_EQ(dict.objectForKey(Value("sn")), Value("S1"));
}

TEST_F(Config, KitVersionCannotBeChanged) {
    ZUDMobiConfig config;
    config.setValue(Value("9.9.9"), "k_crash_ver");
    EXPECT_EQ(config.k_crash_ver(), "1.3.5");
    EXPECT_EQ(config.valueForKey("k_crash_ver"), Value("1.3.5"));
    EXPECT_EQ(ZUDMobiConfig::version(), "1.3.5");
}

TEST_F(Config, FilterModulesKeepOnlyStringsAndIgnoreNull) {
    ZUDMobiConfig config;
    config.updateFilterModules(Value::array({Value("MyFramework"), Value(3), Value("Other"), Value::dict({})}));
    EXPECT_EQ(config.filterModules(), (std::vector<std::string>{"MyFramework", "Other"}));
    config.updateFilterModules(Value());
    EXPECT_EQ(config.filterModules(), (std::vector<std::string>{"MyFramework", "Other"}));
    config.updateFilterModules(Value::array({}));
    EXPECT_TRUE(config.filterModules().empty());
}

TEST_F(Config, DeviceIdentifierIsWrittenOnceAndReadByTheNextProcess) {
    if (std::getenv("CRASH_REPORTING_CHILD")) GTEST_SKIP() << "runs in the parent only";
    std::filesystem::remove_all(NSSandbox::homeDirectory() + "/Documents/zpkdata");
    std::string first = ZUDMobiConfig::internalGetDeviceUDID();
    EXPECT_EQ(first.size(), 36u);
    for (char c : first) EXPECT_FALSE(c >= 'a' && c <= 'z') << first;
    EXPECT_EQ(readFile(udidPath()), first);

    auto child = runSelf("Config.PrintDeviceIdentifier");
    ASSERT_TRUE(child);
    EXPECT_NE(child->find("udid=" + first + "\n"), std::string::npos) << *child;
    EXPECT_EQ(readFile(udidPath()), first);
}

TEST_F(Config, PrintDeviceIdentifier) {
    if (!std::getenv("CRASH_REPORTING_CHILD")) GTEST_SKIP() << "runs as the second process only";
    std::printf("udid=%s\n", ZUDMobiConfig::sharedInstance()->deviceUDID()->c_str());
}

// --- digests and ciphers ---

// The app's own bundle (no test override) names real collection hosts over https, and a key
// prefix of the 8 ASCII characters the cipher key is made from.
TEST(UploadSettings, TheShippedBundleNamesHttpsHostsAndAnEightCharacterPrefix) {
    for (bool intl : {false, true}) {
        SCOPED_TRACE(intl ? "international" : "domestic");
        NSURLPtr url = ZUDCrashUploadSettings::uploadURL(intl);
        ASSERT_TRUE(url);
        EXPECT_EQ(url->scheme(), "https");
        EXPECT_EQ(url->path(), "/upload");
        EXPECT_EQ(url->host().find(".invalid"), std::string::npos) << url->absoluteString();
    }
    EXPECT_NE(ZUDCrashUploadSettings::uploadURL(false)->host(), ZUDCrashUploadSettings::uploadURL(true)->host());
    std::string prefix = ZUDCrashUploadSettings::keyPrefix();
    ASSERT_EQ(prefix.size(), 8u);
    for (char c : prefix) EXPECT_TRUE(c > ' ' && c < 0x7f) << prefix;
    EXPECT_NE(prefix, "zpkCr4sh");
}

TEST_F(Config, MissingUploadKeysFallBackToHostsThatFailAtOnce) {
    for (bool intl : {false, true}) {
        SCOPED_TRACE(intl ? "international" : "domestic");
        std::string host = ZUDCrashUploadSettings::uploadURL(intl)->host();
        EXPECT_TRUE(host.ends_with(".invalid")) << host;
    }
}

TEST(Encrypt, MD5AgreesWithPythonsHashlib) {
    for (std::string text : {"", "abc", "prefix-Demo-1.2", "\xC3\xA9t\xC3\xA9 UTF-8"}) {
        SCOPED_TRACE(text);
        std::string path = writeTemp("md5-input", text);
        auto expected = run("/usr/bin/python3 -c \"import hashlib; print(hashlib.md5(open('" + path +
                            "','rb').read()).hexdigest(), end='')\"");
        ASSERT_TRUE(expected);
        EXPECT_EQ(ZUDEncrypt::generateMD5ByString(text), *expected);
    }
    EXPECT_EQ(ZUDEncrypt::generateMD5ByString(std::string_view("abc\0def", 7)), ZUDEncrypt::generateMD5ByString("abc"));
}

TEST(Encrypt, CiphertextsAreReadByOpenssl) {
    freshSandbox();
    const std::string keyText = "0123456789abcdef";
    ZUDEncrypt::Bytes key(keyText.begin(), keyText.end());
    struct Case {
        std::string input;
        bool appendZeros;
        std::size_t size;
    };
    const Case cases[] = {{"hello", true, 32}, {"hello", false, 16}, {std::string(16, 'x'), false, 32},
                          {std::string(16, 'x'), true, 48}, {"", false, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input + (c.appendZeros ? " + zeros" : ""));
        ZUDEncrypt::Bytes input(c.input.begin(), c.input.end());
        auto cipher = c.appendZeros ? ZUDEncrypt::aesCBCEncryptData(input, key)
                                    : ZUDEncrypt::noAligAESCBCEncryptData(input, key);
        ASSERT_TRUE(cipher);
        EXPECT_EQ(cipher->size(), c.size);
        std::string path = writeTemp("cipher.bin", std::string(cipher->begin(), cipher->end()));
        auto plain = run("openssl enc -d -aes-128-cbc -K 30313233343536373839616263646566 -iv "
                         "00000000000000000000000000000000 -in " + path);
        ASSERT_TRUE(plain);
        std::string expected = c.input + (c.appendZeros ? std::string(16, '\0') : "");
        EXPECT_EQ(*plain, expected);
        auto back = ZUDEncrypt::aesCBCDecryptData(cipher, key);
        ASSERT_TRUE(back);
        EXPECT_EQ(std::string(back->begin(), back->end()), expected);
    }
}

TEST(Encrypt, FailuresGiveEmptyDataOrNothing) {
    ZUDEncrypt::Bytes key(16, 'k');
    EXPECT_FALSE(ZUDEncrypt::aesCBCEncryptData(std::nullopt, key));
    EXPECT_FALSE(ZUDEncrypt::noAligAESCBCEncryptData(std::nullopt, key));
    auto badKey = ZUDEncrypt::aesCBCEncryptData(ZUDEncrypt::Bytes{1, 2, 3}, ZUDEncrypt::Bytes(5, 'k'));
    ASSERT_TRUE(badKey);
    EXPECT_TRUE(badKey->empty());
    EXPECT_FALSE(ZUDEncrypt::aesCBCDecryptData(ZUDEncrypt::Bytes(17, 1), key));
    EXPECT_FALSE(ZUDEncrypt::aesCBCDecryptData(ZUDEncrypt::Bytes{}, key));
    EXPECT_FALSE(ZUDEncrypt::aesCBCDecryptData(std::nullopt, key));
    EXPECT_FALSE(ZUDEncrypt::aesCBCDecryptData(ZUDEncrypt::Bytes(16, 1), ZUDEncrypt::Bytes(4, 'k')));
    // A wrong key almost always leaves a bad pad.
    auto cipher = ZUDEncrypt::noAligAESCBCEncryptData(ZUDEncrypt::Bytes(20, 7), key);
    EXPECT_FALSE(ZUDEncrypt::aesCBCDecryptData(cipher, ZUDEncrypt::Bytes(16, 'z')));
}

}  // namespace
