// Several processes of one app group writing the same defaults suite at once. The test
// executable is also the writer: started with "--set-keys" it sets keys and exits.
#include <platform_foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/Sandbox.h>

#include "SandboxTempDir.h"

extern char** environ;

namespace {

const char* kSuite = "group.com.example.shared";
constexpr int kWriters = 4;
constexpr int kKeysEach = 200;

// The writer: sets `count` keys "<prefix><i>" = i, synchronising after each, and the key
// "last" to its prefix.
int setKeys(const std::string& root, const std::string& prefix, int count) {
    NSSandbox::resetForTesting(root);
    NSBundle::setMainBundlePathForTesting(std::string(TEST_SOURCE_DIR) + "/data/TestApp");
    auto suite = NSUserDefaults::initWithSuiteName(std::string(kSuite));
    if (!suite) return 2;
    for (int i = 0; i < count; ++i) {
        suite->setInteger(i, prefix + std::to_string(i));
        suite->setObject(Value(prefix), "last");
        if (!suite->synchronize()) return 3;
    }
    NSUserDefaults::resetStandardUserDefaults();
    return 0;
}

pid_t spawnWriter(const std::string& root, const std::string& prefix) {
    std::vector<std::string> args = {"/proc/self/exe", "--set-keys", root, prefix, std::to_string(kKeysEach)};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

TEST(NSUserDefaultsSharedSuite, ConcurrentWritersLoseNoKeys) {
    SandboxTempDir sandbox;
    NSBundle::setMainBundlePathForTesting(std::string(TEST_SOURCE_DIR) + "/data/TestApp");
    NSUserDefaults::resetStandardUserDefaults();
    // A key of this process that no writer touches keeps its value through their merges.
    auto suite = NSUserDefaults::initWithSuiteName(std::string(kSuite));
    ASSERT_TRUE(suite);
    suite->setObject(Value("mine"), "kept");
    ASSERT_TRUE(suite->synchronize());

    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = spawnWriter(sandbox.path(), "w" + std::to_string(w) + "-");
        ASSERT_GT(pid, 0);
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }

    // This process picks up every writer's keys; a fresh process reads the same.
    ASSERT_TRUE(suite->synchronize());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "this process" : "a fresh process");
        int missing = 0;
        for (int w = 0; w < kWriters; ++w)
            for (int i = 0; i < kKeysEach; ++i)
                if (suite->integerForKey("w" + std::to_string(w) + "-" + std::to_string(i)) != i) ++missing;
        EXPECT_EQ(missing, 0) << "of " << kWriters * kKeysEach << " keys";
        EXPECT_EQ(suite->stringForKey("kept"), "mine");
        const std::string last = suite->stringForKey("last").value_or("");
        EXPECT_TRUE(last.size() == 3 && last[0] == 'w' && last[2] == '-') << last;
        NSUserDefaults::resetStandardUserDefaults();
        suite = NSUserDefaults::initWithSuiteName(std::string(kSuite));
    }
    NSUserDefaults::resetStandardUserDefaults();
    NSBundle::setMainBundlePathForTesting(std::nullopt);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--set-keys") == 0) return setKeys(argv[2], argv[3], std::atoi(argv[4]));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
