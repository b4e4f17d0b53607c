// The upload cache against a real "uc.db": rows read back by Python's sqlite3, cells decrypted
// by the openssl command line, key checks across reopenings, and corrupt files.

#include <cstdio>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "AnalyticsTestSupport.h"
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVUcDB.h>
#include <analytics_common/ZVUtils.h>

namespace {

std::string run(const std::string& cmd) {
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = zvtest::root() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class UploadCache : public ::testing::Test {
protected:
    ZVUcDB& db = ZVUcDB::sharedInstance();
    void SetUp() override { ASSERT_TRUE(db.clearDataInTable(ZVUcDB::kTable, "")); }
    std::string oldestId() {
        const auto rows = db.loadEtTable(ZVUcDB::kTable);
        return rows.empty() ? std::string() : rows[0].asDictionary().at(Value("id")).asStdString();
    }
};

TEST_F(UploadCache, RowsComeBackOldestFirstOneAtATime) {
    ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "{\"a\":1}", "{\"h\":1}", "a", "", "1.0"));
    ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "it's \"quoted\"'); DROP TABLE __ct; --", "{'h':2}", "ta",
                                 "/stateless/x", "2.0"));
    EXPECT_EQ(db.rowCountInTable(ZVUcDB::kTable), 2);

    auto rows = db.loadEtTable(ZVUcDB::kTable);
    ASSERT_EQ(rows.size(), 1u);
    const auto& first = rows[0].asDictionary();
    EXPECT_EQ(first.at(Value("context")).asStdString(), "{\"a\":1}");
    EXPECT_EQ(first.at(Value("header")).asStdString(), "{\"h\":1}");
    EXPECT_EQ(first.at(Value("type")).asStdString(), "a");
    EXPECT_EQ(first.at(Value("path")).asStdString(), "");
    EXPECT_EQ(first.at(Value("version")).asStdString(), "1.0");
    ASSERT_TRUE(db.clearDataInTable(ZVUcDB::kTable, first.at(Value("id")).asStdString()));

    rows = db.loadEtTable(ZVUcDB::kTable);
    ASSERT_EQ(rows.size(), 1u);
    const auto& second = rows[0].asDictionary();
    EXPECT_EQ(second.at(Value("context")).asStdString(), "it's \"quoted\"'); DROP TABLE __ct; --");
    EXPECT_EQ(second.at(Value("header")).asStdString(), "{'h':2}");
    EXPECT_EQ(second.at(Value("path")).asStdString(), "/stateless/x");
    ASSERT_TRUE(db.clearDataInTable(ZVUcDB::kTable, second.at(Value("id")).asStdString()));
    EXPECT_TRUE(db.loadEtTable(ZVUcDB::kTable).empty());
    EXPECT_EQ(db.rowCountInTable(ZVUcDB::kTable), 0);
}

TEST_F(UploadCache, RowsOfOneMillisecondKeepInsertionOrder) {
    // Many rows land in the same millisecond; the replay order must still be the insertion order.
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, std::to_string(i), "", "a", "", ""));
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const auto rows = db.loadEtTable(ZVUcDB::kTable);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].asDictionary().at(Value("context")).asStdString(), std::to_string(i));
        ASSERT_TRUE(db.clearDataInTable(ZVUcDB::kTable, rows[0].asDictionary().at(Value("id")).asStdString()));
    }
}

TEST_F(UploadCache, DeletingByIdOnlyTouchesThatRow) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "x", "", "a", "", ""));
    const std::string id = oldestId();
    struct Case {
        std::string sid;
        int64_t left;
    } cases[] = {{"abc", 3}, {id + " OR 1=1", 3}, {"999999999999", 3}, {id, 2}, {"", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sid);
        (void)db.clearDataInTable(ZVUcDB::kTable, c.sid);
        EXPECT_EQ(db.rowCountInTable(ZVUcDB::kTable), c.left);
    }
}

