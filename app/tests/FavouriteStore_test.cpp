// The favourite store: keyed archives of strings in the app-group suite, read back as an
// optional string; what another program reads from the file; damaged entries read as absent
// without being touched.

#include <gtest/gtest.h>

#include <app/store/ECUserDefaultsUtil.h>

#include "CatalogueTestServer.h"

#include <cstdio>
#include <filesystem>

namespace {

// One sandbox for the process: the shared store is made once and keeps its suite.
const auto* const environment = ::testing::AddGlobalTestEnvironment(new apptest::SandboxEnvironment);

// Runs python3 with the script; its standard output.
std::string python(const std::string& script, const std::string& path) {
    apptest::TempFolder dir("favpy");
    const std::string file = dir.path() + "/script.py";
    { std::ofstream(file) << script; }
    std::string out;
    FILE* p = ::popen(("/usr/bin/python3 " + file + " '" + path + "'").c_str(), "r");
    if (!p) return out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    ::pclose(p);
    return out;
}

class FavouriteStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ECUserDefaultsUtil::removeFavModel();
        ECUserDefaultsUtil::removeValidCount();
    }
    std::string suiteFile() const { return ECUserDefaultsUtil::groupUserDefaults()->userDefaults()->filePath(); }
};

TEST_F(FavouriteStoreTest, AbsentEmptyAndZeroAreThreeDifferentAnswers) {
    EXPECT_EQ(ECUserDefaultsUtil::favModelStr(), std::nullopt);
    EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), std::nullopt);

    const struct {
        const char* model;
        const char* count;
    } cases[] = {{"", ""}, {"iPhone10,3", "0"}, {"iPad8,1", "12"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " / " + c.count);
        ECUserDefaultsUtil::setFavModel(c.model);
        ECUserDefaultsUtil::setValidCount(c.count);
        EXPECT_EQ(ECUserDefaultsUtil::favModelStr(), std::optional<std::string>(c.model));
        EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), std::optional<std::string>(c.count));
    }
    ECUserDefaultsUtil::removeValidCount();
    EXPECT_EQ(ECUserDefaultsUtil::lastValidCount(), std::nullopt);
    EXPECT_EQ(ECUserDefaultsUtil::favModelStr(), std::optional<std::string>("iPad8,1"));
}

TEST_F(FavouriteStoreTest, OneSharedInstanceOverTheGroupSuite) {
    auto first = ECUserDefaultsUtil::groupUserDefaults();
    EXPECT_EQ(ECUserDefaultsUtil::groupUserDefaults(), first);
    ASSERT_TRUE(first->userDefaults());
    EXPECT_NE(suiteFile().find("group.com.velkor.quorin"), std::string::npos);
}

TEST_F(FavouriteStoreTest, EntriesSurviveAReopen) {
    ECUserDefaultsUtil::setFavModel("iPhone10,3");
    ECUserDefaultsUtil::setValidCount("3");
    // Written before the call returned: a new store over the same file reads them.
    NSUserDefaults::resetStandardUserDefaults();
    auto reopened = ECUserDefaultsUtil::initWithUserDefaults(NSUserDefaults::initWithSuiteName(ECUserDefaultsUtil::kSuiteName));
    EXPECT_EQ(reopened->stringItemForKey("ECKeyFavModel"), std::optional<std::string>("iPhone10,3"));
    EXPECT_EQ(reopened->stringItemForKey("ECKeyValidCount"), std::optional<std::string>("3"));
    EXPECT_EQ(reopened->itemForKey("ECKeyValidCount"), Value("3"));
}

TEST_F(FavouriteStoreTest, AnotherProgramReadsKeyedArchivesOfTheStrings) {
    ECUserDefaultsUtil::setFavModel("iPhone10,3");
    ECUserDefaultsUtil::setValidCount("7");
    const std::string out = python(R"(
import plistlib, sys
with open(sys.argv[1], 'rb') as f:
    suite = plistlib.load(f)
for key in ('ECKeyFavModel', 'ECKeyValidCount'):
    archive = plistlib.loads(suite[key])
    root = archive['$objects'][archive['$top']['root'].data]
    print(key, archive['$archiver'], root, root in archive['$objects'])
)",
                                   suiteFile());
    EXPECT_EQ(out, "ECKeyFavModel NSKeyedArchiver iPhone10,3 True\nECKeyValidCount NSKeyedArchiver 7 True\n");
}

TEST_F(FavouriteStoreTest, DamagedEntriesReadAsAbsentAndStayUntouched) {
    ECUserDefaultsUtil::setFavModel("iPhone10,3");
    const struct {
        const char* name;
        const char* value;  // a Python expression
    } cases[] = {
        {"not data", "42"},
        {"data that is no archive", "b'garbage bytes'"},
        {"an archive of a number",
         "plistlib.dumps({'$archiver': 'NSKeyedArchiver', '$version': 100000, '$top': {'root': plistlib.UID(1)}, "
         "'$objects': ['$null', 7]}, fmt=plistlib.FMT_BINARY)"},
        {"a truncated archive", "plistlib.dumps({'$archiver': 'NSKeyedArchiver'}, fmt=plistlib.FMT_BINARY)[:20]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = suiteFile();
        ASSERT_EQ(python(std::string("import plistlib, sys\n"
                                     "with open(sys.argv[1], 'rb') as f: suite = plistlib.load(f)\n"
                                     "suite['ECKeyFavModel'] = ") +
                             c.value + "\nsuite['ECKeyValidCount'] = " + c.value +
                             "\nwith open(sys.argv[1], 'wb') as f: plistlib.dump(suite, f, fmt=plistlib.FMT_BINARY)\n"
                             "print('ok')\n",
                         file),
                  "ok\n");
        const std::string before = apptest::readFile(file);
        NSUserDefaults::resetStandardUserDefaults();
        auto reopened =
            ECUserDefaultsUtil::initWithUserDefaults(NSUserDefaults::initWithSuiteName(ECUserDefaultsUtil::kSuiteName));
        EXPECT_EQ(reopened->stringItemForKey("ECKeyFavModel"), std::nullopt);
        EXPECT_EQ(reopened->stringItemForKey("ECKeyValidCount"), std::nullopt);
        EXPECT_FALSE(reopened->objectForKey("ECKeyFavModel").isNull());
        NSUserDefaults::resetStandardUserDefaults();
        EXPECT_EQ(apptest::readFile(file), before);
    }
}

}  // namespace
