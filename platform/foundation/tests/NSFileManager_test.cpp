#include <platform_foundation/NSFileManager.h>

#include <platform_foundation/NSDataFile.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "SandboxTempDir.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

class NSFileManagerTest : public testing::Test {
protected:
    void write(const std::string& rel, const std::string& text) {
        fs::create_directories(fs::path(dir / rel).parent_path());
        std::ofstream(dir / rel, std::ios::binary) << text;
    }
    std::string read(const std::string& rel) {
        std::ifstream in(dir / rel, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void expectError(const NSErrorPtr& error, int64_t code, int posix) {
        ASSERT_TRUE(error) << "expected error " << code;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), code);
        auto underlying = error->underlyingError();
        ASSERT_TRUE(underlying);
        EXPECT_EQ(underlying->domain(), NSPOSIXErrorDomain);
        EXPECT_EQ(underlying->code(), posix);
    }

    SandboxTempDir dir{false};
    std::shared_ptr<NSFileManager> fm = NSFileManager::defaultManager();
};

TEST_F(NSFileManagerTest, ExistenceAndKind) {
    write("file", "x");
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "folder", dir / "link");
    struct Case {
        const char* rel;
        bool exists, isDirectory;
    } cases[] = {{"file", true, false}, {"folder", true, true}, {"link", true, true}, {"missing", false, false},
                 {"file/below", false, false}};
    for (const auto& c : cases) {
        bool isDir = !c.isDirectory;
        EXPECT_EQ(fm->fileExistsAtPath(dir / c.rel, &isDir), c.exists) << c.rel;
        EXPECT_EQ(isDir, c.isDirectory) << c.rel;
    }
    EXPECT_FALSE(fm->fileExistsAtPath(""));
    EXPECT_EQ(NSFileManager::defaultManager(), fm);
}

TEST_F(NSFileManagerTest, CreateDirectoryWithAndWithoutIntermediates) {
    NSErrorPtr error;
    EXPECT_FALSE(fm->createDirectoryAtPath(dir / "a/b/c", false, {}, &error));
    expectError(error, NSFileNoSuchFileError, ENOENT);

    EXPECT_TRUE(fm->createDirectoryAtPath(dir / "a/b/c", true, {}, &error));
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
    EXPECT_TRUE(fm->createDirectoryAtPath(dir / "a/b/c", true, {}, nullptr)) << "existing is fine with intermediates";

    error.reset();
    EXPECT_FALSE(fm->createDirectoryAtPath(dir / "a/b/c", false, {}, &error));
    expectError(error, NSFileWriteFileExistsError, EEXIST);

    write("plain", "x");
    error.reset();
    EXPECT_FALSE(fm->createDirectoryAtPath(dir / "plain", true, {}, &error));
    expectError(error, NSFileWriteFileExistsError, EEXIST);

    EXPECT_TRUE(fm->createDirectoryAtPath(dir / "private", false, {{Value(NSFilePosixPermissions), Value(0700)}}));
    EXPECT_EQ(fm->attributesOfItemAtPath(dir / "private").objectForKey(NSFilePosixPermissions).asUInt(), 0700u);
}

TEST_F(NSFileManagerTest, CreateFileAndContents) {
    EXPECT_TRUE(fm->createFileAtPath(dir / "f", std::vector<uint8_t>{'h', 'i'}));
    EXPECT_EQ(fm->contentsAtPath(dir / "f"), (std::vector<uint8_t>{'h', 'i'}));
    EXPECT_TRUE(fm->createFileAtPath(dir / "f", std::nullopt)) << "replaces, empty";
    EXPECT_EQ(fm->contentsAtPath(dir / "f"), std::vector<uint8_t>{});
    EXPECT_FALSE(fm->createFileAtPath(dir / "missing/f", std::nullopt));
    EXPECT_FALSE(fm->contentsAtPath(dir / "missing/f"));
}

TEST_F(NSFileManagerTest, ListingIncludesHiddenUnlessSkipped) {
    write("b.log", "");
    write("a.log", "");
    write(".hidden", "");
    fs::create_directory(dir / "sub");
    write("sub/inner", "");
    EXPECT_EQ(fm->contentsOfDirectoryAtPath(dir.path()), (Strings{".hidden", "a.log", "b.log", "sub"}));
    NSErrorPtr error;
    EXPECT_EQ(fm->contentsOfDirectoryAtPath(dir.path(), NSDirectoryEnumerationSkipsHiddenFiles, &error),
              (Strings{"a.log", "b.log", "sub"}));
    EXPECT_FALSE(error);

    EXPECT_TRUE(fm->contentsOfDirectoryAtPath(dir / "missing", &error).empty());
    expectError(error, NSFileReadNoSuchFileError, ENOENT);
    error.reset();
    EXPECT_TRUE(fm->contentsOfDirectoryAtPath(dir / "a.log", &error).empty());
    expectError(error, NSFileReadUnknownError, ENOTDIR);
}

