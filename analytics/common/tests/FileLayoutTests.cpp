// The analytics folder layout: never-overwriting saves, hidden files, sub-folders, stateless
// names and folders, and the age order of listings.

#include <analytics_common/ZVFileUtility.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>
#include <platform_foundation/NSDataFile.h>

#include "AnalyticsTestSupport.h"

namespace {
Value::Data bytes(const std::string& s) { return Value::Data(s.begin(), s.end()); }
std::string read(const std::string& path) {
    auto d = NSDataFile::dataWithContentsOfFile(path);
    return d ? std::string(d->begin(), d->end()) : std::string("<none>");
}
std::vector<std::string> names(const Value& paths) {
    std::vector<std::string> out;
    for (const Value& p : paths.asArray()) {
        const std::string s(p.asString());
        out.push_back(s.substr(s.rfind('/') + 1));
    }
    return out;
}
}  // namespace

TEST(FileLayout, RootUnderLibraryAndFixedPaths) {
    const std::string root = ZVFileUtility::zavezDirectory();
    EXPECT_EQ(root, ZVFileUtility::cacheParentDir() + "/.zavez");
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(root));
    EXPECT_EQ(ZVFileUtility::ucDBFilePath(), root + "/uc.db");
    EXPECT_EQ(ZVFileUtility::uaDBFilePath(), root + "/ua.db");
    EXPECT_EQ(ZVFileUtility::generateEnvelopeNamePrefix("a==7.3.5&=1.0", "1700000000123"),
              root + "/a==7.3.5&=1.0_1700000000123_envelope.log");
}

TEST(FileLayout, SaveNeverOverwritesEvenUnderARace) {
    const std::string path = ZVFileUtility::generateEnvelopeNamePrefix("race", "1");
    const Value::Data first = bytes("first");
    EXPECT_TRUE(ZVFileUtility::saveData(&first, path));
    const Value::Data second = bytes("second");
    EXPECT_FALSE(ZVFileUtility::saveData(&second, path));
    EXPECT_FALSE(ZVFileUtility::saveData(nullptr, path + ".x"));
    EXPECT_EQ(read(path), "first");

    // Eight writers, one name: exactly one wins and its bytes are whole.
    const std::string contested = ZVFileUtility::generateEnvelopeNamePrefix("race", "2");
    std::atomic<int> wins{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&, i] {
            const Value::Data body(4096, static_cast<uint8_t>('a' + i));
            if (ZVFileUtility::saveData(&body, contested)) ++wins;
        });
    for (auto& w : writers) w.join();
    EXPECT_EQ(wins.load(), 1);
    const std::string body = read(contested);
    ASSERT_EQ(body.size(), 4096u);
    EXPECT_EQ(body.find_first_not_of(body[0]), std::string::npos);
    // No temporaries are left beside it.
    for (const auto& n : names(ZVFileUtility::itemsInAbsDir(ZVFileUtility::zavezDirectory())))
        EXPECT_EQ(n.find(".zvtmp"), std::string::npos);
}

TEST(FileLayout, ListingsSkipHiddenFilesAndFilterTheSuffix) {
    const std::string root = ZVFileUtility::zavezDirectory();
    const Value::Data body = bytes("x");
    ZVFileUtility::saveData(&body, root + "/.hidden_1_envelope.log");
    ZVFileUtility::saveData(&body, root + "/b_2_envelope.log");
    ZVFileUtility::saveData(&body, root + "/notes.txt");
    const auto envelopes = names(ZVFileUtility::envelopeFiles());
    EXPECT_EQ(std::count(envelopes.begin(), envelopes.end(), ".hidden_1_envelope.log"), 0);
    EXPECT_EQ(std::count(envelopes.begin(), envelopes.end(), "b_2_envelope.log"), 1);
    EXPECT_EQ(std::count(envelopes.begin(), envelopes.end(), "notes.txt"), 0);
    EXPECT_EQ(ZVFileUtility::itemsInAbsDir("").count(), 0u);
    EXPECT_EQ(ZVFileUtility::itemsInAbsDir(root + "/missing").count(), 0u);
}

