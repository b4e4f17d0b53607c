// The firmware-browser program end to end: the app on its own loopback
// catalogue server, driven through keys, read from the printed screen and
// from the sandbox's System records.

#include "HostTestSupport.h"

#include <platform_foundation/NSJSONSerialization.h>

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

const std::string kCatalogue = PROJECT_SOURCE_DIR "/resources/catalogue";
// The device list's row of iPhone12,1 (0-based).
constexpr int kIPhone11Row = 32;

Value readJSON(const fs::path& path) {
    return NSJSONSerialization::JSONObjectWithData(std::string_view(readFile(path)));
}

std::string repeat(const std::string& key, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += key + " ";
    return out;
}

class FirmwareBrowser : public ::testing::Test {
protected:
    ChildProcess::Options env() const {
        ChildProcess::Options o;
        o.environment = {{"APP_DEVICE_ROOT", folder_.root() + "/device"}, {"APP_SANDBOX_ROOT", folder_.sandbox()}};
        o.unset = {"APP_CATALOGUE_BASE_URL", "APP_JAILBREAK_BASE_URL", "APP_NETWORK", "APP_TRUSTED_ROOTS",
                   "APP_BUNDLE_PATH"};
        return o;
    }
    ProgramRun print(std::vector<std::string> args, ChildProcess::Options o) {
        args.push_back("--print-screen");
        ProgramRun r = runProgram(FIRMWARE_BROWSER_PROGRAM, args, o, 60);
        return r;
    }
    ProgramRun print(std::vector<std::string> args) { return print(std::move(args), env()); }
    void SetUp() override {
        ProgramRun probe = print({});
        if (probe.code == 1 && (probe.err.find("no application delegate named AppDelegate") != std::string::npos ||
                                probe.err.find("app bundle not found") != std::string::npos))
            GTEST_SKIP() << "the app is not linked into this build";
        ASSERT_EQ(probe.code, 0) << probe.err;
        first_ = probe.out;
    }

    HostFolder folder_;
    std::string first_;
};

}  // namespace

TEST_F(FirmwareBrowser, TheFirstScreenIsTheDeviceList) {
    EXPECT_NE(first_.find("iPhone 1  (iPhone1,1)"), std::string::npos) << first_;
    EXPECT_NE(first_.find("active · airplane off"), std::string::npos);
}

TEST_F(FirmwareBrowser, EnterShowsTheDevicesBuildsSignedFirst) {
    ProgramRun r = print({"--keys", "Enter"});
    ASSERT_EQ(r.code, 0) << r.err;
    Value device = readJSON(kCatalogue + "/api/ios/v4/device/iPhone1,1.json");
    std::size_t lastSigned = 0, firstUnsigned = std::string::npos;
    int shown = 0;
    for (const auto& f : device.objectForKey(Value(std::string("firmwares"))).asArray()) {
        std::string row = f.objectForKey(Value(std::string("version"))).stringValue() + "  (" + f.objectForKey(Value(std::string("buildid"))).stringValue() + ")";
        auto at = r.out.find(row);
        if (at == std::string::npos) continue;  // below the fold
        ++shown;
        if (f.objectForKey(Value(std::string("signed"))).boolValue())
            lastSigned = std::max(lastSigned, at);
        else
            firstUnsigned = std::min(firstUnsigned, at);
    }
    EXPECT_GT(shown, 0) << r.out;
    if (firstUnsigned != std::string::npos) EXPECT_LT(lastSigned, firstUnsigned) << r.out;
    EXPECT_TRUE(r.out.find("✅") != std::string::npos || r.out.find("❌") != std::string::npos) << r.out;
}

// A refresh pulled on the builds ends with the list back where it rests and the header out of
// sight: the screen is the one the first load printed.
TEST_F(FirmwareBrowser, ARefreshOfTheBuildsEndsWithTheListAtRest) {
    ProgramRun loaded = print({"--keys", "Enter"});
    ASSERT_EQ(loaded.code, 0) << loaded.err;
    ProgramRun refreshed = print({"--keys", "Enter r"});
    ASSERT_EQ(refreshed.code, 0) << refreshed.err;
    EXPECT_EQ(refreshed.out.find("Loading"), std::string::npos) << refreshed.out;
    EXPECT_EQ(refreshed.out.find("Last updated"), std::string::npos) << refreshed.out;
    EXPECT_EQ(refreshed.out, loaded.out);
}

