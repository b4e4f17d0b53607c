#include <platform_foundation/NSDataFile.h>

#include <platform_foundation/NSFileErrors.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/stat.h>

#include "SandboxTempDir.h"

namespace fs = std::filesystem;

namespace {

using Data = NSDataFile::Data;

Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::size_t entriesIn(const std::string& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

void expectFileError(const NSErrorPtr& error, int64_t code, int posix) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error->code(), code);
    auto underlying = error->underlyingError();
    if (posix == 0) return;
    ASSERT_TRUE(underlying);
    EXPECT_EQ(underlying->domain(), NSPOSIXErrorDomain);
    EXPECT_EQ(underlying->code(), posix);
}

// Limits the size any file of this process may grow to, so writes past it fail with EFBIG
// after a partial write, as a full disk or a crash mid-write would leave them.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved_;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int);
};

TEST(NSDataFile, RoundTripsBytesAndText) {
    SandboxTempDir dir(false);
    Data binary{0x00, 0xff, 0x10, 0x00, 0x7f};
    for (bool atomically : {false, true}) {
        const std::string path = dir / (atomically ? "atomic.bin" : "plain.bin");
        ASSERT_TRUE(NSDataFile::writeToFile(binary, path, atomically));
        EXPECT_EQ(NSDataFile::dataWithContentsOfFile(path), binary);
        ASSERT_TRUE(NSDataFile::writeToFile(Data{}, path, atomically));  // empty replaces
        EXPECT_EQ(NSDataFile::dataWithContentsOfFile(path), Data{});
    }
    ASSERT_TRUE(NSDataFile::writeStringToFile("h\xC3\xA9llo", dir / "t.txt", true));
    EXPECT_EQ(NSDataFile::stringWithContentsOfFile(dir / "t.txt"), "h\xC3\xA9llo");
    EXPECT_EQ(entriesIn(dir.path()), 3u) << "no temporary files left behind";
}

TEST(NSDataFile, ReadErrors) {
    SandboxTempDir dir(false);
    NSErrorPtr error;
    EXPECT_FALSE(NSDataFile::dataWithContentsOfFile(dir / "missing", &error));
    expectFileError(error, NSFileReadNoSuchFileError, ENOENT);
    EXPECT_EQ(error->userInfo().at(Value(NSFilePathErrorKey)).asString(), dir / "missing");

    error.reset();
    EXPECT_FALSE(NSDataFile::dataWithContentsOfFile(dir.path(), &error));
    expectFileError(error, NSFileReadUnknownError, EISDIR);

    ASSERT_TRUE(NSDataFile::writeToFile(Data{0xC3, 0x28}, dir / "bad.txt", false));
    error.reset();
    EXPECT_FALSE(NSDataFile::stringWithContentsOfFile(dir / "bad.txt", &error));
    expectFileError(error, NSFileReadInapplicableStringEncodingError, 0);

    if (geteuid() != 0) {
        ASSERT_TRUE(NSDataFile::writeToFile(bytes("secret"), dir / "locked", false));
        chmod((dir / "locked").c_str(), 0);
        error.reset();
        EXPECT_FALSE(NSDataFile::dataWithContentsOfFile(dir / "locked", &error));
        expectFileError(error, NSFileReadNoPermissionError, EACCES);
    }
}

TEST(NSDataFile, WriteErrors) {
    SandboxTempDir dir(false);
    NSErrorPtr error;
    for (uint64_t options : {uint64_t{0}, uint64_t{NSDataWritingAtomic}}) {
        error.reset();
        EXPECT_FALSE(NSDataFile::writeToFile(bytes("x"), dir / "no/such/dir/file", options, &error));
        expectFileError(error, NSFileNoSuchFileError, ENOENT);
    }
    ASSERT_TRUE(NSDataFile::writeToFile(bytes("first"), dir / "f", NSDataWritingWithoutOverwriting, &error));
    for (uint64_t options : {uint64_t{NSDataWritingWithoutOverwriting},
                             uint64_t{NSDataWritingWithoutOverwriting | NSDataWritingAtomic}}) {
        error.reset();
        EXPECT_FALSE(NSDataFile::writeToFile(bytes("second"), dir / "f", options, &error));
        expectFileError(error, NSFileWriteFileExistsError, EEXIST);
        EXPECT_EQ(slurp(dir / "f"), "first");
    }
    ASSERT_TRUE(NSDataFile::writeToFile(bytes("new"), dir / "g",
                                        NSDataWritingWithoutOverwriting | NSDataWritingAtomic, &error));
    EXPECT_EQ(slurp(dir / "g"), "new");
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

TEST(NSDataFile, FailedAtomicWriteKeepsTheOldContents) {
    SandboxTempDir dir(false);
    const std::string path = dir / "settings.plist";
    ASSERT_TRUE(NSDataFile::writeToFile(bytes("old contents"), path, true));
    const Data big(256 * 1024, 'n');
    NSErrorPtr error;
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(NSDataFile::writeToFile(big, path, NSDataWritingAtomic, &error));
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(slurp(path), "old contents");
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "the half-written temporary file was removed";

    // The same fault on a plain write leaves the file half written: what atomic writes avoid.
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(NSDataFile::writeToFile(big, path, 0, &error));
    }
    EXPECT_EQ(fs::file_size(path), 64u * 1024);
}