TEST(FileLayout, SubFolders) {
    const std::string root = ZVFileUtility::zavezDirectory();
    for (const Value& bad : {Value(), Value(5), Value(""), Value("  ")}) {
        SCOPED_TRACE(bad.description());
        EXPECT_EQ(ZVFileUtility::envelopeFilesWithSubFolder(bad).count(), 0u);
    }
    EXPECT_FALSE(ZVFileUtility::generateEnvelopeNamePrefixSubFolder("p", "1", ""));
    auto path = ZVFileUtility::generateEnvelopeNamePrefixSubFolder("ta==7.3.5&&1.0", "5", "sessionstart/deep");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, root + "/sessionstart/deep/ta==7.3.5&&1.0_5_envelope.log");
    const Value::Data body = bytes("s");
    EXPECT_TRUE(ZVFileUtility::saveData(&body, *path));
    EXPECT_EQ(names(ZVFileUtility::envelopeFilesWithSubFolder(Value("sessionstart/deep"))),
              std::vector<std::string>{"ta==7.3.5&&1.0_5_envelope.log"});
    // Sub-folders are not envelope files of the root.
    for (const auto& n : names(ZVFileUtility::envelopeFiles())) EXPECT_NE(n, "sessionstart");
}

TEST(FileLayout, StatelessNamesAndFolders) {
    // A target whose Base64 holds "/" stays one file name.
    EXPECT_EQ(ZVFileUtility::statelessNameFromPath("/t?q=>"), "L3Q-cT0+");
    EXPECT_EQ(ZVFileUtility::pathFromStatelessName("L3Q-cT0+"), "/t?q=>");
    const std::string path = ZVFileUtility::generateEnvelopeNamePrefixPathURL("zv==1&=", "9", "/t?q=>");
    EXPECT_EQ(path, ZVFileUtility::zvStatelessDirectory() + "/L3Q-cT0+_zv==1&=_9_envelope.log");
    const Value::Data body = bytes("sl");
    EXPECT_TRUE(ZVFileUtility::saveData(&body, path));

    const std::string full = ZVFileUtility::statelessDirWithEncodeURL("aHR0cA");
    EXPECT_TRUE(ZVFileUtility::saveData(&body, full + "/x_1_envelope.log"));
    const std::string empty = ZVFileUtility::statelessDirWithEncodeURL("ZW1wdHk");
    const auto listed = names(ZVFileUtility::statelessEnvelopeFile());
    EXPECT_EQ(listed, (std::vector<std::string>{"L3Q-cT0+_zv==1&=_9_envelope.log", "x_1_envelope.log"}));
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(empty));  // an empty per-URL folder goes
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(full));
}

TEST(FileLayout, SortOldestFirstWithNameOrderForEqualAges) {
    const Value::Data body = bytes("o");
    // Files made within one wall-clock second have equal whole-second ages: name order.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::string dir = ZVFileUtility::zavezDirectory() + "/sorting" + std::to_string(attempt);
        ZVFileUtility::makeAbsDir(dir);
        const time_t before = ::time(nullptr);
        Value paths = Value::mutableArray();
        for (const char* n : {"c", "a", "b"}) {
            ZVFileUtility::saveData(&body, dir + "/" + n);
            paths.addObject(Value(dir + "/" + n));
        }
        if (::time(nullptr) != before) continue;
        ZVFileUtility::sortFileWithCreatedTime(paths);
        EXPECT_EQ(names(paths), (std::vector<std::string>{"a", "b", "c"}));
        return;
    }
    GTEST_SKIP() << "the clock kept ticking between files";
}

TEST(FileLayout, StaleTemporariesGoWhenANewProcessComputesTheRoot) {
    const std::string stale = ZVFileUtility::zavezDirectory() + "/.zvtmp-99999-1";
    ASSERT_TRUE(NSDataFile::writeStringToFile("torn", stale, false));
    EXPECT_TRUE(zvtest::runAsNewLaunch("FileLayout.DISABLED_RootIsComputed"));
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(stale));
}

TEST(FileLayout, DISABLED_RootIsComputed) { EXPECT_FALSE(ZVFileUtility::zavezDirectory().empty()); }
