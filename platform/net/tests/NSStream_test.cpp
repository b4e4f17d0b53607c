#include <platform_net/NSInputStream.h>
#include <platform_net/NSOutputStream.h>
#include <platform_net/NSURL.h>

#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string readAll(NSInputStream& in, std::size_t chunk) {
    std::string out;
    std::vector<uint8_t> buf(chunk);
    for (;;) {
        int64_t n = in.read(buf.data(), buf.size());
        if (n <= 0) break;
        out.append(buf.begin(), buf.begin() + n);
    }
    return out;
}

struct TempDir {
    fs::path path;
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "nsstream-XXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

TEST(NSInputStream, DataStreamLifecycle) {
    auto in = NSInputStream::inputStreamWithData(bytes("hello, world"));
    uint8_t buf[5];
    EXPECT_EQ(in->streamStatus(), NSStreamStatusNotOpen);
    EXPECT_FALSE(in->hasBytesAvailable());
    EXPECT_EQ(in->read(buf, sizeof buf), -1) << "not open";

    in->open();
    EXPECT_EQ(in->streamStatus(), NSStreamStatusOpen);
    EXPECT_TRUE(in->hasBytesAvailable());
    uint8_t* direct = nullptr;
    std::size_t length = 0;
    ASSERT_TRUE(in->getBuffer(&direct, &length));
    EXPECT_EQ(std::string(direct, direct + length), "hello, world");

    EXPECT_EQ(in->read(buf, 5), 5);
    EXPECT_EQ(std::string(buf, buf + 5), "hello");
    EXPECT_EQ(readAll(*in, 4), ", world");
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);
    EXPECT_FALSE(in->hasBytesAvailable());
    EXPECT_EQ(in->read(buf, sizeof buf), 0);

    in->close();
    EXPECT_EQ(in->streamStatus(), NSStreamStatusClosed);
    EXPECT_EQ(in->read(buf, sizeof buf), 0);
    EXPECT_EQ(in->streamError(), nullptr);
}

TEST(NSInputStream, EmptyDataReachesTheEndOnFirstRead) {
    auto in = NSInputStream::inputStreamWithData({});
    in->open();
    EXPECT_TRUE(in->hasBytesAvailable());
    uint8_t b;
    EXPECT_EQ(in->read(&b, 1), 0);
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);
}

TEST(NSInputStream, FileStreamReadsTheFileAndHonoursAnOffset) {
    TempDir dir;
    std::string content(100000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    std::ofstream(dir.path / "f.bin", std::ios::binary) << content;

    auto in = NSInputStream::inputStreamWithURL(NSURL::fileURLWithPath((dir.path / "f.bin").string()));
    ASSERT_TRUE(in);
    in->open();
    EXPECT_EQ(readAll(*in, 4096), content);
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);

    auto tail = NSInputStream::inputStreamWithFileAtPath((dir.path / "f.bin").string());
    EXPECT_TRUE(tail->setProperty(Value(int64_t{99990}), NSStreamFileCurrentOffsetKey));
    tail->open();
    EXPECT_EQ(readAll(*tail, 3), content.substr(99990));
    EXPECT_EQ(tail->propertyForKey(NSStreamFileCurrentOffsetKey).asInt(), 100000);

    EXPECT_EQ(NSInputStream::inputStreamWithURL(NSURL::URLWithString("https://example.org/f")), nullptr);
}

TEST(NSInputStream, MissingFileOrDirectoryFailsOnOpen) {
    TempDir dir;
    for (auto path : {dir.path / "missing", dir.path}) {
        auto in = NSInputStream::inputStreamWithFileAtPath(path.string());
        in->open();
        EXPECT_EQ(in->streamStatus(), NSStreamStatusError) << path;
        ASSERT_TRUE(in->streamError());
        EXPECT_EQ(in->streamError()->domain(), NSPOSIXErrorDomain);
        EXPECT_NE(in->streamError()->code(), 0);
        uint8_t b;
        EXPECT_EQ(in->read(&b, 1), -1);
        EXPECT_FALSE(in->hasBytesAvailable());
    }
}

TEST(NSOutputStream, MemoryStreamCollectsWrites) {
    auto out = NSOutputStream::outputStreamToMemory();
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(out->write(abc, 3), -1) << "not open";
    out->open();
    EXPECT_TRUE(out->hasSpaceAvailable());
    EXPECT_EQ(out->write(abc, 3), 3);
    EXPECT_EQ(out->write(abc, 2), 2);
    EXPECT_EQ(out->write(abc, 0), 0);
    EXPECT_EQ(out->propertyForKey(NSStreamDataWrittenToMemoryStreamKey).asData(), bytes("abcab"));
    out->close();
    EXPECT_EQ(out->write(abc, 3), -1);
    EXPECT_EQ(out->propertyForKey(NSStreamDataWrittenToMemoryStreamKey).asData(), bytes("abcab"));
    EXPECT_TRUE(out->propertyForKey("other").isNull());
}

