#include <platform_foundation/NSBundle.h>

#include <gtest/gtest.h>

#include <platform_foundation/NSLocale.h>

namespace {

const std::string kApp = std::string(TEST_SOURCE_DIR) + "/data/TestApp";

class NSBundleTest : public ::testing::Test {
protected:
    void SetUp() override {
        NSBundle::setMainBundlePathForTesting(kApp);
        NSLocale::setPreferredLanguages(std::vector<std::string>{"en-US"});
    }
    void TearDown() override {
        NSBundle::setMainBundlePathForTesting(std::nullopt);
        NSLocale::setPreferredLanguages(std::nullopt);
    }
};

TEST_F(NSBundleTest, MainBundleInfoKeys) {
    auto main = NSBundle::mainBundle();
    ASSERT_TRUE(main);
    EXPECT_EQ(main, NSBundle::mainBundle());
    EXPECT_EQ(main->bundleIdentifier(), "com.example.testapp");
    EXPECT_EQ(main->objectForInfoDictionaryKey("CFBundleShortVersionString"), Value("2.3.1"));
    EXPECT_EQ(main->objectForInfoDictionaryKey("CFBundleVersion"), Value("231"));
    EXPECT_EQ(main->objectForInfoDictionaryKey("CFBundleName"), Value("TestApp"));
    EXPECT_EQ(main->objectForInfoDictionaryKey("CFBundleDisplayName"), Value("Test App"));
    EXPECT_TRUE(main->objectForInfoDictionaryKey("Missing").isNull());
    EXPECT_TRUE(main->infoDictionary().objectForKey("LSRequiresIPhoneOS").isBool());
    EXPECT_EQ(main->executablePath(), main->bundlePath() + "/TestApp");
    EXPECT_EQ(NSBundle::bundleWithIdentifier("com.example.testapp"), main);
    EXPECT_EQ(NSBundle::bundleWithIdentifier("com.example.nothing"), nullptr);
    // Localized Info keys win for the preferred language.
    NSLocale::setPreferredLanguages(std::vector<std::string>{"ru"});
    EXPECT_EQ(main->objectForInfoDictionaryKey("CFBundleDisplayName"), Value("Тест"));
}

TEST_F(NSBundleTest, ResourcePaths) {
    auto main = NSBundle::mainBundle();
    EXPECT_EQ(main->pathForResource("arrow@2x", "png"), main->bundlePath() + "/arrow@2x.png");
    EXPECT_EQ(main->pathForResource("arrow@2x.png", ""), main->bundlePath() + "/arrow@2x.png");
    EXPECT_EQ(main->pathForResource("arrow", "png"), std::nullopt);
    EXPECT_EQ(main->pathForResource("a", "cer", "certs"), main->bundlePath() + "/certs/a.cer");
    EXPECT_EQ(main->pathForResource("Main", "storyboard", "", "Base"), main->bundlePath() + "/Base.lproj/Main.storyboard");
    // Localized resources are found in the preferred .lproj.
    EXPECT_EQ(main->pathForResource("Tables", "strings"), main->bundlePath() + "/en.lproj/Tables.strings");
    EXPECT_EQ(main->pathsForResourcesOfType("cer", "certs"),
              (std::vector<std::string>{main->bundlePath() + "/certs/a.cer", main->bundlePath() + "/certs/b.cer"}));
    EXPECT_TRUE(main->pathsForResourcesOfType("cer", ".").empty());
    EXPECT_EQ(NSBundle::bundleWithPath(kApp + "/nothing-here"), nullptr);
}

TEST_F(NSBundleTest, LocalizedStringsFollowTheDefaultValueRules) {
    struct Case {
        std::vector<std::string> languages;
        const char* key;
        const char* value;
        const char* table;
        const char* expected;
    };
    const Case cases[] = {
        {{"en"}, "apptitle", "", "", "Signed Firmware"},
        {{"ru-RU"}, "apptitle", "", "", "Подписанные прошивки"},
        {{"zh-Hans-CN"}, "apptitle", "", "", "签名固件"},
        {{"ru"}, "only_en", "", "", "English only"},           // falls back to the development language
        {{"en"}, "missing", "", "", "missing"},                // no value: the key
        {{"en"}, "missing", "Fallback", "", "Fallback"},       // a value: the value
        {{"en"}, "quote", "", "Localizable", "Say \"hi\"\n\tnow \\ done"},
        {{"en"}, "unicode", "", "", "café 😀"},
        {{"en"}, "selfKey", "", "", "selfKey"},
        {{"en"}, "table_key", "", "Tables", "from table"},
        {{"en"}, "apptitle", "", "NoSuchTable", "apptitle"},
        {{"fr", "ru"}, "apptitle", "", "", "Подписанные прошивки"},
    };
    auto main = NSBundle::mainBundle();
    for (const Case& c : cases) {
        NSLocale::setPreferredLanguages(c.languages);
        EXPECT_EQ(main->localizedStringForKey(c.key, c.value, c.table), c.expected) << c.key << " in " << c.languages[0];
    }
}

TEST_F(NSBundleTest, LocalizationsAndPreferredChoice) {
    auto main = NSBundle::mainBundle();
    EXPECT_EQ(main->localizations(), (std::vector<std::string>{"en", "ru", "zh-Hans"}));
    EXPECT_EQ(main->developmentLocalization(), "en");

    struct Case {
        std::vector<std::string> available;
        std::vector<std::string> preferences;
        std::string expected;
    };
    const std::vector<std::string> refresh{"en", "ko", "ru", "uk", "zh-Hans", "zh-Hant"};
    const Case cases[] = {
        {refresh, {"zh-Hant-HK"}, "zh-Hant"},
        {refresh, {"zh-Hans-CN"}, "zh-Hans"},
        {refresh, {"pt-BR"}, "en"},
        {refresh, {"pt-BR", "ko-KR"}, "ko"},
        {refresh, {"zh_Hant"}, "zh-Hant"},
        {{"en", "ru-RU"}, {"ru"}, "ru-RU"},
        {{"de", "fr"}, {"ja"}, "de"},  // no match and no development language: the first one
    };
    for (const Case& c : cases)
        EXPECT_EQ(NSBundle::preferredLocalizationsFromArray(c.available, c.preferences),
                  std::vector<std::string>{c.expected})
            << c.preferences[0];
    EXPECT_TRUE(NSBundle::preferredLocalizationsFromArray({}, {"en"}).empty());
}

TEST_F(NSBundleTest, NamedBundleInsideTheMainBundle) {
    // A kit's strings live in "DateUtils.bundle" beside its classes, with their own .lproj folders.
    NSBundle::registerBundleForClass("DUError", nullptr);
    auto owner = NSBundle::bundleForClass("DUError");
    EXPECT_EQ(owner, NSBundle::mainBundle());
    auto path = owner->pathForResource("DateUtils", "bundle");
    ASSERT_TRUE(path);
    auto kit = NSBundle::bundleWithPath(*path);
    ASSERT_TRUE(kit);
    EXPECT_EQ(kit, NSBundle::bundleWithPath(*path + "/"));
    EXPECT_EQ(kit->bundleIdentifier(), "com.example.DateUtils");  // binary Info.plist
    EXPECT_EQ(NSBundle::bundleWithIdentifier("com.example.DateUtils"), kit);

    NSLocale::setPreferredLanguages(std::vector<std::string>{"ru-RU"});
    EXPECT_EQ(kit->preferredLocalizations(), std::vector<std::string>{"ru-RU"});
    EXPECT_EQ(kit->localizedStringForKey("Yesterday", "", "DateUtils"), "Вчера");
    EXPECT_EQ(kit->localizedStringForKey("%d __days ago", "", "DateUtils"), "%d день назад");
    EXPECT_EQ(kit->localizedStringForKey("Last week", "", "DateUtils"), "Last week");

    // An .lproj folder used as a bundle of its own reads its top-level tables.
    auto ruFolder = NSBundle::bundleWithPath(kApp + "/ru.lproj");
    ASSERT_TRUE(ruFolder);
    EXPECT_EQ(ruFolder->localizedStringForKey("apptitle", "x", ""), "Подписанные прошивки");
    EXPECT_EQ(ruFolder->localizedStringForKey("nope", "x", ""), "x");

    NSBundle::registerBundleForClass("DUError", kit);
    EXPECT_EQ(NSBundle::bundleForClass("DUError"), kit);
    EXPECT_EQ(NSBundle::bundleForClass("Other"), NSBundle::mainBundle());
}

TEST(NSBundleDefaults, EnvironmentVariableChoosesTheMainBundle) {
    NSBundle::setMainBundlePathForTesting(std::nullopt);
    ::setenv(NSBundle::kPathEnvironmentVariable, kApp.c_str(), 1);
    EXPECT_EQ(NSBundle::mainBundle()->bundleIdentifier(), "com.example.testapp");
    ::unsetenv(NSBundle::kPathEnvironmentVariable);
    NSBundle::setMainBundlePathForTesting(std::nullopt);
    EXPECT_TRUE(NSBundle::mainBundle());  // some folder, never nothing
}

}  // namespace