TEST_F(NSFileManagerTest, RecursiveWalk) {
    write("a/x", "");
    write("a/.secret/y", "");
    write("b", "");
    write(".dot", "");
    fs::create_directory(dir / "empty");
    fs::create_directory_symlink(dir / "a", dir / "z-link");  // not followed

    EXPECT_EQ(fm->subpathsOfDirectoryAtPath(dir.path()),
              (Strings{".dot", "a", "a/.secret", "a/.secret/y", "a/x", "b", "empty", "z-link"}));

    auto hiddenSkipped = fm->enumeratorAtPath(dir.path(), NSDirectoryEnumerationSkipsHiddenFiles);
    ASSERT_TRUE(hiddenSkipped);
    EXPECT_EQ(hiddenSkipped->allObjects(), (Strings{"a", "a/x", "b", "empty", "z-link"}));

    auto shallow = fm->enumeratorAtPath(dir.path(), NSDirectoryEnumerationSkipsSubdirectoryDescendants);
    EXPECT_EQ(shallow->allObjects(), (Strings{".dot", "a", "b", "empty", "z-link"}));

    auto e = fm->enumeratorAtPath(dir.path());
    Strings seen;
    while (auto next = e->nextObject()) {
        seen.push_back(*next);
        if (*next == "a") {
            EXPECT_EQ(e->level(), 1u);
            e->skipDescendants();
        }
    }
    EXPECT_EQ(seen, (Strings{".dot", "a", "b", "empty", "z-link"}));

    EXPECT_FALSE(fm->enumeratorAtPath(dir / "missing"));
    EXPECT_FALSE(fm->enumeratorAtPath(dir / "b"));
    NSErrorPtr error;
    EXPECT_TRUE(fm->subpathsOfDirectoryAtPath(dir / "missing", &error).empty());
    expectError(error, NSFileReadNoSuchFileError, ENOENT);
}

TEST_F(NSFileManagerTest, ItemAttributes) {
    const double before = NSDate::date().timeIntervalSince1970();
    write("f", "12345");
    fs::create_directory(dir / "d");
    Value attrs = fm->attributesOfItemAtPath(dir / "f");
    ASSERT_TRUE(attrs.isDictionary());
    EXPECT_EQ(attrs.objectForKey(NSFileType).asString(), NSFileTypeRegular);
    EXPECT_EQ(attrs.objectForKey(NSFileSize).type(), Value::Type::UInt);
    EXPECT_EQ(attrs.objectForKey(NSFileSize).asUInt(), 5u);
    ASSERT_TRUE(attrs.objectForKey(NSFileCreationDate).isDate());
    ASSERT_TRUE(attrs.objectForKey(NSFileModificationDate).isDate());
    EXPECT_NEAR(attrs.objectForKey(NSFileModificationDate).asDate().timeIntervalSince1970(), before, 60);
    EXPECT_LE(attrs.objectForKey(NSFileCreationDate).asDate(), attrs.objectForKey(NSFileModificationDate).asDate());
    EXPECT_EQ(fm->attributesOfItemAtPath(dir / "d").objectForKey(NSFileType).asString(), NSFileTypeDirectory);

    fs::create_symlink(dir / "f", dir / "l");
    EXPECT_EQ(fm->attributesOfItemAtPath(dir / "l").objectForKey(NSFileType).asString(), NSFileTypeSymbolicLink);

    NSErrorPtr error;
    EXPECT_TRUE(fm->attributesOfItemAtPath(dir / "missing", &error).isNull());
    expectError(error, NSFileReadNoSuchFileError, ENOENT);
}

TEST_F(NSFileManagerTest, FileSystemAttributes) {
    Value fsAttrs = fm->attributesOfFileSystemForPath(dir.path());
    ASSERT_TRUE(fsAttrs.isDictionary());
    uint64_t size = fsAttrs.objectForKey(NSFileSystemSize).asUInt();
    uint64_t free = fsAttrs.objectForKey(NSFileSystemFreeSize).asUInt();
    EXPECT_GT(size, 0u);
    EXPECT_LE(free, size);
    NSErrorPtr error;
    EXPECT_TRUE(fm->attributesOfFileSystemForPath(dir / "missing", &error).isNull());
    expectError(error, NSFileReadNoSuchFileError, ENOENT);
}

