#include <platform_foundation/NSPathUtilities.h>

#include <gtest/gtest.h>

#include "SandboxTempDir.h"

namespace {

struct UnaryCase {
    const char* input;
    const char* expected;
};

TEST(NSPathUtilities, LastPathComponent) {
    const UnaryCase cases[] = {
        {"/tmp/scratch.tiff", "scratch.tiff"}, {"/tmp/scratch", "scratch"}, {"/tmp/", "tmp"},
        {"scratch///", "scratch"}, {"/", "/"}, {"", ""}, {"a", "a"}, {"//a//b", "b"},
    };
    for (const auto& c : cases) EXPECT_EQ(lastPathComponent(c.input), c.expected) << c.input;
}

TEST(NSPathUtilities, DeletingLastPathComponent) {
    const UnaryCase cases[] = {
        {"/tmp/scratch.tiff", "/tmp"}, {"/tmp/lock/", "/tmp"}, {"/tmp/", "/"}, {"/tmp", "/"},
        {"/", "/"}, {"scratch.tiff", ""}, {"a/b", "a"}, {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(stringByDeletingLastPathComponent(c.input), c.expected) << c.input;
}

TEST(NSPathUtilities, PathExtension) {
    const UnaryCase cases[] = {
        {"/tmp/scratch.tiff", "tiff"}, {".scratch.tiff", "tiff"}, {"/tmp/scratch", ""}, {"/tmp/", ""},
        {"/tmp/scratch..tiff", "tiff"}, {"a.tar.gz", "gz"}, {".profile", ""}, {"/dir.d/file", ""},
        {"file.", ""}, {"/", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(pathExtension(c.input), c.expected) << c.input;
}

TEST(NSPathUtilities, DeletingPathExtension) {
    const UnaryCase cases[] = {
        {"/tmp/scratch.tiff", "/tmp/scratch"}, {"/tmp/", "/tmp"}, {"scratch.bundle/", "scratch"},
        {"scratch..tiff", "scratch."}, {".tiff", ".tiff"}, {"/", "/"}, {"/dir.d/file", "/dir.d/file"},
        {"a.tar.gz", "a.tar"},
    };
    for (const auto& c : cases) EXPECT_EQ(stringByDeletingPathExtension(c.input), c.expected) << c.input;
}

struct BinaryCase {
    const char* path;
    const char* arg;
    const char* expected;
};

TEST(NSPathUtilities, AppendingPathComponent) {
    const BinaryCase cases[] = {
        {"/tmp", "scratch.tiff", "/tmp/scratch.tiff"}, {"/tmp/", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/", "scratch.tiff", "/scratch.tiff"}, {"", "scratch.tiff", "scratch.tiff"},
        {"/tmp", "", "/tmp"}, {"/tmp", "/a//b/", "/tmp/a/b"}, {"a", "b", "a/b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stringByAppendingPathComponent(c.path, c.arg), c.expected) << c.path << " + " << c.arg;
}

TEST(NSPathUtilities, AppendingPathExtension) {
    const BinaryCase cases[] = {
        {"/tmp/scratch.old", "tiff", "/tmp/scratch.old.tiff"}, {"/tmp/scratch.", "tiff", "/tmp/scratch..tiff"},
        {"/tmp/", "tiff", "/tmp.tiff"}, {"scratch", "tiff", "scratch.tiff"}, {"/", "tiff", "/"},
        {"", "tiff", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stringByAppendingPathExtension(c.path, c.arg), c.expected) << c.path << " + " << c.arg;
}

TEST(NSPathUtilities, PathComponents) {
    using V = std::vector<std::string>;
    EXPECT_EQ(pathComponents("tmp/scratch"), (V{"tmp", "scratch"}));
    EXPECT_EQ(pathComponents("/tmp/scratch"), (V{"/", "tmp", "scratch"}));
    EXPECT_EQ(pathComponents("/tmp/scratch/"), (V{"/", "tmp", "scratch", "/"}));
    EXPECT_EQ(pathComponents("a//b"), (V{"a", "b"}));
    EXPECT_EQ(pathComponents("/"), (V{"/"}));
    EXPECT_EQ(pathComponents(""), V{});
}

TEST(NSPathUtilities, TildeExpandsToTheSandboxHome) {
    SandboxTempDir sandbox;
    EXPECT_EQ(stringByExpandingTildeInPath("~"), NSHomeDirectory());
    EXPECT_EQ(stringByExpandingTildeInPath("~/Documents"), NSHomeDirectory() + "/Documents");
    EXPECT_EQ(stringByExpandingTildeInPath("/abs/~/x"), "/abs/~/x");
    EXPECT_EQ(stringByExpandingTildeInPath("~other"), "~other");
}

}  // namespace
