#include <platform_foundation/NSLocale.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

TEST(NSLocaleTest, PartsOfIdentifiers) {
    struct Case {
        const char* identifier;
        const char* language;
        std::optional<std::string> country, script, variant;
    } cases[] = {
        {"en_US_POSIX", "en", "US", std::nullopt, "POSIX"},
        {"ru_RU", "ru", "RU", std::nullopt, std::nullopt},
        {"ru", "ru", std::nullopt, std::nullopt, std::nullopt},
        {"zh-Hans", "zh", std::nullopt, "Hans", std::nullopt},
        {"zh_Hant_TW", "zh", "TW", "Hant", std::nullopt},
        {"en-GB", "en", "GB", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.identifier);
        auto locale = NSLocale::localeWithLocaleIdentifier(c.identifier);
        ASSERT_TRUE(locale);
        EXPECT_EQ(locale->localeIdentifier(), c.identifier);  // kept as given
        EXPECT_EQ(locale->languageCode(), c.language);
        EXPECT_EQ(locale->countryCode(), c.country);
        EXPECT_EQ(locale->scriptCode(), c.script);
        EXPECT_EQ(locale->variantCode(), c.variant);
        EXPECT_EQ(locale->objectForKey(NSLocaleIdentifier), c.identifier);
        EXPECT_EQ(locale->objectForKey(NSLocaleLanguageCode), c.language);
        EXPECT_EQ(locale->objectForKey(NSLocaleCountryCode), c.country);
        EXPECT_EQ(locale->objectForKey(NSLocaleScriptCode), c.script);
        EXPECT_EQ(locale->objectForKey("no such key"), std::nullopt);
    }
}

TEST(NSLocaleTest, CanonicalLanguageIdentifiers) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"en_US", "en-US"}, {"en-US", "en-US"}, {"zh_Hans", "zh-Hans"}, {"zh-hans-cn", "zh-Hans-CN"},
        {"EN", "en"},       {"ru_RU", "ru-RU"}, {"pt_BR", "pt-BR"},
    };
    for (const auto& c : cases) EXPECT_EQ(NSLocale::canonicalLanguageIdentifierFromString(c.in), c.out) << c.in;
}

TEST(NSLocaleTest, EqualityByIdentifier) {
    auto a = NSLocale::localeWithLocaleIdentifier("ru_RU");
    EXPECT_TRUE(a->isEqual(*NSLocale::localeWithLocaleIdentifier("ru_RU")));
    EXPECT_EQ(a->hash(), NSLocale::localeWithLocaleIdentifier("ru_RU")->hash());
    EXPECT_FALSE(a->isEqual(*NSLocale::localeWithLocaleIdentifier("ru")));
    EXPECT_FALSE(a->isEqual(NSObject()));
}

// Replaces the locale variables for one test, restoring them and the cached values afterwards.
class NSLocaleEnvironmentTest : public ::testing::Test {
protected:
    static constexpr const char* kVars[] = {"LANGUAGE", "LC_ALL", "LANG"};

    void SetUp() override {
        for (const char* v : kVars) {
            const char* value = std::getenv(v);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(v);
        }
        NSLocale::setCurrentLocale(nullptr);
        NSLocale::setPreferredLanguages(std::nullopt);
    }
    void TearDown() override {
        for (size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i])
                setenv(kVars[i], saved_[i]->c_str(), 1);
            else
                unsetenv(kVars[i]);
        }
        NSLocale::setCurrentLocale(nullptr);
        NSLocale::setPreferredLanguages(std::nullopt);
    }

    std::vector<std::optional<std::string>> saved_;
};

TEST_F(NSLocaleEnvironmentTest, CurrentLocaleFromEnvironment) {
    struct Case {
        const char* lcAll;
        const char* lang;
        const char* expected;
    } cases[] = {
        {nullptr, "ru_RU.UTF-8", "ru_RU"},
        {"de_DE.UTF-8@euro", "ru_RU.UTF-8", "de_DE"},
        {nullptr, "C", "en_US_POSIX"},
        {nullptr, "C.UTF-8", "en_US_POSIX"},
        {nullptr, nullptr, "en_US_POSIX"},
    };
    for (const auto& c : cases) {
        if (c.lcAll) setenv("LC_ALL", c.lcAll, 1); else unsetenv("LC_ALL");
        if (c.lang) setenv("LANG", c.lang, 1); else unsetenv("LANG");
        NSLocale::setCurrentLocale(nullptr);
        EXPECT_EQ(NSLocale::currentLocale()->localeIdentifier(), c.expected)
            << "LC_ALL=" << (c.lcAll ? c.lcAll : "") << " LANG=" << (c.lang ? c.lang : "");
    }
}

TEST_F(NSLocaleEnvironmentTest, CurrentLocaleIsSettable) {
    setenv("LANG", "ru_RU.UTF-8", 1);
    auto fr = NSLocale::localeWithLocaleIdentifier("fr_FR");
    NSLocale::setCurrentLocale(fr);
    EXPECT_EQ(NSLocale::currentLocale(), fr);
    EXPECT_EQ(NSLocale::autoupdatingCurrentLocale(), fr);
    NSLocale::setCurrentLocale(nullptr);
    EXPECT_EQ(NSLocale::currentLocale()->localeIdentifier(), "ru_RU");
    EXPECT_EQ(NSLocale::currentLocale()->countryCode(), "RU");
}

TEST_F(NSLocaleEnvironmentTest, PreferredLanguagesFromEnvironment) {
    struct Case {
        const char* language;
        const char* lang;
        Strings expected;
    } cases[] = {
        {"ru_RU:en:C", "de_DE.UTF-8", {"ru-RU", "en"}},
        {nullptr, "de_DE.UTF-8", {"de-DE"}},
        {"", "en_GB.UTF-8", {"en-GB"}},
        {nullptr, "C", {"en"}},
        {nullptr, nullptr, {"en"}},
    };
    for (const auto& c : cases) {
        if (c.language) setenv("LANGUAGE", c.language, 1); else unsetenv("LANGUAGE");
        if (c.lang) setenv("LANG", c.lang, 1); else unsetenv("LANG");
        EXPECT_EQ(NSLocale::preferredLanguages(), c.expected)
            << "LANGUAGE=" << (c.language ? c.language : "") << " LANG=" << (c.lang ? c.lang : "");
    }
}

TEST_F(NSLocaleEnvironmentTest, PreferredLanguagesAreSettableEvenToNone) {
    NSLocale::setPreferredLanguages(Strings{"zh-Hans", "en-US"});
    EXPECT_EQ(NSLocale::preferredLanguages(), (Strings{"zh-Hans", "en-US"}));
    NSLocale::setPreferredLanguages(Strings{});
    EXPECT_TRUE(NSLocale::preferredLanguages().empty());
    NSLocale::setPreferredLanguages(std::nullopt);
    EXPECT_EQ(NSLocale::preferredLanguages(), Strings{"en"});
}

}  // namespace
