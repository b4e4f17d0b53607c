#pragma once
// Reading files into bytes or UTF-8 text and writing them back, atomically when asked: the
// bytes go to a temporary file in the same folder, are flushed to disk, and the temporary
// file is renamed over the target, so a crash leaves the old file or the new, never half.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/NSError.h>

enum NSDataWritingOptions : uint64_t {
    NSDataWritingAtomic = 1 << 0,
    // Fails with NSFileWriteFileExistsError when something is already at the path.
    NSDataWritingWithoutOverwriting = 1 << 1,
};

struct NSDataFile {
    using Data = std::vector<uint8_t>;

    // Nothing (and the error) when the file cannot be read.
    static std::optional<Data> dataWithContentsOfFile(const std::string& path, NSErrorPtr* error = nullptr);
    // UTF-8 text; invalid UTF-8 is NSFileReadInapplicableStringEncodingError.
    static std::optional<std::string> stringWithContentsOfFile(const std::string& path, NSErrorPtr* error = nullptr);

    static bool writeToFile(const Data& data, const std::string& path, bool atomically);
    static bool writeToFile(const Data& data, const std::string& path, uint64_t options, NSErrorPtr* error);
    static bool writeToFile(const void* bytes, std::size_t length, const std::string& path, uint64_t options,
                            NSErrorPtr* error);
    static bool writeStringToFile(const std::string& text, const std::string& path, bool atomically,
                                  NSErrorPtr* error = nullptr);

    // Removes the temporary files that writers of `path` left behind when they died mid-write
    // (a writer that is still running keeps its own). Atomic writes do this first; owners of
    // a file call it when they open it.
    static void removeStaleTemporaryFiles(const std::string& path);
};