TEST_F(FirmwareBrowser, TheOtherTabsShowReleasesAndTheVersion) {
    ProgramRun releases = print({"--keys", "2"});
    ASSERT_EQ(releases.code, 0) << releases.err;
    Value list = readJSON(kCatalogue + "/api/ios/v4/releases.json");
    int found = 0;
    // The document is the list of days, each with its releases.
    ASSERT_TRUE(list.isArray());
    for (const auto& day : list.asArray())
        for (const auto& item : day.objectForKey(Value(std::string("releases"))).asArray())
            if (releases.out.find(item.objectForKey(Value(std::string("name"))).stringValue()) != std::string::npos) ++found;
    EXPECT_GT(found, 0) << releases.out;

    ProgramRun settings = print({"--keys", "3"});
    ASSERT_EQ(settings.code, 0) << settings.err;
    std::string plist = readFile(PROJECT_SOURCE_DIR "/resources/Info.plist");
    auto key = plist.find("CFBundleShortVersionString");
    ASSERT_NE(key, std::string::npos);
    auto open = plist.find("<string>", key) + 8;
    std::string version = plist.substr(open, plist.find("</string>", open) - open);
    EXPECT_NE(settings.out.find(version), std::string::npos) << version << "\n" << settings.out;
}

// A drag let go past the top of a list without a refresh header bounces back before the
// screen is printed; on an older system the bars' heights keep the first rows below the bar.
TEST_F(FirmwareBrowser, AListSettlesBelowTheBarAfterADragAndOnOlderSystems) {
    ProgramRun dragged = print({"--keys", "r"});
    ASSERT_EQ(dragged.code, 0) << dragged.err;
    EXPECT_NE(dragged.out.find("iPhone 1  (iPhone1,1)"), std::string::npos) << dragged.out;

    Value device = readJSON(kCatalogue + "/api/ios/v4/device/iPhone1,1.json");
    const Value& firstBuild = device.objectForKey(Value(std::string("firmwares"))).asArray().front();
    ProgramRun old = print({"--os", "9.3.5", "--keys", "Enter"});
    ASSERT_EQ(old.code, 0) << old.err;
    EXPECT_NE(old.out.find(firstBuild.objectForKey(Value(std::string("buildid"))).stringValue()), std::string::npos)
        << old.out;
}

TEST_F(FirmwareBrowser, PresentShowsTheJailbreakTools) {
    ProgramRun r = print({"--present", "jailbreaks"});
    ASSERT_EQ(r.code, 0) << r.err;
    Value list = readJSON(kCatalogue + "/jailbreaks.json");
    int found = 0;
    for (const auto& item : list.objectForKey(Value(std::string("jailbreaks"))).asArray())
        if (item.objectForKey(Value(std::string("jailbroken"))).boolValue() &&
            r.out.find("Jailbreak using [" + item.objectForKey(Value(std::string("name"))).stringValue() + "]") != std::string::npos)
            ++found;
    EXPECT_GT(found, 0) << r.out;
}

