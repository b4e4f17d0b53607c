#include "session/DownloadSink.h"

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/Sandbox.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

std::optional<DownloadResumeData> DownloadResumeData::parse(const std::vector<uint8_t>& data) {
    Value info = NSJSONSerialization::JSONObjectWithData(data);
    DownloadResumeData resume;
    resume.url = std::string(info.objectForKey("url").stringValue());
    resume.path = std::string(info.objectForKey("path").stringValue());
    resume.offset = info.objectForKey("offset").integerValue();
    resume.validator = std::string(info.objectForKey("validator").stringValue());
    std::error_code ec;
    if (resume.path.empty() || resume.offset <= 0 || !fs::exists(resume.path, ec) ||
        static_cast<int64_t>(fs::file_size(resume.path, ec)) != resume.offset)
        return std::nullopt;
    return resume;
}

std::vector<uint8_t> DownloadResumeData::encode() const {
    return NSJSONSerialization::dataWithJSONObject(
        Value::dict({{"url", url}, {"path", path}, {"offset", offset}, {"validator", validator}}));
}

void DownloadSink::resumeFrom(std::string path, int64_t offset) {
    path_ = std::move(path);
    offset_ = offset;
}

bool DownloadSink::open(bool append) {
    if (file_) return true;
    if (append && !path_.empty()) {
        file_.reset(std::fopen(path_.c_str(), "ab"));
        return file_ != nullptr;
    }
    std::string dir = NSTemporaryDirectory();
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string pattern = dir + (dir.empty() || dir.back() != '/' ? "/" : "") + "URLDownload_XXXXXX.tmp";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemps(name.data(), 4);
    if (fd < 0) return false;
    file_.reset(fdopen(fd, "wb"));
    if (!file_) {
        ::close(fd);
        return false;
    }
    path_ = name.data();
    offset_ = 0;
    return true;
}

bool DownloadSink::write(const char* bytes, size_t length) {
    return file_ && std::fwrite(bytes, 1, length, file_.get()) == length;
}

void DownloadSink::discard() {
    file_.reset();
    if (!path_.empty()) {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    path_.clear();
    offset_ = 0;
}