TEST(NSDataFile, AtomicReplacementKeepsPermissions) {
    SandboxTempDir dir(false);
    const std::string path = dir / "private";
    ASSERT_TRUE(NSDataFile::writeToFile(bytes("a"), path, false));
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(NSDataFile::writeToFile(bytes("b"), path, true));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(slurp(path), "b");
}

TEST(NSDataFile, ReadersNeverSeeAHalfWrittenFile) {
    SandboxTempDir dir(false);
    const std::string path = dir / "state.json";
    const Data a(100000, 'a'), b(150000, 'b');
    ASSERT_TRUE(NSDataFile::writeToFile(a, path, true));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            auto d = NSDataFile::dataWithContentsOfFile(path);
            if (!d || !(*d == a || *d == b)) ++torn;
        }
    });
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(NSDataFile::writeToFile(i % 2 ? a : b, path, true));
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

// Temporary files beside `path` (".<name>.<12 hex digits>.tmp").
std::vector<std::string> temporariesOf(const std::string& path) {
    const std::string prefix = "." + fs::path(path).filename().string() + ".";
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.size() == prefix.size() + 12 + 4 && name.substr(name.size() - 4) == ".tmp")
            found.push_back(entry.path().string());
    }
    return found;
}

// Writers killed mid-write leave their temporary files; the next write of the target removes
// them, but never the temporary file of a writer that is still at work. The target itself is
// always the old contents or the new.
TEST(NSDataFile, TemporariesOfKilledWritersAreRemovedByTheNextWrite) {
    SandboxTempDir dir(false);
    const std::string path = dir / "prefs.plist";
    const std::size_t size = 350 * 1024;
    ASSERT_TRUE(NSDataFile::writeToFile(Data(size, 'a'), path, true));
    // Each writer cleans up after the one killed before it, so one orphan at a time remains.
    std::vector<std::string> orphans;
    for (int round = 0; round < 50 && orphans.empty(); ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (char c = 'a';; c = c == 'z' ? 'a' : static_cast<char>(c + 1))
                NSDataFile::writeToFile(Data(size, c), path, true);
        }
        // Killed as soon as it is inside a write (its temporary file exists).
        while (temporariesOf(path).empty() && waitpid(child, nullptr, WNOHANG) == 0) std::this_thread::yield();
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        orphans = temporariesOf(path);
        const std::string contents = slurp(path);
        ASSERT_EQ(contents.size(), size);
        EXPECT_EQ(contents.find_first_not_of(contents[0]), std::string::npos) << "a torn target";
    }
    ASSERT_FALSE(orphans.empty()) << "no writer was killed mid-write";

    // A writer of this very moment: its temporary file is locked by its descriptor.
    const std::string live = dir / ".prefs.plist.0123456789ab.tmp";
    const int liveFd = ::open(live.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(liveFd, 0);
    ASSERT_EQ(flock(liveFd, LOCK_EX), 0);
    // Names that only look alike belong to other files.
    std::ofstream(dir / ".prefs.plist.tmp") << "x";
    std::ofstream(dir / ".prefs.plist.backup.0123456789ab.tmp") << "x";

    ASSERT_TRUE(NSDataFile::writeToFile(Data(10, 'n'), path, true));
    EXPECT_EQ(temporariesOf(path), std::vector<std::string>{live});
    EXPECT_TRUE(fs::exists(dir / ".prefs.plist.tmp"));
    EXPECT_TRUE(fs::exists(dir / ".prefs.plist.backup.0123456789ab.tmp"));
    EXPECT_EQ(slurp(path), std::string(10, 'n'));
    ::close(liveFd);
    // Its writer gone, the next owner to open the file removes it too.
    NSDataFile::removeStaleTemporaryFiles(path);
    EXPECT_TRUE(temporariesOf(path).empty());
}

}  // namespace
