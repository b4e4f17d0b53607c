// A child writing keychain items, pasteboards and settings in a loop is killed with SIGKILL:
// every write it acknowledged reads back and no file is torn.

#include <analytics_common/ZVConfigureCache.h>

#include <csignal>
#include <cstdio>
#include <string>

#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_system/SecItem.h>
#include <platform_uikit/UIPasteboard.h>

#include "AnalyticsTestSupport.h"

namespace {

Value keychainQuery(int i) {
    return Value::dict({{kSecClass, kSecClassGenericPassword},
                        {kSecAttrService, "crash"},
                        {kSecAttrAccount, "item-" + std::to_string(i)}});
}

Value::Data payload(int i) { return Value::Data(200 + i % 50, static_cast<uint8_t>(i)); }

bool noneMatching(const std::string& dir, const std::string& part) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return true;
    bool none = true;
    while (dirent* e = ::readdir(d)) none = none && std::string(e->d_name).find(part) == std::string::npos;
    ::closedir(d);
    return none;
}

}  // namespace

// The writer: one keychain item, one pasteboard and one setting per round, then an
// acknowledgement line once all three calls returned.
TEST(CrashSafety, DISABLED_Writer) {
    for (int i = 0;; ++i) {
        Value item = keychainQuery(i);
        item.setObject(Value(payload(i)), kSecValueData);
        ASSERT_EQ(SecItemAdd(item, nullptr), errSecSuccess);
        auto pb = UIPasteboard::pasteboardWithName("crash-" + std::to_string(i % 7), true);
        pb->setData(payload(i), "round");
        ZVConfigureCache::setObject(Value(i), "crash-" + std::to_string(i));
        std::printf("ACK %d\n", i);
        std::fflush(stdout);
    }
}

TEST(CrashSafety, AcknowledgedWritesSurviveSIGKILL) {
    const auto [child, out] = zvtest::spawnSelfWithOutput("CrashSafety.DISABLED_Writer");
    ASSERT_TRUE(out);
    int lastAck = -1;
    char line[256];
    while (lastAck < 40 && std::fgets(line, sizeof line, out)) std::sscanf(line, "ACK %d", &lastAck);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::fclose(out);
    ASSERT_GE(lastAck, 40) << "the writer stopped early";

    NSUserDefaults::resetStandardUserDefaults();
    for (int i = 0; i <= lastAck; ++i) {
        SCOPED_TRACE(i);
        Value query = keychainQuery(i);
        query.setObject(Value(true), kSecReturnData);
        Value data;
        ASSERT_EQ(SecItemCopyMatching(query, &data), errSecSuccess);
        EXPECT_EQ(data, Value(payload(i)));
        EXPECT_EQ(ZVConfigureCache::objectWithKey("crash-" + std::to_string(i)), Value(i));
    }
    for (int p = 0; p < 7; ++p) {
        auto pb = UIPasteboard::pasteboardWithName("crash-" + std::to_string(p), false);
        ASSERT_TRUE(pb);
        auto data = pb->dataForPasteboardType("round");
        ASSERT_TRUE(data) << p;  // a whole record, never a torn one
    }
    EXPECT_TRUE(noneMatching(zvtest::root() + "/device/Keychain", "unreadable"));
}
