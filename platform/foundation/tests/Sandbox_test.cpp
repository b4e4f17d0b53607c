#include <platform_foundation/Sandbox.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "SandboxTempDir.h"

namespace fs = std::filesystem;

namespace {

TEST(Sandbox, StandardFoldersExistUnderTheRoot) {
    SandboxTempDir sandbox;
    EXPECT_EQ(NSSandbox::rootPath(), sandbox.path());
    const std::string home = NSHomeDirectory();
    EXPECT_EQ(home, sandbox / "Home");
    for (const std::string& p : {NSSandbox::documentsDirectory(), NSSandbox::libraryDirectory(),
                                 NSSandbox::cachesDirectory(), NSSandbox::preferencesDirectory()}) {
        EXPECT_EQ(p.rfind(home + "/", 0), 0u) << p;
        EXPECT_TRUE(fs::is_directory(p)) << p;
    }
    EXPECT_EQ(NSSandbox::cachesDirectory(), home + "/Library/Caches");
    EXPECT_EQ(NSSandbox::preferencesDirectory(), home + "/Library/Preferences");
}

TEST(Sandbox, TemporaryDirectoryEndsInASlashAndExists) {
    SandboxTempDir sandbox;
    const std::string tmp = NSTemporaryDirectory();
    EXPECT_EQ(tmp, NSHomeDirectory() + "/tmp/");
    EXPECT_TRUE(fs::is_directory(tmp));
}

TEST(Sandbox, SearchPathsPerDirectoryAndDomain) {
    SandboxTempDir sandbox;
    const std::string home = NSHomeDirectory();
    struct Case {
        NSSearchPathDirectory dir;
        const char* sub;
    } cases[] = {{NSDocumentDirectory, "/Documents"},
                 {NSLibraryDirectory, "/Library"},
                 {NSCachesDirectory, "/Library/Caches"},
                 {NSApplicationSupportDirectory, "/Library/Application Support"}};
    for (const auto& c : cases) {
        EXPECT_EQ(NSSearchPathForDirectoriesInDomains(c.dir, NSUserDomainMask, true),
                  std::vector<std::string>{home + c.sub});
        EXPECT_EQ(NSSearchPathForDirectoriesInDomains(c.dir, NSAllDomainsMask, true),
                  std::vector<std::string>{home + c.sub});
        EXPECT_EQ(NSSearchPathForDirectoriesInDomains(c.dir, NSUserDomainMask, false),
                  std::vector<std::string>{std::string("~") + c.sub});
        EXPECT_TRUE(NSSearchPathForDirectoriesInDomains(c.dir, NSSystemDomainMask, true).empty());
    }
    // Application Support is answered but, as on the platform, not made.
    EXPECT_FALSE(fs::exists(home + "/Library/Application Support"));
}

TEST(Sandbox, AppGroupContainersAreMadeOnDemandAndSeparate) {
    SandboxTempDir sandbox;
    auto a = NSSandbox::containerPathForApplicationGroupIdentifier("group.com.example.shared");
    auto b = NSSandbox::containerPathForApplicationGroupIdentifier("group.other");
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_TRUE(fs::is_directory(*a));
    EXPECT_EQ(a->rfind(sandbox.path() + "/", 0), 0u);
    EXPECT_EQ(a->find(NSHomeDirectory()), std::string::npos) << "containers live outside the home";
    EXPECT_EQ(NSSandbox::containerPathForApplicationGroupIdentifier("group.com.example.shared"), a);

    for (const char* bad : {"", ".", "..", "../escape", "a/b"})
        EXPECT_FALSE(NSSandbox::containerPathForApplicationGroupIdentifier(bad)) << bad;
    EXPECT_FALSE(fs::exists(sandbox.path() + "/escape"));
}

TEST(Sandbox, EnvironmentVariableChoosesTheRoot) {
    SandboxTempDir dir(false);
    NSSandbox::resetForTesting();
    const char* old = std::getenv(NSSandbox::kRootEnvironmentVariable);
    std::string saved = old ? old : "";
    setenv(NSSandbox::kRootEnvironmentVariable, (dir.path() + "/").c_str(), 1);
    EXPECT_EQ(NSSandbox::rootPath(), dir.path());
    EXPECT_TRUE(fs::is_directory(dir / "Home/Documents"));

    // A second root, switched to by the environment alone, is prepared in turn.
    fs::create_directory(dir / "second");
    setenv(NSSandbox::kRootEnvironmentVariable, (dir / "second").c_str(), 1);
    EXPECT_EQ(NSHomeDirectory(), dir / "second/Home");
    EXPECT_TRUE(fs::is_directory(dir / "second/Home/tmp"));

    // An override from the test wins over the environment.
    NSSandbox::resetForTesting(dir / "third");
    EXPECT_EQ(NSSandbox::rootPath(), dir / "third");
    NSSandbox::resetForTesting();

    if (old) setenv(NSSandbox::kRootEnvironmentVariable, saved.c_str(), 1);
    else unsetenv(NSSandbox::kRootEnvironmentVariable);
}

TEST(Sandbox, DefaultRootIsUnderTheUserDataDirectory) {
    SandboxTempDir dir(false);
    NSSandbox::resetForTesting();
    const char* oldRoot = std::getenv(NSSandbox::kRootEnvironmentVariable);
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    std::string savedRoot = oldRoot ? oldRoot : "", savedXdg = oldXdg ? oldXdg : "";
    unsetenv(NSSandbox::kRootEnvironmentVariable);
    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);

    const std::string root = NSSandbox::rootPath();
    EXPECT_EQ(fs::path(root).parent_path().string(), dir.path());
    EXPECT_FALSE(fs::path(root).filename().empty());
    EXPECT_TRUE(fs::is_directory(root + "/Home/Documents"));

    NSSandbox::resetForTesting();
    if (oldRoot) setenv(NSSandbox::kRootEnvironmentVariable, savedRoot.c_str(), 1);
    if (oldXdg) setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

TEST(Sandbox, ResetRecreatesFoldersATestRemoved) {
    SandboxTempDir sandbox;
    fs::remove_all(NSSandbox::cachesDirectory());
    NSSandbox::resetForTesting(sandbox.path());
    EXPECT_TRUE(fs::is_directory(NSSandbox::cachesDirectory()));
}

}  // namespace
