// A child parking reports in "uc.db" and building envelope files in a loop is killed with
// SIGKILL at random moments, twenty times: every report it acknowledged is still parked, the
// database passes its integrity check, and every envelope file decodes fully.

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVUcDB.h>
#include <analytics_common/ZVUtils.h>
#include <platform_foundation/NSJSONSerialization.h>

#include "AnalyticsTestSupport.h"
#include "CollectionSink.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

// The writer: from ZVTEST_FIRST on, one parked report and one envelope per round, each
// acknowledged once its call returned.
TEST(UploadCacheCrash, DISABLED_Writer) {
    ZVConfigureCache::sharedInstance()->setENetStatus(0);  // build only, never upload
    ZVConfigureCache::setObject(Value("crash-key"), "appkey");
    auto builder = ZVEnvelopeBuild::sharedInstance();
    const char* firstText = std::getenv("ZVTEST_FIRST");
    const int first = firstText ? std::atoi(firstText) : 0;
    const std::string filler(600, 'x');  // reports of about 1 KB
    for (int i = first;; ++i) {
        Value header = Value::dict({{"seq", i}});
        const Value parked = builder->insertToCacheTable(header, Value::dict({{"i", i}, {"f", filler}}), "a", "", "7.3.5");
        ASSERT_TRUE(parked.objectForKey(Value("exception")).isNull());
        std::printf("ROW %d\n", i);
        std::fflush(stdout);
        const Value built = builder->buildEnvelopeWithHeader(Value::dict({{"seq", i}}),
                                                             Value::dict({{"i", i}, {"f", filler}}), "", "a", "7.3.5");
        ASSERT_TRUE(built.objectForKey(Value("exception")).isNull());
        std::printf("ENV %d\n", i);
        std::fflush(stdout);
    }
}

TEST(UploadCacheCrash, AcknowledgedRowsAndFilesSurviveSIGKILL) {
    std::mt19937 random(std::random_device{}());
    std::set<int> ackedRows, ackedEnvelopes;
    int next = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        ::setenv("ZVTEST_FIRST", std::to_string(next).c_str(), 1);
        const auto [child, out] = zvtest::spawnSelfWithOutput("UploadCacheCrash.DISABLED_Writer");
        ASSERT_TRUE(out);
        // Killed after a random number of acknowledgements, while it keeps writing.
        const int target = std::uniform_int_distribution<int>(1, 30)(random);
        char line[256];
        int acks = 0, value = 0;
        while (acks < target && std::fgets(line, sizeof line, out)) {
            if (std::sscanf(line, "ROW %d", &value) == 1) ackedRows.insert(value), ++acks;
            if (std::sscanf(line, "ENV %d", &value) == 1) ackedEnvelopes.insert(value), ++acks;
            next = std::max(next, value + 1);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        std::fclose(out);
        ASSERT_EQ(acks, target) << "the writer stopped early";
        // A row or file the child wrote but had not acknowledged may exist: numbers go on.
        next += 2;

        const std::string db = ZVFileUtility::ucDBFilePath();
        const std::string report = zvtest::root() + "/integrity.txt";
        ASSERT_TRUE(zvsink::runCommand("python3 -c \"import sqlite3; c = sqlite3.connect('" + db +
                                       "'); print(c.execute('PRAGMA integrity_check').fetchone()[0])\" > " + report));
        EXPECT_EQ(readFile(report), "ok\n");
    }

    // Every acknowledged report is parked (the cells decrypt to their JSON).
    // (The cache hands out its oldest row only: read and remove them one by one.)
    std::set<int> parked;
    auto& cache = ZVUcDB::sharedInstance();
    for (;;) {
        const Value::Array rows = cache.loadEtTable(ZVUcDB::kTable);
        if (rows.empty()) break;
        const Value content =
            NSJSONSerialization::JSONObjectWithData(rows[0].objectForKey(Value("context")).asString());
        parked.insert(static_cast<int>(content.objectForKey(Value("i")).integerValue()));
        ASSERT_TRUE(cache.clearDataInTable(ZVUcDB::kTable, rows[0].objectForKey(Value("id")).asStdString()));
    }
    for (int i : ackedRows) EXPECT_TRUE(parked.count(i)) << "row " << i;

    // Every envelope file decodes fully; every acknowledged one is there.
    std::set<int> built;
    const std::string identity = ZVUtils::idfv() + ZVUtils::sharedUDIDString();
    const Value files = ZVFileUtility::envelopeFiles();
    for (const Value& f : files.asArray()) {
        const auto received = zvsink::decodeEnvelope(readFile(f.asStdString()), identity);
        EXPECT_TRUE(received.ok()) << f.asStdString() << ": " << (received.ok() ? "" : received.problems.front());
        const auto json = zvsink::parseJSON(received.json);
        if (json.IsObject() && json.HasMember("i")) built.insert(json["i"].GetInt());
    }
    for (int i : ackedEnvelopes) EXPECT_TRUE(built.count(i)) << "envelope " << i;
    EXPECT_GE(ackedRows.size(), 10u);
}
