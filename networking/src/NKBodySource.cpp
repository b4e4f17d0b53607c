#include "NKBodySource.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint64_t kNotOpen = 0, kOpen = 2, kAtEnd = 5, kClosed = 6, kError = 7;

class DataSource : public NKBodySource {
public:
    explicit DataSource(std::shared_ptr<const Value::Data> data) : data_(std::move(data)) {}
    void open() override {
        if (status_ == kNotOpen) status_ = kOpen;
    }
    void close() override { status_ = kClosed; }
    int64_t read(uint8_t* buffer, std::size_t length) override {
        if (status_ != kOpen) return status_ == kAtEnd ? 0 : -1;
        const std::size_t size = data_ ? data_->size() : 0;
        if (offset_ >= size) {
            status_ = kAtEnd;
            return 0;
        }
        const std::size_t n = std::min(length, size - offset_);
        if (n) std::memcpy(buffer, data_->data() + offset_, n);
        offset_ += n;
        return static_cast<int64_t>(n);
    }
    uint64_t streamStatus() const override { return status_; }
    NSErrorPtr streamError() const override { return nullptr; }

private:
    std::shared_ptr<const Value::Data> data_;
    std::size_t offset_ = 0;
    uint64_t status_ = kNotOpen;
};

class FileSource : public NKBodySource {
public:
    explicit FileSource(std::string path) : path_(std::move(path)) {}
    ~FileSource() override { close(); }
    void open() override {
        if (status_ != kNotOpen) return;
        file_ = std::fopen(path_.c_str(), "rb");
        if (!file_) {
            fail(errno);
            return;
        }
        status_ = kOpen;
    }
    void close() override {
        if (file_) std::fclose(file_);
        file_ = nullptr;
        if (status_ != kError) status_ = kClosed;
    }
    int64_t read(uint8_t* buffer, std::size_t length) override {
        if (status_ != kOpen) return status_ == kAtEnd ? 0 : -1;
        if (length == 0) return 0;
        const std::size_t n = std::fread(buffer, 1, length, file_);
        if (n == 0) {
            if (std::ferror(file_)) {
                fail(errno);
                return -1;
            }
            status_ = kAtEnd;
        }
        return static_cast<int64_t>(n);
    }
    uint64_t streamStatus() const override { return status_; }
    NSErrorPtr streamError() const override { return error_; }

private:
    void fail(int code) {
        status_ = kError;
        error_ = NSError::errorWithDomain(NSPOSIXErrorDomain, code,
                                          {{NSFilePathErrorKey, path_}, {NSLocalizedDescriptionKey, std::strerror(code)}});
    }

    std::string path_;
    std::FILE* file_ = nullptr;
    uint64_t status_ = kNotOpen;
    NSErrorPtr error_;
};

}  // namespace

std::unique_ptr<NKBodySource> NKMakeDataBodySource(std::shared_ptr<const Value::Data> data) {
    return std::make_unique<DataSource>(std::move(data));
}

std::unique_ptr<NKBodySource> NKMakeFileBodySource(std::string path) {
    return std::make_unique<FileSource>(std::move(path));
}
