#include <platform_foundation/NSFileHandle.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

#include "SandboxTempDir.h"

namespace {

using Data = NSFileHandle::Data;

Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }

class NSFileHandleTest : public testing::Test {
protected:
    std::string makeFile(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }
    std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    SandboxTempDir dir{false};
};

TEST_F(NSFileHandleTest, MissingFilesGiveNoHandle) {
    EXPECT_FALSE(NSFileHandle::fileHandleForReadingAtPath(dir / "missing"));
    EXPECT_FALSE(NSFileHandle::fileHandleForWritingAtPath(dir / "missing"));
    EXPECT_FALSE(NSFileHandle::fileHandleForUpdatingAtPath(dir / "missing"));
    EXPECT_FALSE(std::ifstream(dir / "missing").good()) << "opening for writing creates nothing";
    EXPECT_FALSE(NSFileHandle::fileHandleForReadingAtPath(dir.path())) << "a directory is not a file";
}

TEST_F(NSFileHandleTest, ReadingInPiecesAndToTheEnd) {
    auto h = NSFileHandle::fileHandleForReadingAtPath(makeFile("f", "0123456789"));
    ASSERT_TRUE(h);
    EXPECT_EQ(h->readDataOfLength(3), bytes("012"));
    EXPECT_EQ(h->offsetInFile(), 3u);
    h->seekToFileOffset(8);
    EXPECT_EQ(h->readDataOfLength(100), bytes("89")) << "short at the end";
    EXPECT_EQ(h->readDataOfLength(5), Data{});
    h->seekToFileOffset(5);
    EXPECT_EQ(h->readDataToEndOfFile(), bytes("56789"));
    EXPECT_EQ(h->seekToEndOfFile(), 10u);
}

TEST_F(NSFileHandleTest, AppendingALineAtTheEnd) {
    const std::string path = makeFile("log", "first\n");
    for (const char* line : {"second\n", "third\n"}) {
        auto h = NSFileHandle::fileHandleForWritingAtPath(path);
        ASSERT_TRUE(h);
        h->seekToEndOfFile();
        h->writeData(bytes(line));
        h->closeFile();
    }
    EXPECT_EQ(contents(path), "first\nsecond\nthird\n");
}

TEST_F(NSFileHandleTest, WritingStartsAtTheBeginningWithoutTruncating) {
    const std::string path = makeFile("f", "abcdef");
    auto h = NSFileHandle::fileHandleForWritingAtPath(path);
    h->writeData(bytes("XY"));
    h->synchronizeFile();
    EXPECT_EQ(contents(path), "XYcdef");
}

TEST_F(NSFileHandleTest, UpdatingAndTruncating) {
    const std::string path = makeFile("f", "abcdef");
    auto h = NSFileHandle::fileHandleForUpdatingAtPath(path);
    ASSERT_TRUE(h);
    h->truncateFileAtOffset(3);
    EXPECT_EQ(h->offsetInFile(), 3u);
    h->writeData(bytes("Z"));
    h->seekToFileOffset(0);
    EXPECT_EQ(h->readDataToEndOfFile(), bytes("abcZ"));
    h->truncateFileAtOffset(6);  // extends with zeros
    h->seekToFileOffset(0);
    EXPECT_EQ(h->readDataToEndOfFile(), (Data{'a', 'b', 'c', 'Z', 0, 0}));
}

TEST_F(NSFileHandleTest, ClosedHandlesThrow) {
    auto h = NSFileHandle::fileHandleForUpdatingAtPath(makeFile("f", "x"));
    h->closeFile();
    h->closeFile();  // twice is harmless
    const std::vector<std::pair<const char*, std::function<void()>>> ops = {
        {"readDataToEndOfFile", [&] { h->readDataToEndOfFile(); }},
        {"readDataOfLength", [&] { h->readDataOfLength(1); }},
        {"writeData", [&] { h->writeData(bytes("y")); }},
        {"offsetInFile", [&] { h->offsetInFile(); }},
        {"seekToFileOffset", [&] { h->seekToFileOffset(0); }},
        {"seekToEndOfFile", [&] { h->seekToEndOfFile(); }},
        {"truncateFileAtOffset", [&] { h->truncateFileAtOffset(0); }},
        {"synchronizeFile", [&] { h->synchronizeFile(); }},
        {"fileDescriptor", [&] { h->fileDescriptor(); }},
    };
    for (const auto& [name, op] : ops) {
        try {
            op();
            ADD_FAILURE() << name << " did not throw";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), "NSFileHandleOperationException") << name;
            EXPECT_NE(e.reason().find(name), std::string::npos) << e.reason();
        }
    }
}

TEST_F(NSFileHandleTest, IOFailuresThrow) {
    auto reader = NSFileHandle::fileHandleForReadingAtPath(makeFile("f", "x"));
    try {
        reader->writeData(bytes("y"));
        ADD_FAILURE() << "writing a read-only handle succeeded";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSFileHandleOperationException);
    }
    EXPECT_EQ(contents(dir / "f"), "x");
}

TEST_F(NSFileHandleTest, DescriptorOwnership) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        NSFileHandle borrowed(fds[1], false);
        borrowed.writeData(bytes("hi"));
    }
    EXPECT_NE(fcntl(fds[1], F_GETFD), -1) << "not closed when not owned";
    {
        NSFileHandle owned(fds[1], true);
        EXPECT_EQ(owned.fileDescriptor(), fds[1]);
    }
    EXPECT_EQ(fcntl(fds[1], F_GETFD), -1) << "closed at destruction";
    NSFileHandle reader(fds[0], true);
    EXPECT_EQ(reader.readDataToEndOfFile(), bytes("hi"));
}

}  // namespace