TEST_F(UploadCache, StoredCellsReadByPythonAndOpenssl) {
    if (std::system("/usr/bin/python3 -c 'import sqlite3' > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    if (std::system("openssl version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no openssl";
    const uint64_t before = ZVUtils::UTCIntervalMS();
    ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "{\"k\":\"v'\"}", "{\"hd\":1}", "z", "", "7.3.5"));
    const uint64_t after = ZVUtils::UTCIntervalMS();

    const std::string script = writeFile("read_uc.py", R"(
import sqlite3, sys
c = sqlite3.connect(sys.argv[1])
print(c.execute("select sql from sqlite_master where name='__ct'").fetchone()[0])
for r in c.execute("select __c, __h, __t, typeof(__s), __s, __x, typeof(__z), __y from __ct"):
    print("\n".join(str(v) for v in r))
)");
    const std::string out = run("/usr/bin/python3 " + script + " " + ZVFileUtility::ucDBFilePath());
    std::vector<std::string> lines;
    for (std::size_t pos = 0, next; pos < out.size(); pos = next + 1) {
        next = out.find('\n', pos);
        if (next == std::string::npos) next = out.size();
        lines.push_back(out.substr(pos, next - pos));
    }
    ASSERT_EQ(lines.size(), 9u) << out;
    EXPECT_EQ(lines[0], "CREATE TABLE __ct (id INTEGER, __c TEXT, __h TEXT, __t TEXT, __s BIGINT, __x TEXT, __y TEXT, "
                        "__z TEXT, PRIMARY KEY (id))");
    EXPECT_EQ(lines[3], "z");
    EXPECT_EQ(lines[4], "integer");
    const uint64_t stamp = std::stoull(lines[5]);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "null");
    EXPECT_EQ(lines[8], "7.3.5");

    const std::string key = ZVUcDB::getAESKey();
    ASSERT_EQ(key.size(), 16u);
    const std::string iv = "3e91c07a5d2b64f8a1097e3dc45b2f60";
    for (auto [cell, plain] : {std::pair{lines[1], std::string("{\"k\":\"v'\"}")}, {lines[2], std::string("{\"hd\":1}")}}) {
        SCOPED_TRACE(plain);
        const std::string file = writeFile("cell.b64", cell + "\n");
        EXPECT_EQ(run("openssl enc -d -aes-128-cbc -a -A -K " + hex(key) + " -iv " + iv + " -in " + file), plain);
    }
}

TEST(UploadCacheKey, Derivation) {
    struct Case {
        std::string material, key;
    } cases[] = {
        {"", ""},
        {"A123456789XYZ", "98765432" "23456789"},
        {"x0a0b0c0dzz", "0a0b0c0d" "d0c0b0a0"},
        // Under 9 characters: padded with "0" to 9 first.
        {"abc", "bc000000" "000000cb"},
        {"a12345678", "98765432" "23456789"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.material);
        EXPECT_EQ(ZVUcDB::deriveKey(c.material), c.key);
    }
}

// Reopening after the key material changed: the stored marker decides whether rows survive.
TEST_F(UploadCache, KeyCheckOnOpening) {
    struct Case {
        const char* name;
        std::function<void()> change;
        bool rowsKept;
    } cases[] = {
        {"nothing changed", [] {}, true},
        // The material falls back to the shared identifier, which is what was stored: readable.
        {"material removed", [] { ZVConfigureCache::removeObjectForKey("zvDBKey"); }, true},
        {"material replaced", [] { ZVConfigureCache::setObject(Value("another-material-123"), "zvDBKey"); }, false},
        {"marker garbage", [] { ZVConfigureCache::setObject(Value("bm90IGEgbWFya2Vy"), "zvAESMsg"); }, false},
        {"both removed",
         [] {
             ZVConfigureCache::removeObjectForKey("zvDBKey");
             ZVConfigureCache::removeObjectForKey("zvAESMsg");
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "row", "", "a", "", ""));
        zvUcDBCloseForTesting();
        c.change();
        EXPECT_EQ(db.rowCountInTable(ZVUcDB::kTable), c.rowsKept ? 1 : 0);
        // Fresh material and a readable marker are stored after the check.
        EXPECT_EQ(ZVConfigureCache::objectWithKey("zvDBKey").asStdString(), ZVUtils::sharedUDIDString());
        EXPECT_EQ(ZVUcDB::AESDecryptData(ZVConfigureCache::objectWithKey("zvAESMsg").asStdString()), "zavez+");
        const auto rows = db.loadEtTable(ZVUcDB::kTable);
        if (c.rowsKept) {
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].asDictionary().at(Value("context")).asStdString(), "row");
        }
        ASSERT_TRUE(db.clearDataInTable(ZVUcDB::kTable, ""));
    }
}

TEST_F(UploadCache, GarbageOrCorruptFileIsRecreatedEmpty) {
    ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "row", "", "a", "", ""));
    zvUcDBCloseForTesting();
    const std::string path = ZVFileUtility::ucDBFilePath();
    for (const char* suffix : {"-wal", "-shm"}) std::remove((path + suffix).c_str());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(8192, 'g');
    EXPECT_EQ(db.rowCountInTable(ZVUcDB::kTable), 0);
    ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "after", "", "a", "", ""));
    EXPECT_EQ(db.rowCountInTable(ZVUcDB::kTable), 1);
}

TEST_F(UploadCache, UnopenableFileIsKeptAndOpenedLater) {
    ASSERT_TRUE(db.insertToTable(ZVUcDB::kTable, "parked", "", "a", "", ""));
    zvUcDBCloseForTesting();
    const std::string dir = ZVFileUtility::zavezDirectory();
    const std::string path = ZVFileUtility::ucDBFilePath();
    // A directory where a -shm file must go makes opening fail without touching the database.
    for (const char* suffix : {"-wal", "-shm"}) std::remove((path + suffix).c_str());
    ASSERT_EQ(::mkdir((path + "-shm").c_str(), 0700), 0);
    (void)db.rowCountInTable(ZVUcDB::kTable);
    zvUcDBCloseForTesting();
    ::rmdir((path + "-shm").c_str());
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(path));
    EXPECT_EQ(db.rowCountInTable(ZVUcDB::kTable), 1);
}

}  // namespace