TEST_F(FirmwareBrowser, OfflineShowsNoRows) {
    ProgramRun r = print({"--offline", "--keys", "Enter"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find("  ("), r.out.find("iPhone 1  (")) << "no build rows\n" << r.out;
    EXPECT_NE(r.out.find("airplane on"), std::string::npos);
}

TEST_F(FirmwareBrowser, TheBackgroundCheckNotifiesOnceWhenTheSignedCountChanges) {
    // A copy of the catalogue the test can change between runs.
    std::string copy = folder_.root() + "/catalogue";
    fs::copy(kCatalogue, copy, fs::copy_options::recursive);
    ProgramRun open = print({"--catalogue-root", copy, "--keys", repeat("Down", kIPhone11Row) + "Enter *"});
    ASSERT_EQ(open.code, 0) << open.err;
    ASSERT_NE(open.out.find("iPhone 11"), std::string::npos) << open.out;

    // One build's "signed" flips.
    std::string v3 = copy + "/api/ios/v3/device/iPhone12,1.json";
    std::string text = readFile(v3);
    auto at = text.find("\"signed\": true");
    bool wasTrue = at != std::string::npos;
    if (!wasTrue) at = text.find("\"signed\": false");
    ASSERT_NE(at, std::string::npos) << text.substr(0, 400);
    text.replace(at, wasTrue ? 14 : 15, wasTrue ? "\"signed\": false" : "\"signed\": true");
    std::ofstream(v3, std::ios::binary | std::ios::trunc) << text;

    std::string records = folder_.system() + "/notifications.jsonl";
    ProgramRun changed = print({"--catalogue-root", copy, "--keys", "f"});
    ASSERT_EQ(changed.code, 0) << changed.err;
    EXPECT_NE(changed.out.find("fetch: new data"), std::string::npos) << changed.out;
    std::string log = readFile(records);
    EXPECT_EQ(countLines(log, "\"ECLocalNotification\""), 1u) << log;
    EXPECT_EQ(countLines(log, "\"outcome\":\"presented\""), 1u) << log;
    EXPECT_NE(log.find("iPhone 11"), std::string::npos) << log;

    ProgramRun same = print({"--catalogue-root", copy, "--keys", "f"});
    ASSERT_EQ(same.code, 0) << same.err;
    EXPECT_NE(same.out.find("fetch: no data"), std::string::npos) << same.out;
    EXPECT_EQ(countLines(readFile(records), "\"ECLocalNotification\""), 1u);
}

TEST_F(FirmwareBrowser, FeedbackMailGoesToTheOutboxOrFailsWithoutAnAccount) {
    // Settings, the feedback row (the second), Send.
    ProgramRun sent = print({"--keys", "3 Down Enter s"});
    ASSERT_EQ(sent.code, 0) << sent.err;
    std::vector<fs::path> outbox;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder_.system() + "/Outbox", ec)) outbox.push_back(e.path());
    ASSERT_EQ(outbox.size(), 1u) << sent.out;
    EXPECT_NE(sent.out.find("outbox: " + outbox[0].filename().string()), std::string::npos) << sent.out;
    ChildProcess python({"/usr/bin/python3", "-c",
                         "import sys, email\n"
                         "m = email.message_from_binary_file(open(sys.argv[1], 'rb'))\n"
                         "print(m['To']); print(m['Subject'])\n",
                         outbox[0].string()});
    ASSERT_EQ(python.wait(), 0) << python.err;
    EXPECT_NE(python.out.find("@"), std::string::npos) << python.out;
    EXPECT_NE(python.out.find("Feedback"), std::string::npos) << python.out;

    ProgramRun refused = print({"--no-mail", "--keys", "3 Down Enter"});
    ASSERT_EQ(refused.code, 0) << refused.err;
    EXPECT_EQ(refused.out.find("Subject: Feedback"), std::string::npos) << refused.out;
}

TEST_F(FirmwareBrowser, LiveFlagsTalkToTheGivenServerOnlyWhenItsRootIsTrusted) {
    // The standalone server stands in for a live service.
    ChildProcess server({CATALOGUE_SERVER_PROGRAM});
    auto line = server.readLine(20);
    ASSERT_TRUE(line) << server.err;
    std::string url = line->substr(0, line->find(' ')), ca = line->substr(line->find("ca=") + 3);
    auto trusted = env();
    trusted.environment["APP_TRUSTED_ROOTS"] = ca;
    ProgramRun withRoot = print({"--catalogue-url", url, "--jailbreak-url", url, "--keys", "Enter"}, trusted);
    ASSERT_EQ(withRoot.code, 0) << withRoot.err;
    Value device = readJSON(kCatalogue + "/api/ios/v4/device/iPhone1,1.json");
    const Value& firstBuild = device.objectForKey(Value(std::string("firmwares"))).asArray().front();
    EXPECT_NE(withRoot.out.find(firstBuild.objectForKey(Value(std::string("buildid"))).stringValue()), std::string::npos) << withRoot.out;

    ProgramRun untrusted = print({"--catalogue-url", url, "--jailbreak-url", url, "--keys", "Enter"});
    ASSERT_EQ(untrusted.code, 0) << untrusted.err;
    EXPECT_EQ(untrusted.out.find(firstBuild.objectForKey(Value(std::string("buildid"))).stringValue()), std::string::npos) << untrusted.out;
    EXPECT_EQ(untrusted.out.find("-1009"), std::string::npos);

    ProgramRun plain = print({"--catalogue-url", "http://127.0.0.1:1", "--jailbreak-url", url});
    EXPECT_EQ(plain.code, 2);
    server.signal(SIGTERM);
    EXPECT_EQ(server.wait(), 0);
}