TEST_F(NSFileManagerTest, MoveNeverReplaces) {
    write("src/inner", "payload");
    NSErrorPtr error;
    ASSERT_TRUE(fm->moveItemAtPath(dir / "src", dir / "dst", &error));
    EXPECT_FALSE(fs::exists(dir / "src"));
    EXPECT_EQ(read("dst/inner"), "payload");

    write("other", "keep me");
    EXPECT_FALSE(fm->moveItemAtPath(dir / "dst/inner", dir / "other", &error));
    expectError(error, NSFileWriteFileExistsError, EEXIST);
    EXPECT_EQ(read("other"), "keep me");
    EXPECT_EQ(read("dst/inner"), "payload");

    error.reset();
    EXPECT_FALSE(fm->moveItemAtPath(dir / "missing", dir / "x", &error));
    expectError(error, NSFileNoSuchFileError, ENOENT);
}

TEST_F(NSFileManagerTest, CopyIsRecursiveAndNeverReplaces) {
    write("tree/a", "A");
    write("tree/sub/b", "B");
    write("tree/.hidden", "H");
    fs::create_symlink("a", dir / "tree/link-to-a");
    chmod((dir / "tree/a").c_str(), 0640);
    NSErrorPtr error;
    ASSERT_TRUE(fm->copyItemAtPath(dir / "tree", dir / "copy", &error));
    EXPECT_EQ(read("copy/a"), "A");
    EXPECT_EQ(read("copy/sub/b"), "B");
    EXPECT_EQ(read("copy/.hidden"), "H");
    EXPECT_TRUE(fs::is_symlink(dir / "copy/link-to-a"));
    EXPECT_EQ(fs::read_symlink(dir / "copy/link-to-a"), "a");
    EXPECT_EQ(fm->attributesOfItemAtPath(dir / "copy/a").objectForKey(NSFilePosixPermissions).asUInt(), 0640u);
    EXPECT_EQ(read("tree/a"), "A") << "source untouched";

    EXPECT_FALSE(fm->copyItemAtPath(dir / "tree/a", dir / "copy/sub/b", &error));
    expectError(error, NSFileWriteFileExistsError, EEXIST);
    EXPECT_EQ(read("copy/sub/b"), "B");

    error.reset();
    EXPECT_FALSE(fm->copyItemAtPath(dir / "missing", dir / "x", &error));
    expectError(error, NSFileReadNoSuchFileError, ENOENT);

    ASSERT_TRUE(fm->copyItemAtPath(dir / "tree", dir / "tree/nested-copy", &error)) << "into itself terminates";
    EXPECT_EQ(read("tree/nested-copy/sub/b"), "B");
}

TEST_F(NSFileManagerTest, RemoveIsRecursiveAndKeepsLinkTargets) {
    write("keep/target", "T");
    write("gone/a/b/c", "x");
    fs::create_symlink(dir / "keep", dir / "gone/link");
    NSErrorPtr error;
    ASSERT_TRUE(fm->removeItemAtPath(dir / "gone", &error));
    EXPECT_FALSE(fs::exists(dir / "gone"));
    EXPECT_EQ(read("keep/target"), "T");

    EXPECT_FALSE(fm->removeItemAtPath(dir / "gone", &error));
    expectError(error, NSFileNoSuchFileError, ENOENT);
}

TEST_F(NSFileManagerTest, AccessChecks) {
    write("rw", "x");
    write("ro-dir/f", "x");
    EXPECT_TRUE(fm->isReadableFileAtPath(dir / "rw"));
    EXPECT_TRUE(fm->isWritableFileAtPath(dir / "rw"));
    EXPECT_TRUE(fm->isDeletableFileAtPath(dir / "rw"));
    EXPECT_FALSE(fm->isReadableFileAtPath(dir / "missing"));
    EXPECT_FALSE(fm->isDeletableFileAtPath(dir / "missing"));
    if (geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
    chmod((dir / "rw").c_str(), 0400);
    chmod((dir / "ro-dir").c_str(), 0500);
    EXPECT_TRUE(fm->isReadableFileAtPath(dir / "rw"));
    EXPECT_FALSE(fm->isWritableFileAtPath(dir / "rw"));
    EXPECT_TRUE(fm->isDeletableFileAtPath(dir / "rw")) << "deletability is the folder's business";
    EXPECT_FALSE(fm->isDeletableFileAtPath(dir / "ro-dir/f"));

    NSErrorPtr error;
    EXPECT_FALSE(fm->removeItemAtPath(dir / "ro-dir", &error));
    expectError(error, NSFileWriteNoPermissionError, EACCES);
    chmod((dir / "ro-dir").c_str(), 0700);
}

TEST_F(NSFileManagerTest, AppGroupContainerComesFromTheSandbox) {
    SandboxTempDir sandbox;
    auto path = fm->containerPathForSecurityApplicationGroupIdentifier("group.test");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, NSSandbox::containerPathForApplicationGroupIdentifier("group.test"));
    EXPECT_TRUE(fs::is_directory(*path));
    EXPECT_FALSE(fm->containerPathForSecurityApplicationGroupIdentifier(""));
}

}  // namespace