TEST(NSOutputStream, FileStreamTruncatesOrAppends) {
    TempDir dir;
    auto path = (dir.path / "out.txt").string();
    auto writeText = [&](const std::string& s, bool append) {
        auto out = NSOutputStream::outputStreamToFileAtPath(path, append);
        out->open();
        ASSERT_EQ(out->streamStatus(), NSStreamStatusOpen);
        EXPECT_EQ(out->write(reinterpret_cast<const uint8_t*>(s.data()), s.size()), static_cast<int64_t>(s.size()));
        out->close();
    };
    auto contents = [&] {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    writeText("first", false);
    writeText("+more", true);
    EXPECT_EQ(contents(), "first+more");
    writeText("new", false);
    EXPECT_EQ(contents(), "new");

    auto bad = NSOutputStream::outputStreamToFileAtPath((dir.path / "no" / "such" / "dir").string(), false);
    bad->open();
    EXPECT_EQ(bad->streamStatus(), NSStreamStatusError);
    EXPECT_EQ(bad->streamError()->code(), ENOENT);
}

// Reads in small slices from its event handler, recording the events.
struct Reader : NSStreamDelegate {
    std::vector<NSStreamEvent> events;
    std::string received;
    void stream(const std::shared_ptr<NSStream>& s, NSStreamEvent event) override {
        events.push_back(event);
        if (event == NSStreamEventHasBytesAvailable) {
            uint8_t buf[3];
            int64_t n = std::static_pointer_cast<NSInputStream>(s)->read(buf, sizeof buf);
            if (n > 0) received.append(buf, buf + n);
        }
        if (event == NSStreamEventEndEncountered) s->close();
    }
};

TEST(NSStream, ScheduledStreamTellsItsDelegateOnTheRunLoop) {
    auto in = NSInputStream::inputStreamWithData(bytes("abcdefgh"));
    auto reader = std::make_shared<Reader>();
    in->setDelegate(reader);
    in->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
    in->open();
    EXPECT_TRUE(reader->events.empty()) << "events wait for the run loop";
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return in->streamStatus() == NSStreamStatusClosed; }, 5));
    EXPECT_EQ(reader->received, "abcdefgh");
    std::vector<NSStreamEvent> expected{NSStreamEventOpenCompleted, NSStreamEventHasBytesAvailable,
                                        NSStreamEventHasBytesAvailable, NSStreamEventHasBytesAvailable,
                                        NSStreamEventEndEncountered};
    EXPECT_EQ(reader->events, expected);
    in->removeFromRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
}

TEST(NSStream, OutputStreamErrorReachesTheDelegate) {
    struct Recorder : NSStreamDelegate {
        std::vector<NSStreamEvent> events;
        void stream(const std::shared_ptr<NSStream>&, NSStreamEvent e) override { events.push_back(e); }
    };
    auto out = NSOutputStream::outputStreamToFileAtPath("/nonexistent-dir/x", false);
    auto rec = std::make_shared<Recorder>();
    out->setDelegate(rec);
    out->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
    out->open();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !rec->events.empty(); }, 5));
    EXPECT_EQ(rec->events, std::vector<NSStreamEvent>{NSStreamEventErrorOccurred});
    out->removeFromRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
}

// Subclasses supply their own bytes and are used through the base class.
class CountingStream : public NSInputStream {
public:
    void open() override { setStreamStatus(NSStreamStatusOpen); }
    int64_t read(uint8_t* buffer, std::size_t maxLength) override {
        if (next_ == 10) {
            setStreamStatus(NSStreamStatusAtEnd);
            return 0;
        }
        std::size_t n = 0;
        while (n < maxLength && next_ < 10) buffer[n++] = static_cast<uint8_t>('0' + next_++);
        return static_cast<int64_t>(n);
    }
    bool hasBytesAvailable() const override { return next_ < 10; }

private:
    int next_ = 0;
};

TEST(NSInputStream, SubclassIsReadThroughTheBase) {
    std::shared_ptr<NSInputStream> in = std::make_shared<CountingStream>();
    in->open();
    EXPECT_EQ(readAll(*in, 4), "0123456789");
    EXPECT_EQ(in->streamStatus(), NSStreamStatusAtEnd);
    EXPECT_TRUE(in->isKindOfClass(&NSInputStream::classObject()));
}

}  // namespace
