#pragma once
// The file a download writes: a new temporary file, or the one an earlier attempt left when
// the load resumes. Also the resume data that names such a file. Loading thread only.

#include "session/CurlHandles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a cancelled download leaves to continue from (the bytes of resume data).
struct DownloadResumeData {
    std::string url;
    std::string path;
    int64_t offset = 0;
    std::string validator;  // ETag or Last-Modified of the response

    // Nothing when the data is unreadable or its file is gone or of another length.
    static std::optional<DownloadResumeData> parse(const std::vector<uint8_t>& data);
    std::vector<uint8_t> encode() const;
};

class DownloadSink {
public:
    ~DownloadSink() = default;

    // Continues the file an earlier attempt wrote up to `offset`.
    void resumeFrom(std::string path, int64_t offset);
    // Opens the file: appends to a resumed one, else makes a new temporary file.
    [[nodiscard]] bool open(bool append);
    [[nodiscard]] bool write(const char* bytes, size_t length);
    void close() { file_.reset(); }
    // Closes and removes the file (the server sent the whole resource again, or the load failed).
    void discard();

    const std::string& path() const { return path_; }
    int64_t resumedOffset() const { return offset_; }

private:
    FilePtr file_;
    std::string path_;
    int64_t offset_ = 0;  // bytes already there from an earlier attempt
};
